// The AT command dialogue with the device: one command out, the reply gathered
// and classified by its markers.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "serial/ComPort.h"

// SendAtCommand results.
inline constexpr int kAtSuccess = 0;
inline constexpr int kAtFailure = -1;
inline constexpr int kAtPasswordRequired = 4;

// Empty-read limits: 5 allows about 0.6 s of silence, 10 about 1.1 s.
inline constexpr int kShortReplyLimit = 5;
inline constexpr int kLongReplyLimit = 10;

// Sends the command (a terminated string) and waits for its result line: a
// whole line "OK" (0), or a whole line starting with "ERROR" (-1, or 4 when the
// password prompt came first); or until more than emptyReadLimit reads brought
// nothing (-1, or 4 after the password prompt). At most 127 bytes of reply are
// looked at.
int SendAtCommand(PortHandle port, const char* command, int emptyReadLimit);

// Like SendAtCommand, but the reply is left in the caller's buffer (zero-filled
// first and always terminated; it ends with the result line, anything the
// device sent after that is not part of it, and where the device echoes it
// starts with the echo's line), and no password prompt is looked for. 0 when
// the reply ended in its "OK" line, -1 otherwise.
int QueryAtCommand(PortHandle port, const char* command, char* reply, std::size_t replySize,
                   int emptyReadLimit);

// How much of a reply has been classified.
enum class ReplyEnd {
    kOpen,   // no result line yet
    kOk,     // a whole line "OK"
    kError,  // a whole line starting with "ERROR"
};
struct ReplyClass {
    ReplyEnd end = ReplyEnd::kOpen;
    std::size_t length = 0;  // of the reply up to and including its result line
};
// The result line of the text gathered so far, if it holds one. Lines end in
// "\r\n"; only whole lines count, so a value that holds the word "ERROR" or
// ends in "OK" is never taken for the result. A line may start with the
// device's echo of the command, which ends in a lone "\r".
// afterEcho: the device is known to echo, so the reply starts only after the
// echo (the first lone "\r" ending a line with "AT" in it); whole lines
// before it are lines the device sent of its own and answer nothing.
ReplyClass ClassifyReply(std::string_view gathered, bool afterEcho = false);

// Where the echo of the command ends in the text gathered so far (just past
// its "\r"), or npos while it has not come whole.
std::size_t EchoEnd(std::string_view gathered);
// Where the line that holds that echo starts (0 when there is none).
std::size_t EchoLineStart(std::string_view gathered);

// Whether the device on the line echoes commands: false from Start until an
// exchange sees the echo of its own command come back before its result.
// From then on every result must follow the echo.
void SetDeviceEchoes(bool echoes);
bool DeviceEchoes();

// Every exchange ends by the clock too: its silence allowance plus the time its
// reply buffer takes to fill on a slow line. A device that trickles a byte now
// and then never falls silent long enough for the empty-read limit.
std::chrono::milliseconds ExchangeTimeLimit(int emptyReadLimit, std::size_t replyCapacity);

// The clock the exchanges' time limits are measured on: the steady clock,
// unless a test that scripts the port puts in one that moves with its script
// (null puts the steady clock back). Change it only while no exchange runs.
using AtClockNow = std::chrono::steady_clock::time_point (*)();
void SetAtClock(AtClockNow now);
std::chrono::steady_clock::time_point AtClock();

// What one exchange saw, for the probe, which must tell a silent line from one
// that only carries noise.
struct ExchangeSeen {
    int result = kAtFailure;
    std::size_t gathered = 0;  // bytes of reply taken in
    bool echoOnly = true;      // all of them were (a start of) the command's echo
    bool resultLine = false;   // a result line or the password prompt came
};
ExchangeSeen SendAtCommandSeen(PortHandle port, const char* command, int emptyReadLimit);

// The number of the highest configuration item the device reported; reset by
// Start, raised by the configuration read, the bound of every loop over items.
extern int g_nItemCount;
