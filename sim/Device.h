// One Kavrel DTU as its serial port sees it: the boot loader's break-in window,
// the AT command interpreter, the start-up window, the password login, the
// configuration items and the application's debug output. It knows no
// transport: the caller hands in received bytes with the line settings they
// came with and the current time, and collects the bytes the device sends.
//
// After power-on the loader watches the line at 115200 baud for a 'u'
// (LoaderOptions::window); the AT interpreter at 28800 baud listens from
// power-on all the same, so the configuration window is not shortened by the
// loader's. Without a break-in the application boots when the loader's window
// ends and plays its debug script at 115200 baud.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "BootLoader.h"
#include "DebugScript.h"
#include "Events.h"
#include "Faults.h"
#include "LineSettings.h"
#include "ParameterTable.h"
#include "common/NonCopyable.h"

namespace kavrelsim {

struct DeviceOptions {
    std::string imei = "860000000000001";
    std::string password;  // empty: no login needed
    std::string versionText = "KV-2.9.4 build 2022-11-09";
    Millis window{10000};  // how long after power-on AT+TEST is answered
    bool echo = true;
    LoaderOptions loader;  // its versionText is filled in from versionText
    DebugScript debug = ParseDebugScript(DefaultDebugText());
};

// The boot loader reports back through a pointer to the device.
class Device : NonCopyable {
public:
    Device(DeviceOptions options, ParameterTable table, Faults faults, EventSink sink);

    void PowerOn(Millis now);
    // Volatile state goes (configuration mode, login, half-received command,
    // unsent output); the configuration items stay.
    void PowerOff(Millis now);

    void Receive(std::string_view bytes, const LineSettings& line, Millis now);

    // Runs what is due by `now` without outside input: the end of the loader's
    // window, the loader's signals and time-outs, the debug output.
    void Advance(Millis now);

    // The bytes due by `now`, at most maxBytes of them, in order, as the tool's
    // side of the line receives them when set up as `line`. Output sent at
    // another rate is lost whole (a "tx-lost" event): a UART at the wrong rate
    // makes only noise of it, and noise would spoil the answers the tool is
    // waiting for.
    std::string TakeOutput(Millis now,
                           std::size_t maxBytes = std::numeric_limits<std::size_t>::max(),
                           const LineSettings& line = kCommandLine);
    // When the oldest unsent byte is due, if any is waiting.
    std::optional<Millis> NextOutputDue() const;
    // The earliest moment output is due or Advance has something to do.
    std::optional<Millis> NextDeadline() const;

    // Called after every change of the items' values (AT+SET, AT+RESTORE).
    void SetValuesChangedHandler(std::function<void(const ParameterTable&)> handler) {
        valuesChanged_ = std::move(handler);
    }
    // Called with the image (padding included) when a firmware transfer ended.
    void SetFirmwareHandler(BootLoader::ImageHandler handler) { firmware_ = std::move(handler); }

    bool Powered() const { return powered_; }
    bool InConfigMode() const { return configMode_; }
    bool LoggedIn() const { return loggedIn_; }
    bool InBootLoader() const { return loader_ != nullptr; }
    DeviceMode Mode() const { return mode_; }
    const std::string& Imei() const { return options_.imei; }
    const ParameterTable& Table() const { return table_; }

    // True once (then false again) when a fault wants the device pulled off
    // the line: the runner closes the pty under the tool.
    bool TakeUnplug();

