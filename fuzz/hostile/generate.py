#!/usr/bin/env python3
"""Writes the hostile-input transcripts whose inputs are too large to keep in
the repository, as folders that tests/run_case.py runs:

  generate.py OUT_DIR

Each folder gets "in", "out", "err" and "code"; the expected output is
worked out here from the language's rules, not recorded from a run. Folders
that valgrind would take hours over (one line of megabytes grows the line
buffer 16 bytes at a time) get a "no_memcheck" file.
"""
import pathlib
import random
import sys

INVALID = b"ERROR: INVALID STATEMENT\n"
ALIVE_IN = b'PRINT "alive"\n'
ALIVE_OUT = b"alive\n"
MB = 1024 * 1024


def write(out, name, data_in, data_out, data_err, memcheck=True):
    folder = out / name
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "in").write_bytes(data_in)
    (folder / "out").write_bytes(data_out)
    (folder / "err").write_bytes(data_err)
    (folder / "code").write_bytes(b"0\n")
    marker = folder / "no_memcheck"
    if memcheck:
        marker.unlink(missing_ok=True)
    else:
        marker.write_bytes(b"a line of megabytes: valgrind copies the line buffer at each 16-byte growth\n")


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    out = pathlib.Path(argv[1])

    # A 10 MB string printed back whole; a 10 MB line of an invalid byte.
    text = bytes(b"0123456789abcdefghijklmnopqrstuvwxyz !#$%&'()*+,-./:;<=>?@[]^_{|}~"[i % 66] for i in range(10 * MB))
    write(out, "hostile_10mb_line",
          b'PRINT "' + text + b'"\n' + b"@" * (10 * MB) + b"\n" + ALIVE_IN,
          text + b"\n" + ALIVE_OUT, INVALID, memcheck=False)

    # 1 MB of "(" alone, then inside PRINT: nesting that deep never parses.
    write(out, "hostile_1mb_open_parens",
          b"(" * MB + b"\n" + b"PRINT " + b"(" * MB + b"1" + b")" * MB + b"\n" + ALIVE_IN,
          ALIVE_OUT, INVALID + INVALID, memcheck=False)

    # A remark of 1 MB is stored, listed back as typed, and runs as nothing.
    remark = bytes(b"REMARK text, with (parens) and \"quotes\" 123 "[i % 44] for i in range(MB))
    write(out, "hostile_1mb_rem",
          b"10 REM " + remark + b"\n20 PRINT \"after\"\nLIST\nRUN\n" + ALIVE_IN,
          b"10 REM " + remark + b"\n20 PRINT \"after\"\nafter\n" + ALIVE_OUT, b"", memcheck=False)

    # 100,000 lines typed in a shuffled order: listed in order, then run.
    numbers = list(range(1, 100001))
    random.Random(8).shuffle(numbers)
    program = b"".join(b"%d PRINT %d\n" % (n, n * 3) for n in numbers)
    listing = b"".join(b"%d PRINT %d\n" % (n, n * 3) for n in range(1, 100001))
    printed = b"".join(b"%d\n" % (n * 3) for n in range(1, 100001))
    write(out, "hostile_100000_line_program",
          program + b"LIST\nRUN\n" + ALIVE_IN, listing + printed + ALIVE_OUT, b"")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
