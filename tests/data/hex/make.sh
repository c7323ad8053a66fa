#!/bin/sh
# Makes the Intel HEX test files with srecord's srec_cat from generated
# pseudo-random binaries. Every accepted image carries the signature
# 00 EF 7E F0 at 0x20. Run from anywhere; writes next to this script.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# bytes COUNT SEED: repeatable pseudo-random bytes on stdout
bytes() {
    python3 -c '
import sys
count, x = int(sys.argv[1], 0), int(sys.argv[2])
out = bytearray()
for _ in range(count):
    x = (x * 1103515245 + 12345) & 0x7FFFFFFF
    out.append(x >> 16 & 0xFF)
sys.stdout.buffer.write(out)' "$@"
}

printf '\000\357\176\360' > "$tmp/sig.bin"
bytes 0xFC00 1 > "$tmp/a.bin"
bytes 0x1000 2 > "$tmp/b.bin"

# a.bin with the signature laid over 0x20-0x23
srec_cat "$tmp/a.bin" -binary -exclude 0x20 0x24 "$tmp/sig.bin" -binary -offset 0x20 \
    -o "$tmp/signed.bin" -binary

# The whole image the instrument takes, 0x0000-0xFBFF, 16 bytes a record.
srec_cat "$tmp/signed.bin" -binary -o full.hex -intel -output_block_size=16

# 0x0000-0x00FF, 16 bytes a record.
srec_cat "$tmp/signed.bin" -binary -crop 0 0x100 -o small.hex -intel -output_block_size=16

# The same in lower case with CR LF line ends.
tr 'A-F' 'a-f' < small.hex | sed 's/$/\r/' > lower.hex

# Longest records, a hole, and a second region above 64 KiB that the
# instrument's image does not hold (behind a type-04 record with 0001).
srec_cat "$tmp/signed.bin" -binary -crop 0 0x200 \
    "$tmp/b.bin" -binary -crop 0 0x400 -offset 0x800 \
    "$tmp/b.bin" -binary -offset 0x10000 \
    -o wide.hex -intel -output_block_size=255

# Segmented addressing (type-02 records) only: no type-04 record, so
# nothing of it is taken.
srec_cat "$tmp/signed.bin" -binary -crop 0 0x100 \
    "$tmp/b.bin" -binary -crop 0 0x100 -offset 0x10000 \
    -o segmented.hex -intel -address-length=3 -output_block_size=16

# Behind a small image, 14 configuration bytes at 0x300000 (a type-04
# record with 0030, as PIC18 files carry them): passed over, with a warning.
bytes 14 3 > "$tmp/config.bin"
srec_cat "$tmp/signed.bin" -binary -crop 0 0x100 \
    "$tmp/config.bin" -binary -offset 0x300000 \
    -o above64k.hex -intel -output_block_size=16

# Two files joined with cat: the second, at 0x100-0x13F, follows the
# first's end-of-file record and is loaded all the same, with a warning.
srec_cat "$tmp/b.bin" -binary -crop 0 0x40 -offset 0x100 \
    -o "$tmp/tail.hex" -intel -output_block_size=16
cat small.hex "$tmp/tail.hex" > joined.hex

# Records appended by hand before the end-of-file record: they overwrite
# 0x30-0x3F with other bytes, with a warning.
srec_cat "$tmp/b.bin" -binary -crop 0 0x10 -offset 0x30 \
    -o "$tmp/patch.hex" -intel -output_block_size=16
{ grep -v '^:00000001FF' small.hex; cat "$tmp/patch.hex"; } > patched.hex
