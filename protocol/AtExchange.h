// The AT command dialogue with the device: one command out, the reply gathered
// and classified by its markers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "serial/ComPort.h"

// SendAtCommand results.
inline constexpr int kAtSuccess = 0;
inline constexpr int kAtFailure = -1;
inline constexpr int kAtPasswordRequired = 4;

// Empty-read limits: 5 allows about 0.6 s of silence, 10 about 1.1 s.
inline constexpr int kShortReplyLimit = 5;
inline constexpr int kLongReplyLimit = 10;

// Sends the command (a terminated string) and waits for "OK\r\n" (0),
// "ERROR" and a later "\r\n" (-1, or 4 when the password prompt came first) or
// until more than emptyReadLimit reads brought nothing (-1, or 4 after the
// password prompt). At most 127 bytes of reply are looked at.
int SendAtCommand(PortHandle port, const char* command, int emptyReadLimit);

// Like SendAtCommand, but the reply is left in the caller's buffer (zero-filled
// first and always terminated), and no password prompt is looked for. 0 when
// the reply ended in "OK\r\n", -1 otherwise.
int QueryAtCommand(PortHandle port, const char* command, char* reply, std::size_t replySize,
                   int emptyReadLimit);

// The number of the last configuration item the device reported; reset by
// Start, set by the configuration read, the bound of every loop over items.
extern int g_nItemCount;
