// The base of every test that changes the language, the main frame, the
// dialog host or the environment the program reads: whatever the case changed is back as the
// process had it when the case ends, pass or fail.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ProgramState.h"

namespace testsupport {

template <typename Base>
class KeepingProgramState : public Base {
protected:
    void SetEnv(const std::string& name, const std::optional<std::string>& value) {
        saved_.SetEnv(name, value);
    }

private:
    SavedProgramState saved_;
};

using ProgramStateTest = KeepingProgramState<::testing::Test>;
template <typename Param>
using ProgramStateTestWithParam = KeepingProgramState<::testing::TestWithParam<Param>>;

}  // namespace testsupport
