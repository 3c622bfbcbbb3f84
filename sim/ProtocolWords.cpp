#include "ProtocolWords.h"

#include <stdexcept>
#include <string>

namespace kavrelsim {

void PutProtocolWords(ParameterTable& table) {
    for (const auto& word : kProtocolWords) {
        Parameter* p = table.Find(word.item);
        if (p == nullptr) {
            throw std::runtime_error("--protocol-words needs item " + std::to_string(word.item) +
                                     ", which the table lacks");
        }
        if (!p->rule.Accepts(word.value)) {
            throw std::runtime_error("--protocol-words: item " + std::to_string(word.item) +
                                     " wants " + p->rule.Describe());
        }
        p->factory = word.value;
        p->value = word.value;
    }
}

}  // namespace kavrelsim
