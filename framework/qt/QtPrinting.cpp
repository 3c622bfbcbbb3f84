#include "framework/qt/QtPrinting.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>

#include "framework/qt/QtWindowSite.h"

namespace fw::qt {

PrintOutcome PrintEmptyPage(QWidget* parent, QPrinter* printer) {
    std::unique_ptr<QPrinter> own;
    if (printer == nullptr) {
        own = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer = own.get();
    }
    {
        CNormalCursorScope normal;
        QPrintDialog dialog(printer, parent);
        if (dialog.exec() != QDialog::Accepted) {
            return PrintOutcome::Cancelled;
        }
    }
    return PrintEmptyPageTo(*printer) ? PrintOutcome::Printed : PrintOutcome::Failed;
}

bool PrintEmptyPageTo(QPrinter& printer) {
    // A painter that begins and ends without drawing leaves exactly one page.
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    return painter.end();
}

}  // namespace fw::qt