    // Longest command line kept; anything longer is answered with ERROR.
    static constexpr std::size_t kMaxLine = 1024;
    // A babbling line fills the AT rate (28800 baud, ten bits a byte), in
    // pieces this far apart.
    static constexpr int kBabbleBytesPerSecond = 2880;
    static constexpr Millis kBabblePeriod{20};
    // What a line babbling result lines carries, again and again.
    static constexpr std::string_view kBabbledLine = "\r\nOK\r\n";
    // Pieces of junk or endless listing waiting for a tool that does not read
    // beyond this are lost on the line instead of piling up.
    static constexpr std::size_t kMaxBacklog = 64;
    // The endless listing's item numbers run round within 1..kEndlessItems.
    static constexpr int kEndlessItems = 60;
    // Whether a byte could help make up an answer or stop the tool's output:
    // a line end, O or K in either case, XON or XOFF. Junk never holds one.
    static bool CouldMakeAnswer(char c);

private:
    struct Chunk {
        Millis due;
        std::string bytes;
        LineSettings line;  // the rate it is sent at
        std::size_t taken = 0;
    };
    enum class Phase { kLoaderWindow, kLoader, kApplication };

    bool Listening(Millis now) const;
    bool NeedsLogin() const { return !options_.password.empty() && !loggedIn_; }
    // Whether the fault pulls the device off at this state yet.
    bool UnplugDue(UnplugAt at) const { return faults_.unplugAt == at && !unplugged_; }
    void HandleLine(Millis now);
    std::string Execute(std::string_view command, Millis now);
    std::string Set(std::string_view command, std::string_view args, Millis now);
    std::string Reject(std::string_view command, std::string_view reason, Millis now);
    void Boot(Millis now);
    // What a reboot and a power cut alike lose.
    void Forget(Millis now, std::string_view why);
    void ForgetLine();
    void StartApplication(Millis now);
    // What the loader's last step leaves to the device; false once it had the
    // device pulled off the line.
    bool AfterLoader(Millis now);
    void PlayDebug(Millis now);
    void PlayJunk(Millis now);
    void PlayEndless(Millis now);
    void StopEndless(Millis now, std::string_view by);
    std::string OrderedListing(Millis now);
    // The misbehaviours on whole lines: an unasked line queued at due, and an
    // answer's lines repeated or dropped.
    void MaybeStray(Millis due, std::string_view where);
    void MisdeliverLines(std::string& reply, Millis now);
    void Queue(Millis due, std::string bytes, const LineSettings& line = kCommandLine);
    void EmitTx(Millis now, std::string_view bytes, bool cut);
    void Emit(const Json& event) const { Notify(sink_, event); }
    // Pulled off the line at the state --unplug-at names.
    void Unplug(Millis now);
    // Noise and dropped bytes on the device's transmit line.
    void Spoil(std::string& bytes, Millis now);

    DeviceOptions options_;
    ParameterTable table_;
    Faults faults_;
    EventSink sink_;
    std::function<void(const ParameterTable&)> valuesChanged_;
    BootLoader::ImageHandler firmware_;

    bool powered_ = false;
    Millis poweredAt_{0};
    bool windowOpen_ = false;
    bool configMode_ = false;
    bool loggedIn_ = false;
    DeviceMode mode_ = DeviceMode::kApplication;
    std::string line_;
    bool lineOverflow_ = false;
    std::deque<Chunk> output_;
    Phase phase_ = Phase::kApplication;
    std::unique_ptr<BootLoader> loader_;
    std::size_t debugNext_ = 0;  // the debug piece to send next
    std::optional<Millis> debugAt_;
    FaultRandom random_;
    int sets_ = 0;                  // AT+SET commands heard since power-on
    int imeiReads_ = 0;             // AT+DTU&IMEI? heard since power-on
    std::optional<Millis> junkAt_;  // the next piece of junk on a broken line
    Millis junkFrom_{0};
    std::int64_t junkBytes_ = 0;    // of junk the line has carried since power-on
    bool endlessStarting_ = false;  // the listing just answered never ends
    std::optional<Millis> endlessAt_;
    int endlessNumber_ = 0;  // of the last endless line
    int endlessLines_ = 0;
    bool unplug_ = false;
    bool unplugged_ = false;  // a device is pulled off only once
    std::optional<Millis> unplugAt_;
};

}  // namespace kavrelsim
