// Firmware transfer over a paced line (PacedLine.h): the sender on a
// pseudo-terminal's slave side, lrzsz's rx at the far end, and a relay between
// the master side and rx that lets bytes through no faster than a 115200 baud
// 8N1 line does.
// The sender is this project's XMODEM sender or, for reference, lrzsz's sx.
//
// rx gets a socket, not a second pseudo-terminal: on a terminal it flushes the
// line as it exits, and on a pseudo-terminal that can discard its last ACK
// before the kernel has passed it on; the sender would then wait out ten EOTs.
//
//   xmodem_bench [--size BYTES] [--variant crc|checksum|both] [--sender ours|sx|both]
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "PacedLine.h"
#include "firmware/Xmodem.h"
#include "serial/ComPort.h"
#include "serial/DeviceLines.h"

namespace {

using bench::Clock;
using bench::kLineBytesPerSecond;
using bench::OpenPty;
using bench::OpenRawSlave;
using bench::Pace;
using bench::Pty;
using bench::Seconds;
using bench::Spawn;

double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Run {
    double seconds = 0;
    double blockSeconds = 0;  // ours only: until the last block's ACK

    double cpuSeconds = 0;
    bool ok = false;
};

Run Transfer(const std::vector<std::uint8_t>& image, bool crc, bool ours) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("xmodem-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "in");
    std::filesystem::create_directories(dir / "out");
    {
        std::ofstream f(dir / "in" / "image.bin", std::ios::binary);
        f.write(reinterpret_cast<const char*>(image.data()),
                static_cast<std::streamsize>(image.size()));
    }
    const Pty sender = OpenPty();
    const int holdSender = OpenRawSlave(sender.slave);
    int receiver[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, receiver) != 0) {
        throw std::runtime_error("no socket pair");
    }
    ::fcntl(receiver[0], F_SETFL, O_NONBLOCK);
    std::atomic<bool> stop{false};
    std::thread up(Pace, sender.master, receiver[0], std::cref(stop), nullptr);
    std::thread down(Pace, receiver[0], sender.master, std::cref(stop), nullptr);

    PortHandle port = INVALID_HANDLE_VALUE;
    if (ours) {
        // Opened before rx starts: the set-up purges input.
        port = OpenComPort(sender.slave.c_str());
        SetupComPortPolled(port, &kLoaderLine);
        SetTransferPort(port);
    }
    std::vector<std::string> rxArgs{"rx", "-b", "-q"};
    if (crc) {
        rxArgs.push_back("-c");
    }
    rxArgs.push_back("image.bin");
    const pid_t rx = Spawn(receiver[1], "", dir / "out", rxArgs);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // its start signal is waiting

    Run run;
    const Clock::time_point start = Clock::now();
    if (ours) {
        int result = 0;
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            const double cpu0 = ThreadCpuSeconds();
            result =
                TransferSendFile(image.data(), static_cast<std::int32_t>(image.size()), nullptr);
            run.cpuSeconds = ThreadCpuSeconds() - cpu0;
            finished = true;
        });
        // The progress reaches 1000 with the last block's ACK; what follows is
        // the EOT and the receiver's answer to it.
        // The previous run's 1000 stays until the sender resets it.
        while (GetTransferProgress() >= 1000 && !finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        while (GetTransferProgress() < 1000 && !finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        run.blockSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        worker.join();
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        run.ok = result >= static_cast<int>(image.size());
    } else {
        const pid_t sx = Spawn(-1, sender.slave, dir / "in", {"sx", "-b", "-q", "image.bin"});
        int status = 0;
        rusage usage{};
        ::wait4(sx, &status, 0, &usage);
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
        run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    int status = 0;
    for (int i = 0; i < 500 && ::waitpid(rx, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (::waitpid(rx, &status, WNOHANG) == 0) {
        ::kill(rx, SIGKILL);
        ::waitpid(rx, &status, 0);
        run.ok = false;
    }
    std::ifstream in(dir / "out" / "image.bin", std::ios::binary);
    const std::string got{std::istreambuf_iterator<char>(in), {}};
    run.ok = run.ok && got.size() >= image.size() &&
             std::memcmp(got.data(), image.data(), image.size()) == 0;

    stop = true;
    up.join();
    down.join();
    if (ours) {
        SetTransferPort(INVALID_HANDLE_VALUE);
        CloseComPort(port);
    }
    for (int fd : {holdSender, sender.master, receiver[0], receiver[1]}) {
        ::close(fd);
    }
    std::filesystem::remove_all(dir);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t size = 256 * 1024;
    std::string variants = "both";
    std::string senders = "both";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--size") {
            size = std::stoul(argv[i + 1]);
        } else if (option == "--variant") {
            variants = argv[i + 1];
        } else if (option == "--sender") {
            senders = argv[i + 1];
        }
    }
    std::vector<std::uint8_t> image(size);
    std::uint32_t x = 1;
    for (auto& b : image) {
        x = x * 1664525U + 1013904223U;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    const std::size_t blocks = (size + 127) / 128;
    std::printf("%zu bytes (%zu blocks) over a paced 115200 baud 8N1 line, receiver lrzsz rx\n",
                size, blocks);
    std::printf("%-8s %-9s %9s %9s %9s %11s %15s %8s  %s\n", "sender", "variant", "bound s",
                "total s", "of bound", "to last ACK", "of bound there", "CPU s", "image");
    bool allOk = true;
    for (const bool crc : {true, false}) {
        if (variants != "both" && variants != (crc ? "crc" : "checksum")) {
            continue;
        }
        for (const bool ours : {true, false}) {
            if (senders != "both" && senders != (ours ? "ours" : "sx")) {
                continue;
            }
            // The line-rate bound counts only the blocks' bytes.
            const double bound =
                static_cast<double>(blocks * (crc ? 133 : 132)) / kLineBytesPerSecond;
            const Run run = Transfer(image, crc, ours);
            allOk = allOk && run.ok;
            std::printf("%-8s %-9s %9.2f %9.2f %9.3f", ours ? "tirvel" : "sx",
                        crc ? "CRC-16" : "checksum", bound, run.seconds, bound / run.seconds);
            if (ours) {
                std::printf(" %11.2f %15.3f", run.blockSeconds, bound / run.blockSeconds);
            } else {
                std::printf(" %11s %15s", "-", "-");
            }
            std::printf(" %8.3f  %s\n", run.cpuSeconds, run.ok ? "received intact" : "FAILED");
            std::fflush(stdout);
        }
    }
    return allOk ? 0 : 1;
}
