// A port picked from the list of those present joins the ports typed so far:
// an operator setting up four fixtures picks four ports one after another and
// expects all four in the field, not the last one alone.
#pragma once

#include <string>

#include "serial/PresentPorts.h"

namespace station {

// The typed text with the port added at its end, in the form the text is
// typed in: a device path to a list of paths (or to nothing typed yet), else
// the port's COM number, which is all the Windows list can be. A port the
// text names already (a number inside a range too) leaves it as it is.
std::string AddPickedPort(const std::string& typed, const serial::PresentPort& port);

}  // namespace station
