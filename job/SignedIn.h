// Who and where a record says a device was worked, by default: the host's
// name and the signed-in user, as the system tells them.
#pragma once

#include <string>

namespace job {

std::string HostName();
std::string SignedInUser();

}  // namespace job
