// The sender against an XMODEM receiver we did not write: lrzsz's rx at the
// master side of a pseudo-terminal, the sender on the slave side as on the
// firmware path. rx talks through a socket that a pump joins to the master:
// on a terminal rx flushes the line as it exits, which on a pseudo-terminal can
// discard its last ACK before the kernel has passed it on (a real port sends
// it first), and the EOT would then go unanswered.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "ArgumentVector.h"
#include "SimProcess.h"
#include "XmodemReceiver.h"
#include "firmware/Xmodem.h"
#include "serial/ComPort.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kRx = "/usr/bin/rx";
constexpr ComPortSettings k8N1{115200, 8, 0, 0, kFlowNone};

// rx writes every data field it accepted, the last one's end marker and zeros
// included: binary XMODEM carries no length.
std::string Padded(const std::vector<std::uint8_t>& image) {
    std::string out(image.begin(), image.end());
    if (out.size() % 128 != 0) {
        out += '\x1A';
        out.resize((out.size() + 127) / 128 * 128, '\0');
    }
    return out;
}

std::vector<std::uint8_t> Noise(std::size_t size) {
    const std::string bytes = testsupport::Noise(size, 12345);
    return {bytes.begin(), bytes.end()};
}

// Copies bytes both ways until told to stop; notes the first byte from b.
void Pump(int a, int b, const std::atomic<bool>& stop, std::atomic<int>& firstFromB) {
    while (!stop) {
        pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        if (::poll(p, 2, 10) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if ((p[i].revents & POLLIN) == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::read(p[i].fd, buffer, sizeof buffer);
            if (i == 1 && n > 0 && firstFromB < 0) {
                firstFromB = static_cast<std::uint8_t>(buffer[0]);
            }
            for (ssize_t done = 0; n > 0 && done < n;) {
                const ssize_t w =
                    ::write(p[1 - i].fd, buffer + done, static_cast<std::size_t>(n - done));
                if (w > 0) {
                    done += w;
                } else {
                    pollfd out{p[1 - i].fd, POLLOUT, 0};
                    ::poll(&out, 1, 10);
                }
            }
        }
    }
}

struct Outcome {
    int result = 0;
    int rxStatus = -1;
    int startSignal = -1;
    std::string received;
};

Outcome SendToRx(const std::vector<std::uint8_t>& image, const std::vector<std::string>& options) {
    Outcome outcome;
    testsupport::TempDir dir;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return outcome;
    }
    // Open before rx starts: the set-up purges input, which would eat rx's
    // first start signal.
    const PortHandle port = OpenComPort(::ptsname(master));
    EXPECT_NE(port, INVALID_HANDLE_VALUE);
    SetupComPortPolled(port, &k8N1);
    SetTransferPort(port);

    int sockets[2] = {-1, -1};
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> startSignal{-1};
    std::thread pump(Pump, master, sockets[0], std::cref(stop), std::ref(startSignal));

    std::vector<std::string> args = options;
    args.push_back("image.bin");
    testsupport::ArgumentVector argv(kRx, args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(sockets[1], 0);
        ::dup2(sockets[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        if (::chdir(dir.Path().c_str()) != 0) {
            ::_exit(126);
        }
        ::execv(kRx, argv.Data());
        ::_exit(127);
    }
    outcome.result =
        TransferSendFile(image.data(), static_cast<std::int32_t>(image.size()), nullptr);

    // rx ends right after acknowledging the EOT; a stuck one is killed.
    int status = 0;
    for (int i = 0; i < 1000 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(10ms);
        if (i == 999) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
    }
    outcome.rxStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    stop = true;
    pump.join();
    outcome.startSignal = startSignal;
    SetTransferPort(INVALID_HANDLE_VALUE);
    CloseComPort(port);
    ::close(master);
    ::close(sockets[0]);
    ::close(sockets[1]);
    std::ifstream in(dir.Path() / "image.bin", std::ios::binary);
    outcome.received.assign(std::istreambuf_iterator<char>(in), {});
    return outcome;
}

class xmodem_Lrzsz : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access(kRx, X_OK) != 0) {
            GTEST_SKIP() << "lrzsz is not installed";
        }
    }
};

TEST_F(xmodem_Lrzsz, RxWithCrcReceivesTheImage) {
    for (const std::size_t size : {std::size_t{40'000}, std::size_t{128 * 300}}) {
        const auto image = Noise(size);
        const Outcome o = SendToRx(image, {"-b", "-c"});
        EXPECT_EQ(o.result, static_cast<int>((size + 127) / 128 * 128));
        EXPECT_EQ(o.startSignal, 'C');
        EXPECT_EQ(o.rxStatus, 0);
        EXPECT_EQ(o.received, Padded(image)) << size << " bytes";
    }
}

TEST_F(xmodem_Lrzsz, RxWithChecksumReceivesTheImage) {
    const auto image = Noise(33'333);
    const Outcome o = SendToRx(image, {"-b"});
    EXPECT_EQ(o.result, 33'408);
    EXPECT_EQ(o.startSignal, 0x15);  // NAK: without -c rx asks for the 8-bit sum
    EXPECT_EQ(o.rxStatus, 0);
    EXPECT_EQ(o.received, Padded(image));
}

}  // namespace
