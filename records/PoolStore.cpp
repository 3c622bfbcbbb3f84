#include "records/PoolStore.h"

namespace records {

const char* StateName(PoolRowState state) {
    switch (state) {
        case PoolRowState::Free:
            return "free";
        case PoolRowState::Reserved:
            return "reserved";
        case PoolRowState::Tied:
            return "tied";
        case PoolRowState::Written:
            return "written";
    }
    return "free";
}

PoolRowState StateNamed(const std::string& name) {
    if (name == "written") {
        return PoolRowState::Written;
    }
    if (name == "reserved") {
        return PoolRowState::Reserved;
    }
    return name == "tied" ? PoolRowState::Tied : PoolRowState::Free;
}

PoolError UnknownPool(const std::string& name) {
    return PoolError(PoolError::Reason::Unknown, "no value pool named " + name);
}

PoolError PoolExists(const std::string& name) {
    return PoolError(PoolError::Reason::Exists, "a value pool named " + name + " exists already");
}

PoolError NotTiedTo(const std::string& name, std::int64_t rowId) {
    return PoolError(PoolError::Reason::NotTied, "row " + std::to_string(rowId) + " of pool " +
                                                     name + " is not tied to this device");
}

void CheckImport(const std::string& name, const std::vector<std::string>& columns,
                 const std::vector<PoolImportRow>& rows) {
    if (name.empty()) {
        throw PoolError(PoolError::Reason::Malformed, "a value pool needs a name");
    }
    if (columns.empty()) {
        throw PoolError(PoolError::Reason::Malformed, "value pool " + name + " has no columns");
    }
    for (const PoolImportRow& row : rows) {
        if (row.cells.size() != columns.size()) {
            throw PoolError(PoolError::Reason::Malformed,
                            "line " + std::to_string(row.line) + " has " +
                                std::to_string(row.cells.size()) + " values, not " +
                                std::to_string(columns.size()));
        }
    }
}

}  // namespace records
