// POSIX serial ports: a terminal descriptor kept raw and non-blocking, with
// every read and write bounded by poll(). On Windows the driver remembers the
// time-outs of a handle; here a small table keyed by descriptor does.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#if defined(__APPLE__)
#include <IOKit/serial/ioss.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "serial/ComPort.h"
#include "serial/LineSpeed.h"
#include "serial/OpenFailureRecord.h"
#include "serial/PortPath.h"
#include "serial/TermiosSettings.h"

namespace serial::detail {
namespace {

#ifdef CMSPAR
constexpr tcflag_t kMarkSpace = CMSPAR;
#else
constexpr tcflag_t kMarkSpace = 0;
#endif

void ApplyParity(termios& t, std::uint8_t parity) {
    // None, odd, even, mark, space.
    static constexpr tcflag_t kBits[] = {0, PARENB | PARODD, PARENB, PARENB | kMarkSpace | PARODD,
                                         PARENB | kMarkSpace};
    if (parity >= std::size(kBits) || (parity >= 3 && kMarkSpace == 0)) {
        return;  // unknown, or stick parity this system cannot do
    }
    // Only the generating bits: whether received parity is checked (INPCK,
    // IGNPAR, PARMRK) stays as it is, like fParity on Windows.
    t.c_cflag = (t.c_cflag & ~(PARENB | PARODD | kMarkSpace)) | kBits[parity];
}

void ApplyFlowControl(termios& t, std::uint8_t flow) {
    switch (flow) {
        case kFlowNone:
            t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
            t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
            break;
        case kFlowHardware:
            t.c_cflag |= CRTSCTS;
            break;
        case kFlowSoftware:
            t.c_iflag |= IXON | IXOFF;
            break;
        default:
            break;
    }
}

}  // namespace

speed_t StandardSpeed(std::uint32_t baud) {
    struct Rate {
        std::uint32_t baud;
        speed_t speed;
    };
    static constexpr Rate kRates[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
        {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
        {460800, B460800},
#endif
#ifdef B921600
        {921600, B921600},
#endif
    };
    for (const Rate& r : kRates) {
        if (r.baud == baud) {
            return r.speed;
        }
    }
    return B0;
}

void ApplyLineSettings(termios& t, const ComPortSettings& s) {
    // Rate 0 would mean "hang up" (drop DTR), never what a caller wants; rates
    // without a constant are set on the descriptor afterwards.
    if (const speed_t standard = StandardSpeed(s.baudRate); standard != B0) {
        ::cfsetispeed(&t, standard);
        ::cfsetospeed(&t, standard);
#ifdef CIBAUD
        // A separate input rate left by an earlier arbitrary rate (ours or
        // another program's) would survive cfsetispeed; zero means "as output".
        t.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
#endif
    }
    if (s.dataBits >= 5 && s.dataBits <= 8) {
        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | kSizes[s.dataBits - 5];
    }
    ApplyParity(t, s.parity);
    if (s.stopBits == 0) {
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    } else if (s.stopBits == 1 || s.stopBits == 2) {
        t.c_cflag |= CSTOPB;  // one and a half exists only with 5 data bits: two is closest
    }
    ApplyFlowControl(t, s.flowControl);
}

}  // namespace serial::detail

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// ---------------------------------------------------------------------------
// Time-out profiles

enum class Profile : std::uint8_t { kTimed = 0, kPolled = 1 };  // 0: never set up = timed

struct Timeouts {
    milliseconds readTotal;
    milliseconds writePerByte;
    milliseconds writeConstant;
};

constexpr Timeouts kTimedTimeouts{milliseconds(100), milliseconds(10), milliseconds(1000)};
constexpr Timeouts kPolledTimeouts{milliseconds(0), milliseconds(1), milliseconds(1000)};

// Lock-free for the descriptors a desktop program actually has; a process with
// more open files falls back to a locked map. Allocation only ever happens when
// a high descriptor is set up, never on a read or write.
class ProfileTable {
public:
    void Set(int fd, Profile profile) {
        if (fd < kDirectSlots) {
            direct_[static_cast<std::size_t>(fd)].store(static_cast<std::uint8_t>(profile),
                                                        std::memory_order_release);
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (profile == Profile::kTimed) {
            overflow_.erase(fd);
        } else {
            overflow_[fd] = profile;
        }
    }

    Profile Get(int fd) {
        if (fd < kDirectSlots) {
            return static_cast<Profile>(
                direct_[static_cast<std::size_t>(fd)].load(std::memory_order_acquire));
        }
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = overflow_.find(fd);
        return it == overflow_.end() ? Profile::kTimed : it->second;
    }

private:
    static constexpr int kDirectSlots = 1024;
    std::array<std::atomic<std::uint8_t>, kDirectSlots> direct_{};
    std::mutex mutex_;
    std::map<int, Profile> overflow_;
};

ProfileTable& Profiles() {
    static ProfileTable table;
    return table;
}

const Timeouts& TimeoutsOf(int fd) {
    return Profiles().Get(fd) == Profile::kPolled ? kPolledTimeouts : kTimedTimeouts;
}

// ---------------------------------------------------------------------------
// Waiting

enum class Wait { kReady, kTimedOut, kFailed };

// Blocks until the descriptor is ready for `events` or the deadline passed.
// Error or hang-up conditions without the event count as failure, so callers
// never loop on a descriptor that will not become ready.
Wait WaitUntil(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        // Rounded up: a time-out rounded down would wake early and spin through
        // a run of zero-length polls.
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return Wait::kTimedOut;
        }
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<decltype(left)>(left, INT_MAX)));
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Wait::kFailed;
        }
        if (r == 0) {
            continue;  // the deadline check above decides
        }
        return (p.revents & events) != 0 ? Wait::kReady : Wait::kFailed;
    }
}

