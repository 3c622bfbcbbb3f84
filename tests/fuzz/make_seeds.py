#!/usr/bin/env python3
"""Writes the seed inputs of every fuzz target into corpus/<target>/seed-*.

The seeds are real exchanges in each target's input layout (see the comment at
the top of each *Fuzzer.cpp and ScriptedPort.h / SimInput.h). Run it again
after changing a layout; files named regress-* are found crashes and are kept.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SOH, EOT, ACK, NAK, CAN = 0x01, 0x04, 0x06, 0x15, 0x18


def reads(*parts):
    """Port script: bytes objects become reads of up to 63 bytes, ints quiet items (0..3)."""
    return pieces(*parts)


def pieces(*parts, pause=0):
    """Simulator line traffic: bytes objects as pieces after a pause kind, ints pause alone."""
    out = bytearray()
    for p in parts:
        if isinstance(p, int):
            out.append(p << 6)
            continue
        for i in range(0, len(p), 63):
            piece = p[i:i + 63]
            out.append((pause << 6) | len(piece))
            out += piece
    return bytes(out)


def block(number, data, crc):
    data = data.ljust(128, b"\x1a" if len(data) < 128 else b"\0")
    if len(data) > 128:
        data = data[:128]
    head = bytes([SOH, number & 0xFF, 0xFF - (number & 0xFF)]) + data
    if crc:
        value = 0
        for b in data:
            value ^= b << 8
            for _ in range(8):
                value = ((value << 1) ^ 0x1021) if value & 0x8000 else value << 1
                value &= 0xFFFF
        return head + struct.pack(">H", value)
    return head + bytes([sum(data) & 0xFF])


def listing(rows):
    return b"".join(b"%d,%s,%s\r\n" % (n, name, value) for n, name, value in rows)


ROWS = [(1, b"Work Mode", b"1"), (2, b"APN", b"cmnet"), (3, b"Server", b"10.0.0.1"),
        (4, b"Port", b"5000"), (5, b"Heartbeat", b"60"), (6, b"Baud", b"115200")]

SEEDS = {
    "at_reply": {
        # header: bit 0 query, bits 1-3 command, bits 4-5 limit (0,1,5,10); byte 1 size index
        "probe-ok-split": bytes([0x20, 0]) + reads(b"AT+TEST\r", b"\r\nO", b"K\r\n"),
        "probe-silent": bytes([0x20, 0]),
        "probe-password": bytes([0x20, 0]) + reads(b"AT+TEST\r\r\nNEED PWD\r\n"),
        "password-then-error": bytes([0x22, 0]) + reads(b"\r\nNEED PWD\r\n", 0, b"ERROR", 0, b"\r\n"),
        "password-and-ok": bytes([0x20, 0]) + reads(b"\r\nNEED PWD\r\n\r\nOK\r\n"),
        "error-without-line-end": bytes([0x2c, 0]) + reads(b"AT+SET=2,cmnet\r\r\nERROR", 1),
        "set-long-limit": bytes([0x3a, 0]) + reads(0, 0, 1, b"\r\nOK\r\n"),
        "query-imei": bytes([0x25, 6]) + reads(b"AT+DTU&IMEI?\r\r\n860000000000001\r\n\r\nOK\r\n"),
        "query-version": bytes([0x27, 6]) + reads(b"AT+DTU&VER?\r\r\nKV-2.9.4 build 2022-11-09\r\n", 0, b"OK\r\n"),
        "query-listing": bytes([0x29, 5]) + reads(b"AT+GETDV=0\r\r\n" + listing(ROWS) + b"OK\r\n"),
        "query-small-buffer": bytes([0x29, 3]) + reads(b"AT+GETDV=0\r\r\n" + listing(ROWS), b"OK\r\n"),
        "query-size-one": bytes([0x29, 0]) + reads(b"OK\r\n"),
        "query-zero-byte": bytes([0x25, 6]) + reads(b"\r\n86\x000\r\nOK\r\n", b"OK\r\n"),
        "send-full-buffer": bytes([0x20, 0]) + reads(b"x" * 200, b"OK\r\n"),
    },
    "config_read": {
        "device-listing": reads(b"AT+GETDV=0\r\r\n" + listing(ROWS) + b"OK\r\n"),
        "split-over-reads": reads(b"AT+GETDV=0\r\r\n1,Work", b" Mode,1\r", b"\n2,APN,cm", 0, b"net\r\nOK\r\n"),
        "malformed-lines": reads(b"0,zero,v\r\n-3,neg,v\r\nabc,n,v\r\n,n,v\r\n5,one-comma\r\n"
                                 b"61,beyond,v\r\n99999999999999,huge,v\r\n  +7x,name,a,b,,c\r\n"
                                 b"8,empty,\r\n60,last,v\r\n40,back,1\r\nOK\r\n"),
        "value-with-error": reads(b"1,Mode,ERROR\r\n2,APN,x\r\nOK\r\n"),
        "value-ending-ok": reads(b"1,Mode,OK\r\n2,APN,late\r\n"),
        "silent": b"",
        "bytes-above-ascii": reads(b"3,\xb7\xfe\xce\xf1\xc6\xf7,\xb2\xe2\xca\xd4\r\n4,k=v,a\x1ab\r\nOK\r\n"),
        "trailing-partial": reads(b"1,Mode,1\r\n2,APN,cmnet\r\nOK\r\n3,late,x"),
    },
    "config_import": {
        "exported": bytes([3]) + b"[CFG]\r\n1. Work Mode=1\r\n2. APN=cmnet\r\n3. Server=10.0.0.1\r\n",
        "spaced-keys": bytes([3]) + b"[CFG]\r\n1. Mode=1\r\n2. Server=10.0.0.2\r\n3. Port = 6000\r\n",
        "lf-and-lone-cr": bytes([8]) + b"1. Mode=9\n2. Server=a\rb\r\n3. Port=\r\r\n4. APN=x=y\nlast=\r",
        "placeholders": bytes([0]) + b"45. Item45=zz\r\n1. Item1=\r\n60. Item60=v",
        "long-line": bytes([2]) + b"2. Server=" + b"9" * 300 + b"\r\n1. Mode=2\r\n",
        "binary": bytes([5]) + b"5. User=\x00\x80\x1a\xff\r\n4. APN=\xb2\xe2\r\n",
        "empty": bytes([4]),
        "case-and-space": bytes([3]) + b"1. mode=1\r\n 2. Server=x\r\n3.  Port=1\r\n",
    },
    "xmodem_sender": {
        # header: size little-endian (0..1023), stop point; then the receiver's script
        "crc-300": struct.pack("<H", 300) + b"\0" + reads(b"C", b"\x06", b"\x06", b"\x06", b"\x06"),
        "checksum-128": struct.pack("<H", 128) + b"\0" + reads(b"\x15", b"\x06", b"\x06"),
        "nak-then-ack": struct.pack("<H", 200) + b"\0" + reads(b"\x15", b"\x15", b"\x06", b"\x06", b"\x06"),
        "silent-receiver": struct.pack("<H", 100) + b"\0",
        "cancel": struct.pack("<H", 500) + b"\0" + reads(b"C", b"\x06", b"\x18\x18"),
        "lone-can": struct.pack("<H", 130) + b"\0" + reads(b"C", b"\x18", 1, b"\x06", b"\x06", b"\x06"),
        "block-timeout": struct.pack("<H", 130) + b"\0" + reads(b"C", 3, b"\x06", b"\x06", b"\x06"),
        "end-never-acked": struct.pack("<H", 10) + b"\0" + reads(b"C", b"\x06", 2, 2, 2),
        "empty-image": struct.pack("<H", 0) + b"\0" + reads(b"\x15", b"\x06"),
        "stopped": struct.pack("<H", 1000) + b"\x02" + reads(b"C", *([b"\x06"] * 9)),
        "noise-start": struct.pack("<H", 256) + b"\0" + reads(b"xyz\r\n", b"C", b"\x06\x06", b"\x06"),
    },
    "sim_at": {
        # byte 0: bit 0 password "1234", bit 1 echo
        "configure": bytes([2]) + pieces(b"AT+TEST\r", b"AT+DTU&IMEI?\r", b"AT+DTU&VER?\r",
                                         b"AT+GETDV=0\r", b"AT+SET=2,internet\r", b"AT+SET=4,8080\r",
                                         b"AT+SET=99,x\r", b"AT+RESTORE\r", b"AT+QUIT\r", pause=1),
        "login": bytes([3]) + pieces(b"AT+TEST\r", b"AT+SET=2,x\r", b"AT+TESTPWD=0000\r",
                                     b"AT+TESTPWD=1234\r", b"AT+GETDV=0\r", b"AT+SET=2,y\r", pause=1),
        "late-probe": bytes([0]) + pieces(*([2] * 10), b"AT+TEST\r", pause=1),
        "power-cycle": bytes([0]) + pieces(b"AT+TEST\r", pause=1) + bytes([0xC0]) + pieces(b"AT+TEST\r", pause=1),
        "long-line": bytes([2]) + pieces(b"AT+SET=2," + b"a" * 1100 + b"\r", b"AT+TEST\r", pause=0),
        "bad-values": bytes([0]) + pieces(b"AT+TEST\r", b"AT+SET=4,99999999\r", b"AT+SET=3,1.2.3\r",
                                          b"AT+SET=,\r", b"AT+SET=-1,a\r", b"AT+SET=2,\xb2\xe2\r", pause=1),
    },
    "sim_xmodem": {
        # bytes 0-1: bit 0 'C' start, faults; then the sender's pieces
        "checksum-two-blocks": bytes([0, 0]) + pieces(block(1, bytes(range(128)), False),
                                                      block(2, b"tail", False), bytes([EOT]), pause=1),
        "crc-two-blocks": bytes([1, 0]) + pieces(2, block(1, bytes(range(128)), True),
                                                 block(2, b"tail", True), bytes([EOT]), pause=1),
        "repeat-and-skip": bytes([0, 0]) + pieces(block(1, b"a" * 128, False), block(1, b"a" * 128, False),
                                                  block(3, b"c" * 128, False), bytes([EOT]), pause=1),
        "faults": bytes([0x2b, 0x80]) + pieces(*[block(i, bytes([i]) * 128, False) for i in range(1, 5)],
                                               bytes([EOT]), pause=1),
        "garbled-checksum": bytes([0, 0]) + pieces(block(1, b"x" * 128, False)[:-1] + b"\0", bytes([EOT]), pause=1),
        "cancel": bytes([0, 0]) + pieces(block(1, b"z" * 128, False), bytes([CAN, CAN]), pause=1),
        "slow-bytes": bytes([0, 0]) + pieces(block(1, b"s" * 128, False)[:40], 2, block(1, b"s" * 128, False),
                                             bytes([EOT]), pause=1),
    },
}


def truth(size, crc, *choices):
    """xmodem_truth: the image size, the variant, then the receiver's choice bytes."""
    return bytes([size & 0xFF, (size >> 8) | (0x80 if crc else 0)]) + bytes(choices)


