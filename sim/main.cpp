// kavrel-sim: a simulated Kavrel DTU on a pseudo-terminal, for running and
// testing the configuration tool without hardware.
#include <fcntl.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Bench.h"
#include "DefaultTable.h"
#include "OutputFile.h"
#include "PortLinks.h"
#include "ProtocolWords.h"
#include "Pty.h"
#include "Runner.h"
#include "common/NonCopyable.h"
#include "serial/PortPath.h"

namespace {

using namespace kavrelsim;

constexpr const char* kFooter = R"(
Power: the device is off until the tool opens the port and switches on
--boot-ms later. Closing the port unplugs it: configuration mode and login are
lost. The next open brings the same device again, with the values it kept; with
--devices N, the next of N devices instead (IMEIs counting up from --imei,
factory values). A device that was never switched on stays on the bench. After
the last of N devices the bench is empty and the port stays silent.

Lines on stdin work the power switch of the device on the bench: "on", "off",
"cycle" (off, then on at once). They act immediately; the next open of the port
still switches on, after --boot-ms, a device that is off.

Until the password is given, configuration commands answer ERROR. The echo is
not delayed by --reply-delay. --state holds the values of the device on the
bench; with --devices it is loaded into the first one.

Boot loader: at every power-on the loader watches the line at 115200 baud for
--loader-ms; a 'u' in that time breaks in. It prints a banner line, waits for
Enter ("\r"), prints its menu ending in "[Y/N]" and, on "y\r", asks for an
XMODEM transfer (128-byte blocks): with --start nak it repeats NAK (checksum
variant), with --start crc it sends one NAK and then repeats 'C' (CRC-16), once
a second for up to a minute. It checks block numbers, complements and sums or
CRCs, NAKs a bad block, acknowledges a repeated one without storing it again and
gives up on two CANs in a row. After EOT the image, padding included, goes to
--firmware-out and into a "firmware" event (size, blocks, variant, sha256), and
the device starts again (loader window, then application). Without a break-in
the AT interpreter (28800 baud) listens from power-on as before.

Debug output: once the application has booted (when the loader's window ends)
it prints its log at 115200 baud: built-in boot, network and heartbeat
messages, or --debug-text FILE (an empty file: none). One piece of output per
line: "+MS text" sends text MS ms after the previous piece; "@loop" repeats the
pieces after it for ever; "#" starts a comment. A piece ends in "\r\n" unless
it ends in \c; escapes \b \r \n \t \\ \xHH; {imei}, {version} and {uptime}
are filled in.

Line rates: the device hears bytes only at the rate it expects (AT: 28800 8N1;
loader: 115200 8N1), and what it sends at one rate reaches the tool only while
the tool's side of the line is set up for exactly that rate: otherwise it is
lost ("tx-lost" event), so debug output never disturbs the AT dialogue.
--at-rate-alias names one more rate the AT interpreter takes as its own, for a
tool whose serial layer cannot set 28800 (Wine on Linux sets 38400).

Files: --state and --firmware-out are written as the tool writes its own: a
regular file is replaced whole through a temporary file beside it; a device, a
FIFO or a socket is written in place and never replaced, and a FIFO nobody
reads is not waited for. What cannot be written is told on stderr and in a
"file-error" event; the device goes on.

The pty path is the first line on stdout. Events are JSON lines.)";

// The bench takes most options as they are; the rest it is made from.
struct Options {
    BenchOptions bench;
    std::string link;
    int com = 0;
    Language lang = Language::kEnglish;
    std::string params;
    std::string state;
    bool throttle = false;
    std::uint32_t atRateAlias = 0;
    std::string events;
    std::string firmwareOut;
    std::string debugText;
    bool protocolWords = false;
    std::string unplugAt;
};

constexpr const char* kLanguageNames[] = {"en", "zh"};

// "state" or "state:N" of --unplug-at.
std::pair<UnplugAt, int> ParseUnplugAt(const std::string& text) {
    auto colon = text.find(':');
    std::string name = text.substr(0, colon);
    int n = 1;
    if (colon != std::string::npos) {
        try {
            std::size_t used = 0;
            n = std::stoi(text.substr(colon + 1), &used);
            if (used != text.size() - colon - 1 || n < 0) {
                throw std::invalid_argument("");
            }
        } catch (const std::exception&) {
            throw std::runtime_error("--unplug-at " + text + ": N must be a number");
        }
    }
    // Never is no place to unplug at.
    for (std::size_t at = 1; at < std::size(kUnplugAtNames); ++at) {
        if (name == kUnplugAtNames[at]) {
            return {static_cast<UnplugAt>(at), n};
        }
    }
    throw std::runtime_error("--unplug-at " + text + ": unknown state");
}

// COM N for the tool: the serial layer owns the naming scheme and refuses to
// replace a link that still reaches something else.
class ComRegistration : NonCopyable {
public:
    ComRegistration(int number, std::string target) : number_(number), target_(std::move(target)) {
        std::string error;
        if (!serial::RegisterComPort(number_, target_, &error)) {
            throw std::runtime_error("cannot register COM" + std::to_string(number_) + ": " +
                                     error);
        }
    }
    ~ComRegistration() { serial::UnregisterComPort(number_, target_); }

private:
    int number_;
    std::string target_;
};

class EventWriter : NonCopyable {
public:
    // No target: no events.
    explicit EventWriter(const std::string& target)
        : file_(target == "-"    ? stderr
                : target.empty() ? nullptr
                                 : std::fopen(target.c_str(), "w")) {
        if (!target.empty() && file_ == nullptr) {
            throw std::runtime_error(target + ": cannot open for writing");
        }
    }
    ~EventWriter() {
        if (file_ != nullptr && file_ != stderr) {
            std::fclose(file_);
        }
    }

