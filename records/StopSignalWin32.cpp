#include "records/StopSignal.h"

namespace records {

StopSignal::StopSignal() = default;
StopSignal::~StopSignal() = default;

// ODBC waits on no descriptor: its statement is cancelled instead.
void StopSignal::WakeWaiters() {}

}  // namespace records
