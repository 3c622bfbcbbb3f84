#include "records/DeviceRecord.h"

namespace records {

const char* ResultName(Result result) {
    switch (result) {
        case Result::Ok:
            return "ok";
        case Result::Interrupted:
            return "interrupted";
        case Result::Failed:
            break;
    }
    return "failed";
}

std::optional<Result> ParseResult(const std::string& name) {
    for (Result result : {Result::Ok, Result::Failed, Result::Interrupted}) {
        if (name == ResultName(result)) {
            return result;
        }
    }
    return std::nullopt;
}

}  // namespace records