# The receiver's choices (ReceiverPort.cpp): a new block takes a kind (0 ACK,
# 1 NAK, 2 ACK lost, 3 cancel) and then an answer byte; an EOT takes 0 (ACK) or
# 1 (NAK) and then an answer byte. Answer bytes: bits 0-1 the delay (0, 3, 30,
# 300 ms), bits 2-3 a stray byte (none, ACK, NAK, noise), bits 4-5 when it comes
# (before the answer, or 0, 50, 200 ms after it).
STRAY_ACK, STRAY_NAK = 0x04, 0x08
AFTER_0, AFTER_50, AFTER_200 = 0x10, 0x20, 0x30
SEEDS["xmodem_truth"] = {
    "truthful": truth(300, True, 0, 0, 0, 0, 0, 0, 0, 0),
    "double-ack-then-eot-nak": truth(100, False, 0, STRAY_ACK | AFTER_0, 1, 0, 0, 0),
    "late-double-ack-then-nak": truth(300, False, 0, STRAY_ACK | AFTER_200, 1, 3, 0, 0, 0, 0, 0, 0),
    "lost-ack-of-last-block": truth(256, True, 0, 0, 2, 0, 0, 0, 0),
    "nak-behind-eot-ack": truth(10, True, 0, 0, 0, STRAY_NAK | AFTER_50, 0, 0),
    "ack-ahead-of-nak": truth(200, False, 0, 0, 1, STRAY_ACK, 0, 0, 0, 0),
    "cancel": truth(200, True, 0, 0, 3),
    "empty-image": truth(0, False, 1, STRAY_ACK | AFTER_200, 0, 0),
}

