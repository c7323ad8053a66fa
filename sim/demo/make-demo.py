#!/usr/bin/env python3
"""Writes demo.hex, the sample firmware that scripts/run.sh flashes into
the simulated instrument: 16 KiB from address 0, the signature 00 EF 7E F0
at 0x20-0x23, a readable banner at 0x40 and repeatable filler bytes, as
Intel HEX with 16 data bytes a record. Run from anywhere."""

from pathlib import Path

SIZE = 0x4000
SIGNATURE_ADDRESS = 0x20
SIGNATURE = bytes([0x00, 0xEF, 0x7E, 0xF0])
BANNER_ADDRESS = 0x40
BANNER = b"ZirbelWerk Demo-Firmware V1.00\0"
RECORD_BYTES = 16


def image():
    data = bytearray()
    x = 2024
    for _ in range(SIZE):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        data.append(x >> 16 & 0xFF)
    data[SIGNATURE_ADDRESS:SIGNATURE_ADDRESS + len(SIGNATURE)] = SIGNATURE
    data[BANNER_ADDRESS:BANNER_ADDRESS + len(BANNER)] = BANNER
    return bytes(data)


def record(address, kind, payload):
    body = bytes([len(payload), address >> 8, address & 0xFF, kind]) + payload
    checksum = -sum(body) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper()


def hex_lines(data):
    yield record(0, 0x04, b"\0\0")  # the loader takes data only below 64 KiB
    for address in range(0, len(data), RECORD_BYTES):
        yield record(address, 0x00, data[address:address + RECORD_BYTES])
    yield record(0, 0x01, b"")


def main():
    target = Path(__file__).resolve().with_name("demo.hex")
    target.write_text("\n".join(hex_lines(image())) + "\n", encoding="ascii")


if __name__ == "__main__":
    main()