    void Write(const Json& event) {
        if (file_ == nullptr) {
            return;
        }
        std::string line = event.dump(-1, ' ', false, Json::error_handler_t::replace);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fflush(file_);
    }

private:
    std::FILE* file_;
};

// The option's type name already says what is wanted; CLI11 would append the
// validator's own description to it.
CLI::Validator Quiet(CLI::Validator v) {
    v.description("");
    return v;
}

// A delay in whole milliseconds.
CLI::Option* AddMillis(CLI::App& app, const char* name, Millis& value, const char* what) {
    return app
        .add_option_function<int>(
            name, [&value](int ms) { value = Millis(ms); }, what)
        ->type_name("MS");
}

// A delay, its default shown.
CLI::Option* AddDelay(CLI::App& app, const char* name, Millis& value, const char* what) {
    return AddMillis(app, name, value, what)
        ->default_str(std::to_string(value.count()))
        ->check(Quiet(CLI::NonNegativeNumber));
}

// A number counted from 1: the Nth block of a transfer or command after
// power-on, a COM port, a count of devices, an item.
template <class Value>
CLI::Option* AddOrdinal(CLI::App& app, const char* name, Value& value, const char* what,
                        int most = 1000000) {
    return app.add_option(name, value, what)->type_name("N")->check(Quiet(CLI::Range(1, most)));
}

// A probability, given to each byte, line or device on its own.
void AddRate(CLI::App& app, const char* name, double& value, const char* what) {
    app.add_option(name, value, what)->type_name("RATE")->check(Quiet(CLI::Range(0.0, 1.0)));
}

// One of the names, taken as the enum value of its place among them.
template <class Enum, std::size_t N>
void AddNamed(CLI::App& app, const char* name, Enum& value, const char* const (&names)[N],
              const char* what) {
    const std::vector<std::string> known(std::begin(names), std::end(names));
    std::string typeName;
    for (const std::string& each : known) {
        typeName += (typeName.empty() ? "" : "|") + each;
    }
    app.add_option_function<std::string>(
           name,
           [&value, known](const std::string& given) {
               value =
                   static_cast<Enum>(std::find(known.begin(), known.end(), given) - known.begin());
           },
           what)
        ->type_name(typeName)
        ->default_str(known[static_cast<std::size_t>(value)])
        ->check(Quiet(CLI::IsMember(known)));
}

// Where the device is found, and the one or many devices on the bench.
void AddDeviceOptions(CLI::App& app, Options& options) {
    DeviceOptions& device = options.bench.device;
    app.add_option("--link", options.link, "Also reach the pty through this symbolic link")
        ->type_name("PATH");
    AddOrdinal(app, "--com", options.com,
               "Register as COM N: ${XDG_CONFIG_HOME:-$HOME/.config}/tirvel/ports/comN",
               serial::kMaxComNumber);
    AddDelay(app, "--boot-ms", options.bench.bootDelay, "Delay from the tool's open to power-on");
    AddDelay(app, "--window-ms", device.window, "Start-up window in which AT+TEST is answered");
    AddOrdinal(app, "--devices", options.bench.devices,
               "A batch of N devices, one per open of the port", 100000);
    app.add_option("--imei", device.imei, "IMEI (15 digits) of the first device")
        ->type_name("IMEI")
        ->capture_default_str()
        ->check([](const std::string& s) {
            return s.size() == 15 && s.find_first_not_of("0123456789") == std::string::npos
                       ? std::string()
                       : std::string("an IMEI is 15 digits");
        });
    app.add_option("--password", device.password, "Configuration password (default: none)")
        ->type_name("PW");
    AddNamed(app, "--lang", options.lang, kLanguageNames,
             "Item names of the built-in table (zh: GB18030 on the wire)");
    app.add_option("--params", options.params,
                   "Item table from 'number,name,value' lines (sent as is; replaces --lang)")
        ->type_name("FILE")
        ->check(Quiet(CLI::ExistingFile));
    app.add_option("--state", options.state,
                   "Keep item values in this file: loaded at start, rewritten on every change")
        ->type_name("FILE");
}

// How the AT interpreter hears and answers, and what it tells of it.
void AddDialogueOptions(CLI::App& app, Options& options) {
    Faults& faults = options.bench.faults;
    app.add_flag("--throttle", options.throttle, "Send at the line rate instead of memory speed");
    app.add_option("--at-rate-alias", options.atRateAlias,
                   "Take this rate on the tool's side as the AT rate 28800. Wine cannot set "
                   "28800 on a Linux pty and leaves 38400 there: give 38400 for a Windows "
                   "build of the tool run under Wine")
        ->type_name("BAUD")
        ->check(Quiet(CLI::PositiveNumber));
    app.add_flag_callback(
        "--no-echo", [&options] { options.bench.device.echo = false; }, "Do not echo commands");
    AddDelay(app, "--reply-delay", faults.replyDelay, "Delay before each answer");
    app.add_flag("--silent", faults.silent, "Never answer anything, not even with an echo");
    AddOrdinal(app, "--error-on", faults.errorOnSet, "AT+SET of item N answers ERROR (repeatable)",
               999999)
        ->allow_extra_args(false);
    app.add_option("--events", options.events, "Write JSON event lines to FILE, or '-' for stderr")
        ->type_name("FILE|-");
    app.add_option("--version-text", options.bench.device.versionText,
                   "Firmware version for AT+DTU&VER?")
        ->type_name("TEXT")
        ->capture_default_str();
}

// The boot loader, the application's debug output, and the transfer's faults.
void AddLoaderOptions(CLI::App& app, Options& options) {
    Faults& faults = options.bench.faults;
    LoaderOptions& loader = options.bench.device.loader;
    AddDelay(app, "--loader-ms", loader.window, "Boot loader's break-in window after power-on");
    AddNamed(app, "--start", loader.start, kStartSignalNames,
             "Loader's start signal: NAK (checksum) or 'C' (CRC-16)");
    app.add_option("--firmware-out", options.firmwareOut, "Write each received firmware image here")
        ->type_name("FILE");
    app.add_option("--debug-text", options.debugText, "Debug output of the application (see below)")
        ->type_name("FILE")
        ->check(Quiet(CLI::ExistingFile));
    AddOrdinal(app, "--nak-block", faults.nakBlock, "NAK the good block N of a transfer once");
    AddOrdinal(app, "--cancel-at-block", faults.cancelAtBlock,
               "Answer block N with CAN CAN: the loader gives up");
    AddOrdinal(app, "--drop-ack", faults.dropAck, "Store block N but send no ACK for it, once");
    AddOrdinal(app, "--garble-block", faults.garbleBlock,
               "Block N arrives corrupted once (and is NAKed)");
    app.add_flag("--nak-all", faults.nakAll,
                 "NAK every block of a transfer: nothing is ever stored");
    AddOrdinal(app, "--babble-after", faults.babbleAfter,
               "After ACKing block N the receiver sends garbage for ever, never falling silent");
    auto* doubleAck = AddOrdinal(app, "--double-ack", faults.doubleAck,
                                 "Store the good block N of a transfer and ACK it twice, once");
    AddDelay(app, "--double-ack-delay", faults.doubleAckDelay,
             "The second ACK of --double-ack leaves this long after the first, so that it "
             "can cross the sender's next block")
        ->needs(doubleAck);
    app.add_flag("--eot-nak", faults.eotNak,
                 "Answer the first EOT of a transfer with NAK; only a second EOT gets the image "
                 "stored, ACKed and the device rebooted");
}

// Answers that come in the wrong form: out of order, with the protocol's own
// words as values, or never ending; and a line that only sends junk.
void AddAnswerFaults(CLI::App& app, Options& options) {
    Faults& faults = options.bench.faults;
    AddNamed(app, "--listing-order", faults.listingOrder, kListingOrderNames,
             "Order of the item lines of the AT+GETDV=0 answer (OK stays last); shuffled "
             "follows --seed");
    app.add_flag("--protocol-words", options.protocolWords,
                 "Items 3, 12, 14 and 39 hold NEED PWD, OK, LINK OK and NO ERROR LOG, as values "
                 "and as factory values (AT+RESTORE brings them back); with --params the table "
                 "must have those items");
    auto* trickle = AddMillis(app, "--line-trickle", faults.lineTrickle,
                              "A broken line: hears everything, answers nothing, and sends one "
                              "junk byte every MS at the AT rate from power-on")
                        ->check(Quiet(CLI::Range(1, 3600000)));
    app.add_flag("--line-babble", faults.lineBabble,
                 "A broken line: hears everything, answers nothing, and sends junk as fast as the "
                 "AT rate carries it (2880 bytes a second) from power-on")
        ->excludes(trickle);
    app.add_flag("--line-babble-ok", faults.lineBabbleOk,
                 "A broken line: hears everything, answers nothing, and sends \"\\r\\nOK\\r\\n\" "
                 "over and over as fast as the AT rate carries it from power-on")
        ->excludes(trickle)
        ->excludes("--line-babble");
    AddMillis(app, "--endless-listing", faults.endlessListing,
              "AT+GETDV=0 never ends: instead of its OK another item line (numbers running "
              "round 1..60, values changing) comes every MS until the next command")
        ->check(Quiet(CLI::Range(1, 3600000)));
}

// Bytes and lines spoiled, lost, added or late, and items or commands the
// device leaves out or refuses.
void AddLineFaults(CLI::App& app, Options& options) {
    Faults& faults = options.bench.faults;
    AddRate(app, "--noise", faults.noiseRate,
            "Each byte the device sends is spoiled with this probability (bit flipped or a stray "
            "byte put before it)");
    AddRate(app, "--drop", faults.dropRate,
            "Each byte the device sends is lost with this probability");
    AddRate(app, "--stray-lines", faults.strayLines,
            "With this probability a line of the device's own (OK, ERROR or a status line) comes "
            "just before the echo of a command, and again just after its answer");
    AddRate(app, "--repeat-lines", faults.repeatLines,
            "Each line of an answer (not the echo) is sent twice with this probability");
    AddRate(app, "--drop-lines", faults.dropLines,
            "Each line of an answer (not the echo) is never sent with this probability");
    app.add_option("--listing-gaps", faults.listingGaps,
                   "The AT+GETDV=0 answer leaves out these items, which the device still has")
        ->type_name("N,M,...")
        ->delimiter(',');
    app.add_option("--delay-command", faults.delayCommand,
                   "Only answers to commands containing TEXT are late, by --delay-one")
        ->type_name("TEXT");
    AddMillis(app, "--delay-one", faults.delayOne,
              "Extra delay of the answers --delay-command picks (beyond 600 ms a query, "
              "beyond 1100 ms an AT+SET is given up)")
        ->check(Quiet(CLI::NonNegativeNumber));
    AddOrdinal(app, "--error-on-set-number", faults.errorOnNthSet,
               "The Nth AT+SET after each power-on answers ERROR, whatever its item");
    AddOrdinal(app, "--garble-imei-read", faults.garbleImeiRead,
               "The Nth AT+DTU&IMEI? after each power-on tells the IMEI with its last digit "
               "changed, a reply whole in form");
}

// The device pulled off the line, faults dealt out to a batch, and the seed
// of every random choice.
void AddUnplugAndChanceOptions(CLI::App& app, Options& options) {
    app.add_option("--unplug-at", options.unplugAt,
                   "Pull the device off the line (the pty is closed under the tool, then served "
                   "anew with links following) at: connecting (its first AT+TEST), connected "
                   "(300 ms after its configuration listing), mid-modify[:N] (the Nth AT+SET is "
                   "stored, not answered), awaiting-loader (the first break-in byte), "
                   "loader-dialogue (the Enter at the banner), mid-transfer[:N] (block N stored, "
                   "not acknowledged), debug-log[:MS] (MS after the debug output starts)")
        ->type_name("STATE[:N]");
    app.add_option("--fault-rate", options.bench.faultRate,
                   "With --devices: each device independently gets, with this probability, one "
                   "fault (silent, late answers, ERROR on an AT+SET, noise, dropped bytes, "
                   "unplugged while connecting, connected or mid-Modify); a \"fault\" event "
                   "names its IMEI and the fault")
        ->type_name("P")
        ->check(Quiet(CLI::Range(0.0, 1.0)));
    app.add_option("--seed", options.bench.faults.seed,
                   "Seed of every random choice: the same seed, the same run")
        ->type_name("N")
        ->capture_default_str();
}

// In the order --help lists them.
void AddOptions(CLI::App& app, Options& options) {
    AddDeviceOptions(app, options);
    AddDialogueOptions(app, options);
    AddLoaderOptions(app, options);
    AddAnswerFaults(app, options);
    AddLineFaults(app, options);
    AddUnplugAndChanceOptions(app, options);
    app.footer(kFooter);
}

// The bench with what the options name read, and the rest settled.
BenchOptions MakeBenchOptions(const Options& o) {
    BenchOptions b = o.bench;
    if (!o.unplugAt.empty()) {
        std::tie(b.faults.unplugAt, b.faults.unplugN) = ParseUnplugAt(o.unplugAt);
    }
    if (!o.debugText.empty()) {
        try {
            b.device.debug = ParseDebugScript(ReadTextFile(o.debugText));
        } catch (const std::invalid_argument& e) {
            throw std::runtime_error(o.debugText + ": " + e.what());
        }
    }
    b.factory =
        o.params.empty() ? DefaultTable(o.lang) : TableFromParamText(ReadTextFile(o.params));
    if (o.protocolWords) {
        PutProtocolWords(b.factory);
    }
    if (!o.state.empty() && std::filesystem::exists(o.state) && !IsLoadableFile(o.state)) {
        std::fprintf(stderr, "kavrel-sim: %s is not a regular file; no values loaded from it\n",
                     o.state.c_str());
    } else if (!o.state.empty() && std::filesystem::exists(o.state)) {
        ParameterTable values = b.factory;
        for (const auto& w : ApplyState(values, ReadTextFile(o.state))) {
            std::fprintf(stderr, "kavrel-sim: %s: %s\n", o.state.c_str(), w.c_str());
        }
        b.firstValues = std::move(values);
    }
    return b;
}

int Serve(const Options& o) {
    auto start = Runner::Clock::now();
    EventWriter events(o.events);
    Bench bench(MakeBenchOptions(o), [&events](const Json& e) { events.Write(e); });
    // A file that cannot be written is told, and the device goes on.
    auto keep = [&events, start](const char* option, const std::string& path,
                                 std::string_view bytes) {
        std::string error;
        if (!WriteOutputFile(path, bytes, &error)) {
            std::fprintf(stderr, "kavrel-sim: %s\n", error.c_str());
            events.Write(MakeEvent(std::chrono::duration_cast<Millis>(Runner::Clock::now() - start),
                                   "file-error", {{"option", option}, {"error", error}}));
        }
    };
    if (!o.state.empty()) {
        bench.SetValuesChangedHandler([keep, path = o.state](const ParameterTable& t) {
            keep("--state", path, FormatParamText(t));
        });
    }
    if (!o.firmwareOut.empty()) {
        bench.SetFirmwareHandler([keep, path = o.firmwareOut](const std::string& image) {
            keep("--firmware-out", path, image);
        });
    }
    Pty pty;
    std::optional<ScopedLink> link;
    if (!o.link.empty()) {
        link.emplace(o.link, pty.SlavePath());
    }
    std::unique_ptr<ComRegistration> com;
    if (o.com > 0) {
        com = std::make_unique<ComRegistration>(o.com, pty.SlavePath());
    }
    RunnerConfig config{o.throttle, true, {}};
    config.commandRateAlias = o.atRateAlias;
    // The names the tool opens follow the bench to its new pty without ever
    // going missing: a batch opens the port again at once after a failure.
    config.replugged = [&](const std::string& path) {
        if (link) {
            link->Retarget(path);
        }
        if (com) {
            std::unique_ptr<ComRegistration> next;
            try {
                next = std::make_unique<ComRegistration>(o.com, path);
            } catch (const std::runtime_error&) {
                // The old pty still counts as present: give its name up first.
                com.reset();
                next = std::make_unique<ComRegistration>(o.com, path);
            }
            // The old registration leaves a link that no longer points to it alone.
            com = std::move(next);
        }
        std::fprintf(stderr, "kavrel-sim: device unplugged; now on %s\n", path.c_str());
    };
    Runner runner(bench, pty, config, start);
    Json ready =
        MakeEvent(std::chrono::duration_cast<Millis>(Runner::Clock::now() - start), "start");
    ready["pty"] = pty.SlavePath();
    events.Write(ready);
    if (o.protocolWords) {
        Json words = MakeEvent(Millis(ready["t"].get<Millis::rep>()), "protocol-words");
        for (const auto& word : kProtocolWords) {
            words["items"].push_back({{"item", word.item}, {"value", word.value}});
        }
        events.Write(words);
    }
    std::printf("%s\n", pty.SlavePath().c_str());
    std::fflush(stdout);
    runner.Run();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // With stdin closed the pty master could become descriptor 0 and be read
    // as power commands: keep the standard descriptors taken.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0) {
            ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        }
    }
    // Blocked before anything exists to clean up: from here on SIGINT and
    // SIGTERM only arrive through the runner's signalfd.
    Runner::BlockStopSignals();
    ::signal(SIGPIPE, SIG_IGN);

    CLI::App app{"kavrel-sim: a simulated Kavrel DTU on a pseudo-terminal"};
    app.name("kavrel-sim");
    app.set_version_flag("--version", std::string("kavrel-sim ") + KAVREL_SIM_VERSION);
    Options options;
    AddOptions(app, options);
    CLI11_PARSE(app, argc, argv);
    try {
        return Serve(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kavrel-sim: %s\n", e.what());
        return 1;
    }
}