// Counts are returned as int32: larger requests are served in part.
std::size_t Clamp(std::uint32_t count) {
    return std::min<std::size_t>(count, static_cast<std::size_t>(INT32_MAX));
}

// ---------------------------------------------------------------------------
// Line settings

// Every step is tried even when an earlier one failed: the caller cannot act on
// a failure, and the port is better off with what did apply.
void ApplyLineSettings(int fd, const ComPortSettings& s) {
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        serial::detail::ApplyLineSettings(t, s);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    if (s.baudRate != 0 && serial::detail::StandardSpeed(s.baudRate) == B0) {
#if defined(__linux__)
        serial::detail::SetArbitraryLineSpeed(fd, s.baudRate);
#elif defined(__APPLE__)
        speed_t speed = s.baudRate;
        ::ioctl(fd, IOSSIOSPEED, &speed);
#endif
    }
    if (s.flowControl == kFlowNone) {
        // Without handshake RTS is held on, as RTS_CONTROL_ENABLE does; pseudo-
        // terminals have no modem lines and refuse, which is harmless.
        int rts = TIOCM_RTS;
        ::ioctl(fd, TIOCMBIS, &rts);
    }
}

void SetupComPort(PortHandle port, const ComPortSettings* settings, Profile profile) {
    if (port < 0) {
        return;
    }
    if (settings != nullptr) {
        ApplyLineSettings(port, *settings);
    }
    Profiles().Set(port, profile);
    ::tcflush(port, TCIOFLUSH);
}

// cfmakeraw, plus IXANY and IUCLC off: bytes must pass unchanged and unechoed
// whatever the previous user of the device left behind.
bool MakeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        return false;
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXANY);
#ifdef IUCLC
    t.c_iflag &= ~static_cast<tcflag_t>(IUCLC);
#endif
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    // VMIN 1 makes an empty non-blocking read fail with EAGAIN rather than
    // return 0, which is reserved for a hung-up line.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

void Release(int fd) {
    ::flock(fd, LOCK_UN);
    ::ioctl(fd, TIOCNXCL);
}

}  // namespace

OpenFailure ClassifyOpenError(int error) {
    switch (error) {
        case 0:
            return OpenFailure::kNone;
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return OpenFailure::kNoDevice;
        case EACCES:
        case EPERM:
        case EROFS:
            return OpenFailure::kPermission;
        case EBUSY:
        case EWOULDBLOCK:
            return OpenFailure::kInUse;
        default:
            return OpenFailure::kOther;
    }
}

