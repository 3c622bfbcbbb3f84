// The tests' window is the headless window of the framework: the test acts as
// the operator through Type, Click and Command and reads what the view showed.
#pragma once

#include "framework/HeadlessWindow.h"

namespace testsupport {

using ScriptedWindow = fw::CHeadlessWindow;
using RecordedMessageBox = fw::RecordedMessageBox;

}  // namespace testsupport
