#!/usr/bin/env python3
"""Writes a recording of COUNT command records to OUT, for the decoder's benchmark: log entries of
several kinds (texts, enumerations, big-endian media values, flags, a module list) with a clock
that advances 5 hundredths per record, and a control record now and then. Deterministic."""
import struct
import sys


def log_entry(function_id, time, payload):
    return struct.pack("<HHBBHI", 10 + len(payload), 0, 8, 0, function_id, time & 0xFFFFFF) + payload


def text(value):
    return value.encode("latin-1") + b"\0"


PAYLOADS = [
    (0x418, bytes([1, 2]) + text("type=1 dyn=0 ferries=1") + text("A8 Stuttgart") + struct.pack("<i", 2)),
    (0x41B, bytes([23, 0, 0, 1, 2])),
    (0x759, bytes([2, 1])),
    (0x703, text("navigation") + text("mapviewer")),
    (0x426, bytes([1] + [0] * 11 + [0xA9])),
    (0x758, bytes([0]) + text("M\xfcnchen Hbf")),
    (0x41B, bytes([21, 2]) + bytes([0, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3]) * 2),
]
STOP_FLUSH = struct.pack("<HHBBH", 6, 0, 13, 0, 0)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_recording.py COUNT OUT")
    count = int(sys.argv[1])
    records = []
    with open(sys.argv[2], "wb") as out:
        for i in range(count):
            if i % 1000 == 999:
                records.append(STOP_FLUSH)
            else:
                function_id, payload = PAYLOADS[i % len(PAYLOADS)]
                records.append(log_entry(function_id, 5 * i, payload))
            if len(records) == 65536:
                out.write(b"".join(records))
                records = []
        out.write(b"".join(records))


if __name__ == "__main__":
    main()
