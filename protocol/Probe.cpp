#include "protocol/Probe.h"

#include "protocol/AtExchange.h"

std::atomic<int> g_nProbeStopFlag{0};

int ProbeDevice(PortHandle port) {
    for (int attempt = 1; attempt <= kProbeAttempts; ++attempt) {
        int r = SendAtCommand(port, "AT+TEST\r", kShortReplyLimit);
        if (r == kAtSuccess) {
            return kProbeAnswered;
        }
        if (g_nProbeStopFlag.load() != 0) {
            return kProbeStopped;
        }
        if (r == kAtPasswordRequired) {
            return kProbePasswordRequired;
        }
    }
    return kProbeTimedOut;
}
