// Printing from the desktop frame. The form has nothing to print: its print
// hooks put out one empty page, the way the system's view does.
#pragma once

class QPrinter;
class QWidget;

namespace fw::qt {

enum class PrintOutcome { Printed, Cancelled, Failed };

// Asks with the print dialog (on the given printer, or a default one) and, when
// accepted, prints one empty page.
PrintOutcome PrintEmptyPage(QWidget* parent, QPrinter* printer = nullptr);
// One empty page on the printer as it is set up, without asking.
bool PrintEmptyPageTo(QPrinter& printer);

}  // namespace fw::qt
