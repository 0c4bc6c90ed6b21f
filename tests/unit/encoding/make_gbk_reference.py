#!/usr/bin/env python3
"""Writes the reference for the differential test of code page 936.

Every single byte from 0x01 to 0xFF, and every two-byte sequence with a lead
byte from 0x81 to 0xFE and a trail byte from 0x40 to 0xFE, is converted to
UTF-8 by the system's iconv program (iconv -f CP936 -t UTF-8), outside the
program under test. One line per sequence: its bytes in hexadecimal, a blank,
then the UTF-8 bytes in hexadecimal, or "-" when iconv rejects the sequence.

To keep the number of iconv runs small, a whole row of sequences is converted
at once, one sequence per line; a row that iconv rejects is split in halves
until every rejected sequence stands alone. Single bytes are converted one
by one, each as the whole input, since a lead byte would take the line break
behind it as its trail. A sequence that converts within
a batch converts the same way alone: its lead byte always takes the following
byte as its trail, so sequences cannot run into each other.
"""
import argparse
import os
import subprocess
import sys


def run_iconv(iconv, data):
    """iconv's output for the data, or None when it rejects any of it."""
    env = dict(os.environ, LC_ALL="C")
    run = subprocess.run([iconv, "-f", "CP936", "-t", "UTF-8"], input=data,
                         capture_output=True, env=env, check=False)
    return run.stdout if run.returncode == 0 else None


def convert(iconv, sequences):
    """The UTF-8 forms of the sequences, or None when iconv rejects the batch."""
    output = run_iconv(iconv, b"".join(s + b"\n" for s in sequences))
    if output is None:
        return None
    lines = output.split(b"\n")
    if lines[-1] != b"" or len(lines) - 1 != len(sequences):
        return None
    return lines[:-1]


def resolve(iconv, sequences, results):
    converted = convert(iconv, sequences)
    if converted is not None:
        results.update(zip(sequences, converted))
    elif len(sequences) == 1:
        results[sequences[0]] = None
    else:
        half = len(sequences) // 2
        resolve(iconv, sequences[:half], results)
        resolve(iconv, sequences[half:], results)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--iconv", default="iconv", help="the iconv program")
    parser.add_argument("--output", required=True, help="the reference file to write")
    args = parser.parse_args()

    # The converter must know the code page at all, or every line would read "-".
    if convert(args.iconv, [b"\xb0\xa1"]) != ["\u554a".encode("utf-8")]:
        sys.exit("make_gbk_reference: %s cannot convert from CP936" % args.iconv)

    results = {}
    for byte in range(0x01, 0x100):
        results[bytes([byte])] = run_iconv(args.iconv, bytes([byte]))
    for lead in range(0x81, 0xFF):
        resolve(args.iconv, [bytes([lead, trail]) for trail in range(0x40, 0xFF)], results)

    temporary = args.output + ".tmp"
    with open(temporary, "w", encoding="ascii", newline="\n") as out:
        for sequence in sorted(results, key=lambda s: (len(s), s)):
            utf8 = results[sequence]
            out.write("%s %s\n" % (sequence.hex().upper(), "-" if utf8 is None else utf8.hex().upper()))
    os.replace(temporary, args.output)


if __name__ == "__main__":
    main()
