#include "cli/ConsoleHost.h"

#include <algorithm>
#include <chrono>

#include "framework/CodePage.h"
#include "protocol/AtExchange.h"
#include "protocol/Probe.h"
#include "res/ResourceIds.h"

namespace cli {

using Clock = std::chrono::steady_clock;

// How long the view's probe waits for the device, by the clock.
constexpr long long kProbeSeconds =
    std::chrono::duration_cast<std::chrono::seconds>(kProbeWindow).count();

ConsoleHost::ConsoleHost(const HostSettings& settings, Console& console)
    : console_(console),
      window_(loop_, view_, console),
      watcher_([this](int) { Interrupt(); }),
      dialogs_(loop_, console, settings.password, settings.promptForPassword, watcher_.WakeFd()) {
    AfxSetMainFrame(&frame_);
    view_.m_nComPort = settings.comPort;
    view_.m_strDevicePath = settings.devicePath;
    view_.OnInitialUpdate();
    dialogs_.SetInterruptCheck([this] { return interrupted_.load(); });
    dialogs_.SetModalHook([this](bool open) { window_.SetModalOpen(open); });
}

void ConsoleHost::Interrupt() {
    // Flag first: whoever sees the view stopped can rely on the flag.
    interrupted_ = true;
    // The view may be inside a handler that writes (Modify): the Stop posted
    // below reaches it only afterwards.
    view_.m_bStopRaised = true;
    view_.PostMessage(fw::WM_COMMAND, static_cast<fw::WPARAM>(res::ID_STOP_CONFIG), 0);
}

ConsoleHost::~ConsoleHost() {
    if (frame_.ConnectionState() != kStateIdle) {
        Stop();
    }
    AfxSetMainFrame(nullptr);
}

bool ConsoleHost::Interrupted() {
    if (!interrupted_) {
        return false;
    }
    loop_.RunUntil([this] { return window_.PostedStopsDelivered() > 0; }, std::chrono::seconds(10));
    return true;
}

Connection ConsoleHost::Connect() {
    dialogs_.BeginConnection();
    const std::size_t mark = MessageMark();
    Command(res::ID_START_CONFIG);
    if (frame_.ConnectionState() != kStateConnecting) {
        return Connection::Failed;  // the port did not open; the view said so
    }
    console_.Progress(res::IDS_CLI_POWER_ON, {std::to_string(kProbeSeconds)});

    const auto start = Clock::now();
    for (;;) {
        if (Interrupted()) {
            console_.ClearStatus();
            return Connection::Interrupted;
        }
        const int state = frame_.ConnectionState();
        if (state == kStateConnected) {
            break;
        }
        if (state == kStateIdle) {
            return Connection::Failed;
        }
        // Every failure of the connect sequence closes the port and leaves the
        // state at Connecting, for the operator's Stop.
        if (view_.m_hComPort == INVALID_HANDLE_VALUE) {
            ExplainPasswordFailure(mark);
            Stop();
            return Connection::Failed;
        }
        // Except a value reply without its two line ends: the result was
        // handled, nothing more is coming, and the port is still open.
        if (!view_.m_probeThread.joinable() && window_.PendingPosts() == 0) {
            console_.Message(res::IDS_CLI_INCOMPLETE_REPLY);
            Stop();
            return Connection::Failed;
        }
        const auto elapsed = Clock::now() - start;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed);
        if (view_.m_probeThread.joinable()) {
            const long long left = std::max<long long>(0, kProbeSeconds - seconds.count());
            console_.Status(Console::Text(res::IDS_CLI_COUNTDOWN, {std::to_string(left)}));
        }
        // Wake at the next whole second for the countdown.
        loop_.PumpOne(start + seconds + std::chrono::seconds(1));
    }
    console_.ClearStatus();
    // The items the device listed: the highest number is not their count
    // when it skipped one.
    int listed = 0;
    for (int n = 1; n <= g_nItemCount; ++n) {
        listed += view_.IsItemListed(n) ? 1 : 0;
    }
    console_.Progress(res::IDS_CLI_CONNECTED,
                      {fw::DecodeAnsi(view_.m_strImei), fw::DecodeAnsi(view_.m_strVersion),
                       std::to_string(listed)});
    return Connection::Connected;
}

void ConsoleHost::ExplainPasswordFailure(std::size_t mark) {
    switch (dialogs_.Outcome()) {
        case PasswordOutcome::Missing:
            console_.Message(res::IDS_CLI_PASSWORD_NEEDED);
            break;
        case PasswordOutcome::Refused:
            // A password too long to send has its own message already.
            if (!ShownSince(mark, res::IDS_PASSWORD_TOO_LONG)) {
                console_.Message(res::IDS_CLI_PASSWORD_REFUSED);
            }
            break;
        default:
            break;
    }
}

}  // namespace cli
