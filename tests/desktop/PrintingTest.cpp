// The form prints as one empty page.
#include <gtest/gtest.h>

#include <QPrintDialog>
#include <QPrinter>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "DesktopSupport.h"
#include "SimProcess.h"
#include "framework/qt/QtPrinting.h"

namespace {

// Page objects of a PDF, not the page tree ("/Type /Pages").
int CountPages(const std::filesystem::path& pdf) {
    std::ostringstream content;
    content << std::ifstream(pdf, std::ios::binary).rdbuf();
    const std::string text = content.str();
    int pages = 0;
    const std::string key = "/Type /Page";
    for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        const char next = at + key.size() < text.size() ? text[at + key.size()] : ' ';
        pages += next != 's' ? 1 : 0;
    }
    return pages;
}

TEST(Printing, AnAcceptedPrintPutsOutOneEmptyPageAndACancelledOneNothing) {
    testsupport::TempDir dir;
    const auto pdf = dir.Path() / "form.pdf";
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(fw::qt::PrintEmptyPageTo(printer));
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_EQ(CountPages(pdf), 1);

    const auto asked = dir.Path() / "asked.pdf";
    printer.setOutputFileName(QString::fromStdString(asked.string()));
    desktoptest::ModalScript script;
    script.When<QPrintDialog>([](QPrintDialog* d) { d->accept(); });
    EXPECT_EQ(fw::qt::PrintEmptyPage(nullptr, &printer), fw::qt::PrintOutcome::Printed);
    EXPECT_EQ(CountPages(asked), 1);

    const auto cancelled = dir.Path() / "cancelled.pdf";
    printer.setOutputFileName(QString::fromStdString(cancelled.string()));
    script.When<QPrintDialog>([](QPrintDialog* d) { d->reject(); });
    EXPECT_EQ(fw::qt::PrintEmptyPage(nullptr, &printer), fw::qt::PrintOutcome::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(cancelled));
}

}  // namespace