PortHandle OpenComPort(const char* devicePath) {
    // An empty path resolves to nothing, as does a COM number nothing has.
    const std::string device = devicePath != nullptr ? serial::ResolveDevicePath(devicePath) : "";
    if (device.empty()) {
        return serial::OpenFailed(OpenFailure::kNoDevice);
    }
    int fd;
    do {
        fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return serial::OpenFailed(ClassifyOpenError(errno));
    }
    // The lock comes before anything that changes the device: an open that
    // loses to another holder must leave that holder's settings alone. The lock
    // is what excludes other programs running as root, which TIOCEXCL does not.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return serial::OpenFailed(ClassifyOpenError(error));
    }
    if (::ioctl(fd, TIOCEXCL) != 0 || !MakeRaw(fd)) {
        // Not a terminal at all (ENOTTY) is no reason the operator can act on
        // beyond choosing another port.
        Release(fd);
        ::close(fd);
        return serial::OpenFailed(OpenFailure::kOther);
    }
    // A descriptor number may have served an earlier port that was closed
    // behind our back; start from the default profile.
    Profiles().Set(fd, Profile::kTimed);
    serial::OpenSucceeded();
    return fd;
}

int CloseComPort(PortHandle port) {
    if (port < 0) {
        return 0;
    }
    Profiles().Set(port, Profile::kTimed);
    Release(port);
    if (::close(port) == 0) {
        return 1;
    }
#if defined(__linux__)
    // Linux releases the descriptor even when close is interrupted.
    return errno == EINTR ? 1 : 0;
#else
    return 0;
#endif
}

void SetupComPortTimed(PortHandle port, const ComPortSettings* settings) {
    SetupComPort(port, settings, Profile::kTimed);
}

void SetupComPortPolled(PortHandle port, const ComPortSettings* settings) {
    SetupComPort(port, settings, Profile::kPolled);
}

namespace {

// Moves up to wanted bytes by step(offset) (a read or a write of what is
// left from offset), waiting for events whenever the descriptor would block,
// until the deadline; returns how many went. Bytes already moved are counted
// even after an error: the caller cannot ask for them again.
template <class Step>
std::int32_t Transfer(int fd, std::size_t wanted, short events, Clock::time_point deadline,
                      Step step) {
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t n = step(done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0 && events == POLLIN) {
            break;  // hung up: nothing more will come
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if ((n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ||
            WaitUntil(fd, events, deadline) != Wait::kReady) {
            break;
        }
    }
    return static_cast<std::int32_t>(done);
}

}  // namespace

std::int32_t ReadComPort(PortHandle port, void* buffer, std::uint32_t maxBytes) {
    if (port < 0 || buffer == nullptr || maxBytes == 0) {
        return 0;
    }
    const std::size_t wanted = Clamp(maxBytes);
    auto* out = static_cast<unsigned char*>(buffer);
    return Transfer(port, wanted, POLLIN, Clock::now() + TimeoutsOf(port).readTotal,
                    [&](std::size_t got) { return ::read(port, out + got, wanted - got); });
}

std::int32_t WriteComPort(PortHandle port, const void* buffer, std::uint32_t count) {
    if (port < 0 || buffer == nullptr || count == 0) {
        return 0;
    }
    const std::size_t wanted = Clamp(count);
    const Timeouts& timeouts = TimeoutsOf(port);
    const Clock::time_point deadline = Clock::now() + timeouts.writeConstant +
                                       timeouts.writePerByte * static_cast<std::int64_t>(wanted);
    const auto* in = static_cast<const unsigned char*>(buffer);
    return Transfer(port, wanted, POLLOUT, deadline,
                    [&](std::size_t sent) { return ::write(port, in + sent, wanted - sent); });
}

void PurgeComPortInput(PortHandle port) {
    if (port >= 0) {
        ::tcflush(port, TCIFLUSH);
    }
}

bool WaitComPortInput(PortHandle port, std::uint32_t timeoutMs) {
    const Clock::time_point deadline = Clock::now() + milliseconds(timeoutMs);
    if (port >= 0 && WaitUntil(port, POLLIN, deadline) == Wait::kReady) {
        // A hung-up terminal polls readable for ever with nothing to read (and
        // fails the count); only bytes actually queued count. A device without
        // a count still gets read after every wait by a polling caller.
        int queued = 0;
        if (::ioctl(port, FIONREAD, &queued) == 0 && queued > 0) {
            return true;
        }
    }
    // Failure or hang-up would return at once; the caller is promised the
    // time-out it asked for, so a polling loop never spins.
    std::this_thread::sleep_until(deadline);
    return false;
}
