// A stand-in for tirvelctl's station worker, so the supervisor can be held to
// what it does with workers that behave in any way at all. It takes the
// supervisor's command line; the job's file is its script, one line per step,
// each line for every port or, prefixed "N:", for port N only:
//   claim            a device is there: ask for it, end as surplus if refused
//   step S D         a step (waiting, connected, writing, checking, sending)
//   transfer D T     D of T bytes sent
//   values SOURCE    where the device's own values came from
//   ok / fail TEXT   the device's verdict, with its row
//   die              end at once without a word, as a crash would
//   hang             wait to be cancelled, then end as interrupted
//   none             end with no device found
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "station/StationEvents.h"

namespace {

volatile std::sig_atomic_t g_cancelled = 0;

void Say(const station::StationEvent& event) {
    std::cout << station::EncodeEvent(event) << '\n' << std::flush;
}

void End(station::DeviceOutcome outcome, const std::string& port, bool ok,
         const std::string& message) {
    station::StationEvent end;
    end.kind = station::StationEvent::Kind::End;
    end.outcome = outcome;
    if (outcome == station::DeviceOutcome::Done) {
        station::DeviceRow row;
        row.port = port;
        row.time = station::LocalTime();
        row.imei = "86000000000000" + port;
        row.ok = ok;
        row.message = message;
        end.row = row;
    }
    Say(end);
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGTERM, [](int) { g_cancelled = 1; });
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string port;
    std::string script;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "-p" || args[i] == "--device") {
            port = args[i + 1];
        }
        if (args[i] == "--") {
            script = testsupport::ReadFile(args[i + 1]);
        }
    }
    std::string password;
    std::getline(std::cin, password);

    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        if (const auto colon = line.find(':'); colon != std::string::npos) {
            if (line.substr(0, colon) != port) {
                continue;
            }
            line = line.substr(colon + 1);
        }
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        station::StationEvent event;
        if (verb == "claim") {
            event.kind = station::StationEvent::Kind::Claim;
            Say(event);
            std::string reply;
            std::getline(std::cin, reply);
            if (reply != station::kClaimGranted) {
                End(station::DeviceOutcome::Surplus, port, false, "");
                return 0;
            }
        } else if (verb == "step") {
            std::string step;
            int detail = 0;
            words >> step >> detail;
            // The step by the name the event lines give it.
            event = station::DecodeEvent(R"({"event":"step","step":")" + step + R"(","detail":)" +
                                         std::to_string(detail) + "}")
                        .value_or(event);
            Say(event);
        } else if (verb == "transfer") {
            event.kind = station::StationEvent::Kind::Transfer;
            words >> event.done >> event.total;
            Say(event);
        } else if (verb == "values") {
            event.kind = station::StationEvent::Kind::Values;
            std::getline(words >> std::ws, event.source);
            Say(event);
        } else if (verb == "ok" || verb == "fail") {
            std::string message;
            std::getline(words, message);
            End(station::DeviceOutcome::Done, port, verb == "ok", message);
            return 0;
        } else if (verb == "die") {
            std::_Exit(3);
        } else if (verb == "hang") {
            while (g_cancelled == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            End(station::DeviceOutcome::Interrupted, port, false, "");
            return 0;
        } else if (verb == "none") {
            End(station::DeviceOutcome::NoDevice, port, false, "");
            return 0;
        }
    }
    return 0;
}
