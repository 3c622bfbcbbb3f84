#include "cli/ConsoleWindow.h"

#include "cli/PortFailure.h"
#include "res/ResourceIds.h"
#include "serial/PortPath.h"

namespace cli {

ConsoleWindow::ConsoleWindow(fw::CMessageLoop& loop, CTirvel2View& view, Console& console)
    : fw::CHeadlessWindow(loop, view, res::IDD_TIRVEL2_FORM),
      loop_(loop),
      view_(view),
      console_(console) {}

ConsoleWindow::~ConsoleWindow() {
    loop_.Forget(&relay_);
}

int ConsoleWindow::MessageBoxById(fw::UINT textId, fw::UINT captionId, fw::UINT type,
                                  const fw::MessageArgs& args) {
    console_.Message(Console::Text(textId, args));
    // The view opened the port on this thread just before it said so.
    if (textId == res::IDS_OPEN_PORT_FAILED) {
        ReportOpenFailure(console_, serial::PortPath(view_.m_nComPort, view_.m_strDevicePath));
    }
    return fw::CHeadlessWindow::MessageBoxById(textId, captionId, type, args);
}

void ConsoleWindow::PostMessage(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) {
    // Counted before it is queued, so a delivery can never be seen first.
    ++pending_;
    loop_.Post(&relay_, message, wParam, lParam);
}

bool ConsoleWindow::ShownSince(std::size_t mark, fw::UINT textId) const {
    const auto& boxes = MessageBoxes();
    for (std::size_t i = mark; i < boxes.size(); ++i) {
        if (boxes[i].textId == textId) {
            return true;
        }
    }
    return false;
}

fw::LRESULT ConsoleWindow::Relay::WindowProc(fw::UINT message, fw::WPARAM wParam,
                                             fw::LPARAM lParam) {
    // Down before the handler runs: a handler that posts again leaves one pending.
    --owner_.pending_;
    const bool stop =
        message == fw::WM_COMMAND && wParam == static_cast<fw::WPARAM>(res::ID_STOP_CONFIG);
    if (stop && owner_.modalOpen_) {
        ++owner_.postedStops_;
        return 0;
    }
    const fw::LRESULT result = owner_.view_.WindowProc(message, wParam, lParam);
    if (stop) {
        ++owner_.postedStops_;
    }
    return result;
}

}  // namespace cli
