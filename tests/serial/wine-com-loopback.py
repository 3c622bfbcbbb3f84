#!/usr/bin/env python3
"""A loopback line for the Win32 port tests under Wine.

Serves a pseudo-terminal that sends back every byte written to it and links
it where Wine looks for a COM port, for example:

    tests/serial/wine-com-loopback.py ~/.wine/dosdevices/com7 &
    TIRVEL_WIN32_LOOPBACK_PORT='\\\\.\\COM7' wine serial_win32_tests.exe

Unlike the simulator, a loopback answers at any line rate: Wine cannot put
rates outside the termios table (28800, say) on a pseudo-terminal.
"""
import os
import pty
import signal
import sys
import tty


def main() -> int:
    if len(sys.argv) != 2:
        print(f"usage: {sys.argv[0]} LINK", file=sys.stderr)
        return 2
    link = sys.argv[1]
    # Stopped by kill as well as by Ctrl-C, the link is removed either way.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    master, slave = pty.openpty()
    tty.setraw(slave)
    # Holding the slave open keeps the master readable while Wine closes and
    # reopens the port between tests.
    if os.path.islink(link):
        os.unlink(link)
    os.symlink(os.ttyname(slave), link)
    print(os.ttyname(slave), flush=True)
    try:
        while True:
            data = os.read(master, 4096)
            if not data:
                break
            os.write(master, data)
    except (KeyboardInterrupt, SystemExit):
        pass
    finally:
        if os.path.islink(link) and os.readlink(link) == os.ttyname(slave):
            os.unlink(link)
    return 0


if __name__ == "__main__":
    sys.exit(main())
