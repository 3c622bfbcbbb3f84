#include "BootLoader.h"

#include <algorithm>

#include "common/AsciiText.h"
#include "common/Sha256.h"

namespace kavrelsim {

std::uint16_t Crc16Xmodem(std::string_view bytes) {
    std::uint16_t crc = 0;
    for (char ch : bytes) {
        crc ^= static_cast<std::uint16_t>(static_cast<unsigned char>(ch) << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return crc;
}

BootLoader::BootLoader(LoaderOptions options, Faults faults, EventSink sink, Send send,
                       ImageHandler image)
    : options_(std::move(options)),
      faults_(std::move(faults)),
      sink_(std::move(sink)),
      send_(std::move(send)),
      image_(std::move(image)) {}

void BootLoader::BreakIn(Millis now) {
    Emit(MakeEvent(now, "loader", {{"step", "break-in"}}));
    step_ = Step::kBanner;
    send_(now, "\r\nKavrel DTU boot loader V1.3, press ENTER for the menu\r\n");
    deadline_ = now + kDialogueTimeout;
}

void BootLoader::Receive(std::string_view bytes, Millis now) {
    for (char c : bytes) {
        if (outcome_ != Outcome::kRunning || step_ == Step::kDone) {
            return;  // the rest belongs to whatever runs next
        }
        switch (step_) {
            case Step::kBanner:
                // The rest of the break-in burst is ignored; Enter opens the menu.
                if (c == '\r' && faults_.unplugAt == UnplugAt::kLoaderDialogue) {
                    PullOff();
                    return;
                }
                if (c == '\r') {
                    step_ = Step::kMenu;
                    answer_.clear();
                    deadline_ = now + kDialogueTimeout;
                    Emit(MakeEvent(now, "loader", {{"step", "menu"}}));
                    send_(now,
                          "\r\n=== Kavrel boot loader ===\r\nApplication: " + options_.versionText +
                              "\r\nUpdate the firmware over XMODEM? [Y/N]");
                }
                break;
            case Step::kMenu:
                Menu(c, now);
                break;
            case Step::kStart:
            case Step::kBlocks:
                Xmodem(c, now);
                break;
            case Step::kBabble:
            case Step::kDone:
                break;
        }
    }
}

void BootLoader::Menu(char c, Millis now) {
    if (c != '\r') {
        if (answer_.size() < 64) {
            answer_ += c;
        }
        return;
    }
    std::string answer = Trimmed(answer_, " \t\n");
    answer_.clear();
    if (answer.empty()) {
        return;
    }
    deadline_ = now + kDialogueTimeout;
    if (answer == "y" || answer == "Y") {
        step_ = Step::kStart;
        Emit(MakeEvent(
            now, "loader",
            {{"step", "ready"}, {"start", kStartSignalNames[static_cast<int>(options_.start)]}}));
        send_(now, "\r\nReady, send the image now\r\n");
        // The first signal is always NAK; a CRC receiver asks with 'C' after it.
        startSignals_ = 0;
        SendStartSignal(now);
    } else if (answer == "n" || answer == "N") {
        Emit(MakeEvent(now, "loader", {{"step", "declined"}}));
        send_(now, "\r\nBooting the application\r\n");
        End(Outcome::kBootApplication);
    } else {
        send_(now, "\r\nPlease answer Y or N [Y/N]");
    }
}

void BootLoader::SendStartSignal(Millis now) {
    crc_ = options_.start == StartSignal::kCrc && startSignals_ > 0;
    send_(now, std::string(1, crc_ ? 'C' : kNak));
    ++startSignals_;
    deadline_ = now + options_.signalPeriod;
}

void BootLoader::Xmodem(char c, Millis now) {
    if (!packet_.empty()) {
        packet_ += c;
        if (packet_.size() == BlockSize()) {
            HandleBlock(now);
            packet_.clear();
        }
        if (step_ == Step::kBlocks) {
            deadline_ = now + (packet_.empty() ? kBlockTimeout : kByteTimeout);
        }
        return;
    }
    if (c == kCan) {
        // Senders give up with three CANs; two in a row are already final.
        if (++cans_ >= 2) {
            Abort(now, "cancelled by the sender", false);
        }
        return;
    }
    cans_ = 0;
    if (c == kSoh) {
        step_ = Step::kBlocks;
        packet_ = c;
        deadline_ = now + kByteTimeout;
    } else if (c == kEot) {
        Eot(now);
    }
    // Anything else between blocks is line noise.
}

void BootLoader::HandleBlock(Millis now) {
    const auto number = static_cast<unsigned char>(packet_[1]);
    const auto complement = static_cast<unsigned char>(packet_[2]);
    std::string_view data = std::string_view(packet_).substr(3, 128);
    const int position = blocks_ + 1;  // of the block expected next
    const auto expected = static_cast<unsigned char>(position & 0xFF);

    if (number + complement != 0xFF) {
        Nak(now, "block number and complement disagree");
        return;
    }
    bool intact;
    if (crc_) {
        std::uint16_t crc = Crc16Xmodem(data);
        intact = static_cast<unsigned char>(packet_[131]) == (crc >> 8) &&
                 static_cast<unsigned char>(packet_[132]) == (crc & 0xFF);
    } else {
        unsigned sum = 0;
        for (char d : data) {
            sum += static_cast<unsigned char>(d);
        }
        intact = static_cast<unsigned char>(packet_[131]) == (sum & 0xFF);
    }
    if (!intact) {
        Nak(now, crc_ ? "CRC wrong" : "checksum wrong");
        return;
    }
    if (blocks_ > 0 && number == static_cast<unsigned char>(blocks_ & 0xFF)) {
        // Our ACK got lost: the sender repeats the block we already have.
        ++repeats_;
        Emit(MakeEvent(now, "xmodem", {{"block", blocks_}, {"result", "repeat"}}));
        send_(now, std::string(1, kAck));
        return;
    }
    if (number != expected) {
        Abort(now,
              "block " + std::to_string(number) + " out of sequence, expected " +
                  std::to_string(expected),
              true);
        return;
    }
    if (faults_.garbleBlock == position && !garbleFaultDone_) {
        garbleFaultDone_ = true;
        Nak(now, "garbled (--garble-block)");
        return;
    }
    if (faults_.nakBlock == position && !nakFaultDone_) {
        nakFaultDone_ = true;
        Nak(now, "--nak-block");
        return;
    }
    if (faults_.cancelAtBlock == position) {
        Abort(now, "--cancel-at-block", true);
        return;
    }
    if (faults_.nakAll) {
        Nak(now, "--nak-all");
        return;
    }
    data_.append(data);
    ++blocks_;
    silentNaks_ = 0;
    if (faults_.unplugAt == UnplugAt::kMidTransfer && faults_.unplugN == position) {
        PullOff();
        return;
    }
    if (faults_.dropAck == position && !dropFaultDone_) {
        dropFaultDone_ = true;
        Emit(MakeEvent(now, "xmodem", {{"block", position}, {"result", "ack lost (--drop-ack)"}}));
        return;
    }
    Acknowledge(position, now);
    if (faults_.babbleAfter == position) {
        Emit(
            MakeEvent(now, "xmodem",
                      {{"block", position}, {"result", "babbling from here on (--babble-after)"}}));
        step_ = Step::kBabble;
        deadline_ = now + kBabblePeriod;
    }
}

void BootLoader::Acknowledge(int position, Millis now) {
    send_(now, std::string(1, kAck));
    if (faults_.doubleAck != position || doubleAckDone_) {
        return;
    }
    doubleAckDone_ = true;
    Emit(MakeEvent(now, "xmodem",
                   {{"block", position},
                    {"result", "acknowledged twice (--double-ack)"},
                    {"delay_ms", faults_.doubleAckDelay.count()}}));
    send_(now + faults_.doubleAckDelay, std::string(1, kAck));
}

void BootLoader::Eot(Millis now) {
    if (faults_.eotNak && !eotNaked_) {
        // Some receivers ask for the end again to be sure of it; until then
        // nothing is stored, and silence is waited out as between blocks.
        eotNaked_ = true;
        ++naks_;
        Emit(MakeEvent(now, "xmodem", {{"block", blocks_}, {"result", "eot nak (--eot-nak)"}}));
        send_(now, std::string(1, kNak));
        step_ = Step::kBlocks;
        silentNaks_ = 0;
        deadline_ = now + kBlockTimeout;
        return;
    }
    send_(now, std::string(1, kAck));
    Finish(now);
}

void BootLoader::PowerLost(Millis now) {
    if (!eotNaked_ || step_ != Step::kBlocks || outcome_ != Outcome::kRunning) {
        return;
    }
    Emit(MakeEvent(now, "firmware-aborted",
                   {{"reason", "power lost waiting for the EOT again (--eot-nak): nothing stored"},
                    {"blocks", blocks_}}));
}

void BootLoader::PullOff() {
    unplug_ = true;
    step_ = Step::kDone;
    deadline_.reset();
}

void BootLoader::End(Outcome outcome) {
    outcome_ = outcome;
    deadline_.reset();
}

void BootLoader::Nak(Millis now, std::string_view reason) {
    ++naks_;
    Emit(MakeEvent(now, "xmodem", {{"block", blocks_ + 1}, {"result", "nak"}, {"reason", reason}}));
    send_(now, std::string(1, kNak));
}

void BootLoader::Abort(Millis now, std::string_view reason, bool sendCancel) {
    if (sendCancel) {
        send_(now, std::string(2, kCan));
    }
    Emit(MakeEvent(now, "firmware-aborted", {{"reason", reason}, {"blocks", blocks_}}));
    step_ = Step::kDone;
    packet_.clear();
    deadline_ = now + kRebootDelay;
}

void BootLoader::Finish(Millis now) {
    Emit(MakeEvent(now, "firmware",
                   {{"size", data_.size()},
                    {"blocks", blocks_},
                    {"variant", crc_ ? "crc" : "checksum"},
                    {"repeats", repeats_},
                    {"naks", naks_},
                    {"sha256", common::Sha256::HexDigest(data_)}}));
    Notify(image_, data_);
    step_ = Step::kDone;
    deadline_ = now + kRebootDelay;
}

void BootLoader::Advance(Millis now) {
    while (outcome_ == Outcome::kRunning && deadline_ && *deadline_ <= now) {
        const Millis at = *deadline_;
        switch (step_) {
            case Step::kBanner:
            case Step::kMenu: {
                Emit(MakeEvent(at, "loader", {{"step", "timeout"}}));
                End(Outcome::kBootApplication);
                break;
            }
            case Step::kStart:
                if (startSignals_ >= kMaxStartSignals) {
                    Emit(MakeEvent(at, "firmware-aborted",
                                   {{"reason", "no sender"}, {"blocks", 0}}));
                    End(Outcome::kBootApplication);
                } else {
                    SendStartSignal(at);
                }
                break;
            case Step::kBlocks:
                if (!packet_.empty()) {
                    packet_.clear();
                    Nak(at, "block incomplete");
                    deadline_ = at + kBlockTimeout;
                } else if (++silentNaks_ > kMaxSilentNaks) {
                    Abort(at,
                          eotNaked_
                              ? "no EOT again after the EOT was NAKed (--eot-nak): nothing stored"
                              : "sender silent",
                          true);
                } else {
                    Nak(at, eotNaked_ ? "waiting for the EOT again (--eot-nak)" : "sender silent");
                    deadline_ = at + kBlockTimeout;
                }
                break;
            case Step::kBabble:
                // Never a byte the sender could take for an answer.
                send_(at, "#~garbage~#");
                deadline_ = at + kBabblePeriod;
                break;
            case Step::kDone:
                End(Outcome::kReboot);
                break;
        }
    }
}

std::optional<Millis> BootLoader::NextDeadline() const {
    return outcome_ == Outcome::kRunning ? deadline_ : std::nullopt;
}

}  // namespace kavrelsim