# dialogue_truth (DialoguePort.h): the device in bytes 0-2, then one byte per
# command: 5-7 in bits 0-2 a line of its own before the echo (OK, ERROR, a
# status or stale line), 0x08 an OK after the answer, 0x10 a late answer,
# 0x20 a byte per answer line after it (6: sent twice, 7: lost).
ECHO8, NOECHO8, SHUFFLED = 0x0E, 0x0F, 0x20
SEEDS["dialogue_truth"] = {
    "honest": bytes([ECHO8, 0, 0]),
    "honest-without-echo": bytes([NOECHO8, 0, 0]),
    "ok-before-the-listing": bytes([ECHO8, 0, 0, 0, 0, 0, 5]),
    "ok-before-the-listing-without-echo": bytes([NOECHO8, 0, 0, 0, 0, 0, 5]),
    "ok-before-every-command": bytes([ECHO8, 0, 0] + [5] * 40),
    "gap-at-item-7": bytes([ECHO8, 0x40, 0]),
    "shuffled-gaps-and-twice": bytes([ECHO8 | SHUFFLED, 0x12, 0, 0, 0, 0, 0x20, 0, 6, 0, 6, 0, 0, 0,
                                      0, 0, 0, 6]),
    "stale-lines": bytes([ECHO8, 0, 0] + [7, 1, 7, 2, 7, 3, 7, 0, 7, 4] * 4),
    "lost-imei-line": bytes([ECHO8, 0, 0, 0, 0x20, 0, 7, 0]),
    "late-answers-and-ok-after": bytes([ECHO8, 0, 0] + [0x18] * 30),
    "refused-set": bytes([ECHO8, 0, 3]),
    "error-before-restore": bytes([ECHO8, 0, 0] + [0] * 11 + [6, 6, 6]),
}


def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            if name.startswith("seed-"):
                os.remove(os.path.join(folder, name))
        for name, data in seeds.items():
            with open(os.path.join(folder, "seed-" + name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
