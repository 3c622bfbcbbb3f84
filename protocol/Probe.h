// The start-up probe: "AT+TEST\r" again and again until the device, powering
// on, answers within its start-up window.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "serial/ComPort.h"

class CTirvel2View;

// Probe results, carried to the view in WM_PROBE_RESULT's wParam.
inline constexpr int kProbeAnswered = 0;
inline constexpr int kProbeTimedOut = 1;
inline constexpr int kProbeStopped = 2;
// The window passed and what came in it was noise, never an answer: a
// babbling line, not a silent one.
inline constexpr int kProbeLineNoise = 3;
inline constexpr int kProbePasswordRequired = 4;

inline constexpr int kProbeAttempts = 60;
// Each attempt takes the time of its silence allowance even when something
// ends it sooner (an early ERROR, a buffer filled by noise), so the device
// gets the whole window the operator was told about, and no more.
inline constexpr std::chrono::milliseconds kProbeAttemptTime{600};
inline constexpr std::chrono::milliseconds kProbeWindow = kProbeAttemptTime * kProbeAttempts;

// Written by the user-interface thread (0 by Start, 1 by Stop), read by the
// probe thread after every failed attempt.
extern std::atomic<int> g_nProbeStopFlag;

// One full probe, at most kProbeAttempts attempts within kProbeWindow by the
// clock; an answer wins over the stop flag, the stop flag over a password
// prompt.
int ProbeDevice(PortHandle port);

// Handed to the probe thread, which frees it.
struct ProbeParameters {
    PortHandle port;
    CTirvel2View* view;
    std::uint32_t connection;  // posted back with the result, to spot stale ones
};

// The probe thread: probes, posts the result to the view, frees its block.
unsigned long ProbeThreadProc(void* parameters);
