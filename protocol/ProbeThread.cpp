#include <memory>

#include "form/Tirvel2View.h"
#include "protocol/Probe.h"
#include "res/ResourceIds.h"

unsigned long ProbeThreadProc(void* parameters) {
    std::unique_ptr<ProbeParameters> block(static_cast<ProbeParameters*>(parameters));
    int result = ProbeDevice(block->port);
    block->view->PostMessage(res::WM_PROBE_RESULT, static_cast<fw::WPARAM>(result),
                             static_cast<fw::LPARAM>(block->connection));
    return 0;
}
