// The console host's wait for a connection, against a device played by the
// test: the ending that the view itself does not announce must still end it.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "LanguageForTheTest.h"
#include "PseudoTerminal.h"
#include "cli/ConsoleHost.h"
#include "protocol/AtExchange.h"
#include "res/ResourceIds.h"

namespace {

using namespace std::chrono_literals;

TEST(ConsoleHost, AnIdentityReplyWithoutItsLineEndsEndsTheWait) {
    const testsupport::EnglishForTheTest english;
    testsupport::PseudoTerminal pty;
    // The device answers the probe, then the IMEI query with a bare "OK": the
    // view keeps the port open and waits for nothing.
    std::string sent;
    std::thread device([&] {
        sent = pty.ReadUntil("AT+TEST\r", 10s);
        pty.Write("OK\r\n");
        sent += pty.ReadUntil("AT+DTU&IMEI?\r", 5s);
        pty.Write("OK\r\n");
    });

    std::ostringstream out;
    std::ostringstream err;
    cli::Console console(out, err, cli::Verbosity::Normal, cli::ErrStream::Plain);
    cli::HostSettings settings;
    settings.devicePath = pty.SlavePath();
    cli::ConsoleHost host(settings, console);
    EXPECT_EQ(host.Connect(), cli::Connection::Failed);
    device.join();

    EXPECT_NE(sent.find("AT+DTU&IMEI?\r"), std::string::npos);
    EXPECT_NE(err.str().find(cli::Console::Text(res::IDS_CLI_INCOMPLETE_REPLY)), std::string::npos)
        << err.str();
    // Given up the way the operator would: stopped, the port closed.
    EXPECT_EQ(host.State(), kStateIdle);
    EXPECT_EQ(host.View().m_hComPort, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(pty.SlaveIsOpen());
}

}  // namespace
