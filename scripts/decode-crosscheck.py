#!/usr/bin/env python3
"""Cross-checks kvdecode against sigrok-cli, Debian's independent protocol decoder (developer tool,
not part of CI).

Generates the captures of tests/support/bus_cases.cpp with bus_traffic_gen, decodes each with
kvdecode and with sigrok-cli, turns both results into the same token sequence (UART bytes, I2C
"A50W"/"A50R" address tokens and data bytes with "!" for a missing acknowledge, SPI words, I2S
"L:"/"R:" samples) and compares them. Where the two differ because our decoder defines the result
differently, the difference is named per case. sigrok's sequences are written to tests/data/decode
(with --update) so that the decoder tests compare against them without sigrok-cli.

usage: scripts/decode-crosscheck.py [--bin build/native/bin] [--update]
"""
import argparse
import difflib
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "tests", "data", "decode")

I2C_START, I2C_NAK, I2C_ADDRESS = 0x800, 0x100, 0x1000
I2S_RIGHT, I2S_FIRST = 0x20000000, 0x40000000
SPI_MARKERS, SPI_INCOMPLETE = 0x7000000, 0x4000000


def ours_tokens(protocol, items):
    """kvdecode's items as tokens. Must match tokensOf() in tests/display/decode_crosscheck_test.cpp."""
    out = []
    if protocol == "uart":
        return ["%02X" % v for _, v in items[:-1]]  # the last item only closes the last byte
    for _, v in items:
        if protocol == "i2c":
            if v == I2C_START:
                continue
            if v & I2C_ADDRESS:
                t = "A%02X%s" % ((v & 0xFF) >> 1, "R" if v & 1 else "W")
            else:
                t = "%02X" % (v & 0xFF)
            out.append(t + ("!" if v & I2C_NAK else ""))
        elif protocol == "spi":
            if v & SPI_INCOMPLETE:
                out.append("?")
            elif not v & SPI_MARKERS:
                out.append("%X" % (v & 0xFFFF))
        elif protocol == "i2s":
            if v & I2S_FIRST:
                continue
            out.append("%s:%06X" % ("R" if v & I2S_RIGHT else "L", v & 0xFFFFFF))
    return out


def sigrok_tokens(protocol, text):
    out = []
    for line in text.splitlines():
        _, _, a = line.partition(": ")
        if protocol in ("uart", "spi"):
            out.append("%X" % int(a, 16) if protocol == "spi" else a.upper())
        elif protocol == "i2c":
            if a.startswith("Address write: ") or a.startswith("Address read: "):
                out.append("A%02X%s" % (int(a.rsplit(" ", 1)[1], 16), "W" if "write" in a else "R"))
            elif a.startswith("Data write: ") or a.startswith("Data read: "):
                out.append(a.rsplit(" ", 1)[1].upper())
            elif a == "NACK" and out:
                out[-1] += "!"
        elif protocol == "i2s":
            if a.startswith("Left channel: ") or a.startswith("Right channel: "):
                out.append("%s:%06X" % (a[0], int(a.rsplit(" ", 1)[1], 16)))
    return out


SIGROK_ANNOTATIONS = {"uart": "uart=rx-data", "spi": "spi=mosi-data", "i2c": None, "i2s": None}


def explain(protocol, ours, theirs):
    """The differences our decoder's definitions account for, or None when unexplained."""
    if protocol != "i2s":
        return None
    notes = []
    if theirs[1:] == ours or (theirs and theirs[1:] != ours and len(theirs) == len(ours) + 1):
        notes.append("first word: the first word-select change only starts collection (a marker without data)")
        theirs = theirs[1:]
    if theirs != ours:
        # sigrok reports the whole slot of word-select clocks; we keep the label's word length.
        width = len(ours[0]) - 2 if ours else 6
        cut = [t[:2] + "%06X" % (int(t[2:], 16) >> (4 * (len(t) - 2 - width))) if len(t) - 2 > width else t
               for t in theirs]
        if cut != ours:
            return None
        notes.append("sigrok reports the 32-clock slot, the word length given keeps its first 24 bits")
    return "; ".join(notes)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", default=os.path.join(ROOT, "build", "native", "bin"))
    ap.add_argument("--update", action="store_true", help="write sigrok's sequences to tests/data/decode")
    args = ap.parse_args()
    gen = os.path.join(args.bin, "bus_traffic_gen")
    kvdecode = os.path.join(args.bin, "kvdecode")
    cases = [l.split("\t") for l in subprocess.check_output([gen, "list"], text=True).splitlines()]
    rows, bad = [], 0
    with tempfile.TemporaryDirectory() as tmp:
        for name, rate, kv_args, decoder in cases:
            protocol = kv_args.split()[0]
            path = os.path.join(tmp, name + ".bin")
            subprocess.check_call([gen, "write", name, path])
            r = subprocess.run([kvdecode] + kv_args.split() + [path], capture_output=True, text=True)
            items = [(int(p), int(v, 16)) for p, v in (l.split() for l in r.stdout.splitlines())]
            ours = ours_tokens(protocol, items) if r.returncode == 0 else []
            # Binary input names its channels 0..7.
            dec = decoder
            for ch in range(8):
                dec = dec.replace("=D%d" % ch, "=%d" % ch)
            cmd = ["sigrok-cli", "-I", "binary:numchannels=8:samplerate=" + rate, "-i", path, "-P", dec]
            if SIGROK_ANNOTATIONS[protocol]:
                cmd += ["-A", SIGROK_ANNOTATIONS[protocol]]
            theirs = sigrok_tokens(protocol, subprocess.check_output(cmd, text=True))
            if ours == theirs:
                diff, note = 0, ""
            else:
                note = explain(protocol, ours, theirs)
                blocks = difflib.SequenceMatcher(a=ours, b=theirs, autojunk=False).get_opcodes()
                diff = sum(max(i2 - i1, j2 - j1) for tag, i1, i2, j1, j2 in blocks if tag != "equal")
                if note is None:
                    bad += 1
                    note = "UNEXPLAINED: ours %s / sigrok %s" % (" ".join(ours), " ".join(theirs))
            rows.append((name, max(len(ours), len(theirs)), diff, note))
            if args.update:
                os.makedirs(DATA, exist_ok=True)
                with open(os.path.join(DATA, name + ".txt"), "w") as f:
                    f.write("\n".join(theirs) + "\n")
    print("| case | items compared | differences | note |")
    print("|---|---|---|---|")
    for name, n, d, note in rows:
        print("| %s | %d | %d | %s |" % (name, n, d, note))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
