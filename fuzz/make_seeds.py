#!/usr/bin/env python3
"""Writes seed corpora for the fuzz targets from the golden transcripts.

  make_seeds.py OUT_DIR

OUT_DIR/session gets each transcript's input (tests/cases/*/in) and each
example program whole; OUT_DIR/scanner and OUT_DIR/parser get their distinct
lines. A few lines of every statement kind are added, so the corpora are
useful even before there are many transcripts. Inputs over 64 KiB are
skipped: they are the hostile ones, and slow the fuzzer down without adding
coverage.
"""
import hashlib
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
MAX_INPUT = 64 * 1024

BASIC_LINES = [
    b'10 PRINT "Hello ", I, 1.5E3, -2 \\ 3, 7 MOD 2, 2 ^ 10',
    b"20 IF A <> B THEN IF A >< 3 THEN PRINT A",
    b"30 FOR I = 1 TO 10 STEP 2",
    b"40 NEXT I",
    b"50 GOSUB 100",
    b"60 GO TO 10",
    b"70 INPUT A, B, C,",
    b"80 LET X = SIN(1) + COS(2) * TAN(3) / COT(4) - ATN(5) + EXP(1) + LOG(2)",
    b"90 LET Y = ABS(-1) + SGN(-2) + SQR(4) + INT(2.5) + RND(1) + TIME",
    b"100 RETURN",
    b"110 REM remark text",
    b"120 RANDOMIZE",
    b"130 CLS",
    b"140 BEEP",
    b'150 SHELL "true"',
    b"160 END",
    b"170 STOP",
    b"LIST", b"RUN", b"RENUM", b"CLEAR", b"TRON", b"TROFF",
    b"PRINT 2147483647 + 1, -2147483648 - 1, 1 / 0, 0 \\ 0",
    b"2147483648 PRINT 1",
]

SESSIONS = [
    b"\n".join(BASIC_LINES[:17]) + b"\nRUN\n",
    b"10 INPUT A, B\n20 PRINT A + B\nRUN\n3,4\nLIST\n",
    b"10 GOSUB 10\nRUN\n",
    b"TRON\n10 FOR I = 1 TO 3\n20 PRINT I\n30 NEXT I\nRUN\nTROFF\nRENUM\nLIST\n",
]


def write(directory, data):
    directory.mkdir(parents=True, exist_ok=True)
    (directory / hashlib.sha1(data).hexdigest()).write_bytes(data)


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    out = pathlib.Path(argv[1])
    sources = sorted((ROOT / "tests" / "cases").glob("*/in")) + sorted((ROOT / "examples").glob("*.bas"))
    sessions = list(SESSIONS)
    lines = set(BASIC_LINES)
    for path in sources:
        data = path.read_bytes()
        if len(data) > MAX_INPUT:
            continue
        sessions.append(data)
        lines.update(line for line in data.split(b"\n") if line and len(line) <= 4096)
    for data in sessions:
        write(out / "session", data)
    for line in lines:
        write(out / "scanner", line)
        write(out / "parser", line)
    print(f"{len(set(sessions))} session seeds, {len(lines)} line seeds in {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
