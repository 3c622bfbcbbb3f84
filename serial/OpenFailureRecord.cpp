#include "serial/OpenFailureRecord.h"

namespace {

thread_local OpenFailure t_lastOpenFailure = OpenFailure::kNone;

}  // namespace

namespace serial {

PortHandle OpenFailed(OpenFailure why) {
    t_lastOpenFailure = why;
    return INVALID_HANDLE_VALUE;
}

void OpenSucceeded() {
    t_lastOpenFailure = OpenFailure::kNone;
}

}  // namespace serial

OpenFailure LastOpenComPortFailure() {
    return t_lastOpenFailure;
}
