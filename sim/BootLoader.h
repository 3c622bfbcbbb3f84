// The device's boot loader after a break-in: its banner, its menu with the
// "[Y/N]" question and an XMODEM receiver (128-byte blocks, checksum or
// CRC-16). Like Device it knows no transport: bytes come in with the time they
// arrived, answers go out through the send callback with the time they are due.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "Events.h"
#include "Faults.h"

namespace kavrelsim {

// How the receiver asks for the first block: NAK asks for the checksum
// variant, 'C' for the CRC-16 variant.
enum class StartSignal { kNak, kCrc };
// As the command line and the events name them.
inline constexpr const char* kStartSignalNames[] = {"nak", "crc"};

struct LoaderOptions {
    Millis window{1000};  // after power-on, in which a 'u' breaks in
    StartSignal start = StartSignal::kNak;
    Millis signalPeriod{1000};  // between two start signals
    std::string versionText;    // shown in the menu
};

// CRC-16/XMODEM (polynomial 0x1021, initial 0, no reflection), bit by bit.
std::uint16_t Crc16Xmodem(std::string_view bytes);

class BootLoader {
public:
    using Send = std::function<void(Millis due, std::string bytes)>;
    // Gets the received image, padding included, once the sender's EOT came.
    using ImageHandler = std::function<void(const std::string& image)>;

    enum class Outcome {
        kRunning,
        kBootApplication,  // the loader hands over to the application
        kReboot,           // after an update or an aborted one: power on again
    };

    BootLoader(LoaderOptions options, Faults faults, EventSink sink, Send send, ImageHandler image);

    // A 'u' arrived in the window: print the banner and wait for Enter.
    void BreakIn(Millis now);
    void Receive(std::string_view bytes, Millis now);
    void Advance(Millis now);
    std::optional<Millis> NextDeadline() const;
    Outcome Result() const { return outcome_; }
    // The power goes: a transfer still waiting for its end says that it was
    // never stored.
    void PowerLost(Millis now);
    // True once when an unplug fault has come due in the loader.
    bool TakeUnplug() { return std::exchange(unplug_, false); }

    static constexpr char kSoh = 0x01;
    static constexpr char kEot = 0x04;
    static constexpr char kAck = 0x06;
    static constexpr char kNak = 0x15;
    static constexpr char kCan = 0x18;

    // How long the loader waits at its banner and its menu before it boots
    // the application after all.
    static constexpr Millis kDialogueTimeout{30000};
    // Start signals before the loader gives up on a sender.
    static constexpr int kMaxStartSignals = 60;
    // Within a block, a pause this long means the rest is lost.
    static constexpr Millis kByteTimeout{1000};
    // Between blocks: longer than a sender's 10 s wait for an answer, so that
    // a NAK for silence never crosses a block the sender is already repeating.
    static constexpr Millis kBlockTimeout{15000};
    static constexpr int kMaxSilentNaks = 10;
    // After the last answer, before the device starts again.
    static constexpr Millis kRebootDelay{100};
    // A babbling receiver's garbage comes this often.
    static constexpr Millis kBabblePeriod{50};

private:
    enum class Step { kBanner, kMenu, kStart, kBlocks, kBabble, kDone };

    void Menu(char c, Millis now);
    void Xmodem(char c, Millis now);
    void HandleBlock(Millis now);
    // An unplug fault came due: nothing more is heard or said.
    void PullOff();
    void End(Outcome outcome);
    void Nak(Millis now, std::string_view reason);
    void Abort(Millis now, std::string_view reason, bool sendCancel);
    void Finish(Millis now);
    void Eot(Millis now);
    void Acknowledge(int position, Millis now);
    void SendStartSignal(Millis now);
    std::size_t BlockSize() const { return crc_ ? 133 : 132; }
    void Emit(const Json& event) const { Notify(sink_, event); }

    LoaderOptions options_;
    Faults faults_;
    EventSink sink_;
    Send send_;
    ImageHandler image_;

    Step step_ = Step::kBanner;
    Outcome outcome_ = Outcome::kRunning;
    std::optional<Millis> deadline_;  // the next thing to do when nothing arrives
    std::string answer_;              // typed at the menu since the last Enter
    bool crc_ = false;                // the variant the last start signal asked for
    int startSignals_ = 0;
    int silentNaks_ = 0;
    int cans_ = 0;  // CANs in a row between blocks
    std::string packet_;
    std::string data_;
    int blocks_ = 0;  // blocks stored
    int repeats_ = 0;
    int naks_ = 0;
    bool nakFaultDone_ = false;
    bool garbleFaultDone_ = false;
    bool dropFaultDone_ = false;
    bool doubleAckDone_ = false;
    bool eotNaked_ = false;  // the first EOT was answered with NAK
    bool unplug_ = false;
};

}  // namespace kavrelsim
