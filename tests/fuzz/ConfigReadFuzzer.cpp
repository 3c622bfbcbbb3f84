// The configuration read ("AT+GETDV=0") of the view against a device that
// answers with the fuzz input (the port's script, ScriptedPort.h). The item
// table must end exactly as the accepted lines of the reply say.
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "FuzzCheck.h"
#include "ReplyReference.h"
#include "ViewBench.h"
#include "protocol/AtExchange.h"
#include "protocol/ConfigurationListing.h"

namespace {

constexpr int kRows = CTirvel2View::kItemRows;

struct Row {
    std::string label;
    std::string value;
    bool shown = false;
};

// The item number as atoi reads it; numbers beyond an int only need to stay
// beyond the table, so strtol's saturation is as good.
long ItemNumber(const std::string& text) {
    errno = 0;
    return std::strtol(text.c_str(), nullptr, 10);
}

}  // namespace

FUZZ_TARGET(config_read) {
    using fuzzsupport::ScriptedPort;
    fuzzsupport::ViewBench& bench = fuzzsupport::Bench();
    bench.Reset();
    g_nItemCount = 0;

    // A reply of no items is asked for once more; the echo the first reply
    // showed holds for the second.
    fuzzsupport::ReferenceReply reply;
    std::string delivered;
    bool listed = false;
    {
        ScriptedPort reference(data, size);
        bool echoes = false;
        for (int attempt = 0; attempt < 2 && !listed; ++attempt) {
            reply = fuzzsupport::ReferenceExchange(reference, false, 2047, kShortReplyLimit, echoes,
                                                   "AT+GETDV=0\r");
            echoes = reply.echoes;
            delivered += reply.gathered;
            if (reply.result != 0) {
                break;
            }
            listed = !ParseListing(reply.held).empty();
        }
    }
    std::array<Row, kRows + 1> rows;
    for (int n = 1; n <= kRows; ++n) {
        rows[n] = {fuzzsupport::ViewBench::Placeholder(n), std::string(), false};
    }
    int count = 0;
    if (listed) {
        // Only the reply itself, up to its "OK" line: what came after it answers
        // nothing and lists no item.
        const std::string text = reply.held.substr(0, reply.held.find('\0'));
        std::size_t start = 0;
        for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos;
             start = end + 2) {
            const std::string line = text.substr(start, end - start);
            const std::size_t first = line.find(',');
            if (first == std::string::npos) {
                continue;
            }
            const long n = ItemNumber(line.substr(0, first));
            const std::size_t second = line.find(',', first + 1);
            if (n < 1 || n > kRows || second == std::string::npos) {
                continue;
            }
            rows[n] = {std::to_string(n) + ". " + line.substr(first + 1, second - first - 1),
                       line.substr(second + 1), true};
            // The highest item listed, in whatever order the lines came.
            count = std::max(count, static_cast<int>(n));
        }
    }

    ScriptedPort port(data, size);
    SetAtClock(&ScriptedPort::SteadyNow);
    SetDeviceEchoes(false);
    CTirvel2View& view = bench.view;
    view.m_hComPort = ScriptedPort::kHandle;
    const bool read = view.ReadDeviceConfiguration();
    SetAtClock(nullptr);
    SetDeviceEchoes(false);

    FUZZ_CHECK(read == listed);
    FUZZ_CHECK(port.Delivered() == delivered);
    FUZZ_CHECK(g_nItemCount >= 0 && g_nItemCount <= kRows);
    FUZZ_CHECK(g_nItemCount == count);
    if (!read) {
        // The failure closes the port and tells the operator.
        FUZZ_CHECK(view.m_hComPort == INVALID_HANDLE_VALUE);
        FUZZ_CHECK(bench.window.MessageBoxTexts().size() == 1);
    } else {
        FUZZ_CHECK(view.m_hComPort == ScriptedPort::kHandle);
        FUZZ_CHECK(bench.window.MessageBoxes().empty());
    }
    for (int n = 1; n <= kRows; ++n) {
        FUZZ_CHECK(view.GetItemLabel(n) == rows[n].label);
        FUZZ_CHECK(view.GetItemCurrentValue(n) == rows[n].value);
        FUZZ_CHECK(view.IsItemListed(n) == rows[n].shown);
        for (int id : ItemRowControls(n)) {
            FUZZ_CHECK(bench.window.Visible(id) == rows[n].shown);
        }
    }
    return 0;
}
