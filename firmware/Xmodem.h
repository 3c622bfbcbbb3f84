// The XMODEM sender (128-byte blocks; checksum or CRC-16 as the receiver's
// first start signal chooses) that carries a firmware image, held in memory,
// to the device's boot loader over the open COM port. One transfer at a time
// in the process: the port and the progress are module state.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "serial/ComPort.h"

namespace xmodem {

inline constexpr std::uint8_t SOH = 0x01;
inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t NAK = 0x15;
inline constexpr std::uint8_t CAN = 0x18;
inline constexpr std::uint8_t CRC_START = 'C';
inline constexpr std::uint8_t SUB = 0x1A;

inline constexpr int kBlockData = 128;

}  // namespace xmodem

// TransferSendFile results; 0 or more is success (the bytes sent in
// acknowledged blocks).
inline constexpr int kTransferCancelledByReceiver = -1;
inline constexpr int kTransferNoStartSignal = -2;
inline constexpr int kTransferBlockNotAcknowledged = -4;
inline constexpr int kTransferEndNotAcknowledged = -5;
inline constexpr int kTransferStopped = -6;

// CRC-16/XMODEM (polynomial 0x1021, initial 0, unreflected, no final XOR).
std::uint16_t Crc16Update(const std::uint8_t* data, std::size_t length);

void SetTransferPort(PortHandle port);
// Per mille of the image acknowledged so far; passes 1000 after a last, partly
// filled block.
std::int32_t GetTransferProgress();

// The clock every time-out of the transfer is measured on: the steady clock,
// unless a test that scripts the port puts in one that moves with its script
// (null puts the steady clock back). Change it only while no transfer runs.
using TransferClockNow = std::chrono::steady_clock::time_point (*)();
void SetTransferClock(TransferClockNow now);

// The next received byte (0..255), or -2 when none came within timeoutMs.
int TransferReadByte(std::uint16_t timeoutMs);
void TransferWriteByte(std::uint8_t byte);
void TransferWriteBlock(const std::uint8_t* data, std::uint32_t length);
// Discards input until the line has been quiet for 1.5 s.
void TransferDrainInput();

// Sends the image; stopFlag, set non-zero by another thread, stops the
// transfer at the next check point (-6).
int TransferSendFile(const std::uint8_t* image, std::int32_t size,
                     const std::atomic<int>* stopFlag);
