#!/usr/bin/env python3
"""Checks every example of docs/language.md against the interpreter.

An example is an HTML comment marker followed by fenced blocks:

    <!-- example: NAME [args="-v"] [exit=N] [stderr=any] -->
    ```basic                 lines fed to standard input (may be absent)
    ```basic file=prog.bas   a file written into the example's folder first
    ```output                the exact standard output
    ```output escapes        the same, with \\033, \\a and \\n written as escapes
    ```stderr                the exact standard error (absent: it must be empty)

Each block's text ends with a line end unless the block is empty. The
interpreter runs in a fresh temporary folder with "ombrix" as argv[0].
Every ```basic block in the file must belong to an example, so nothing in the
reference escapes the check. Usage:

  check_language_examples.py BINARY LANGUAGE_MD
"""
import os
import re
import shlex
import subprocess
import sys
import tempfile

MARKER = re.compile(r"^<!-- example: (\S+)(.*?)-->\s*$")
FENCE = re.compile(r"^```(\S*)(.*)$")


def parse_blocks(lines, start):
    """Reads the fenced blocks that follow a marker; returns (blocks, next index)."""
    blocks = []
    i = start
    while i < len(lines):
        if not lines[i].strip():
            i += 1
            continue
        m = FENCE.match(lines[i])
        if not m or not m.group(1):
            break
        lang, rest = m.group(1), m.group(2).strip()
        body = []
        i += 1
        while i < len(lines) and lines[i].rstrip("\n") != "```":
            body.append(lines[i])
            i += 1
        if i == len(lines):
            raise SystemExit(f"unterminated block after line {start}")
        i += 1
        blocks.append((lang, rest, "".join(body)))
    return blocks, i


def parse_examples(text):
    lines = text.splitlines(keepends=True)
    examples, covered, names = [], set(), set()
    i = 0
    while i < len(lines):
        m = MARKER.match(lines[i])
        if not m:
            i += 1
            continue
        name, attrs = m.group(1), dict(
            (k, v) for k, v in (a.split("=", 1) for a in shlex.split(m.group(2))))
        if name in names:
            raise SystemExit(f"duplicate example name {name}")
        names.add(name)
        first = i + 1
        blocks, i = parse_blocks(lines, first)
        for j in range(first, i):
            covered.add(j)
        examples.append((name, first + 1, attrs, blocks))
    stray = [n + 1 for n, line in enumerate(lines)
             if line.startswith("```basic") and n not in covered]
    return examples, stray


def unescape(text):
    return text.encode("utf-8").decode("unicode_escape").encode("latin-1")


def run_example(binary, name, attrs, blocks):
    stdin, files, out, err = b"", {}, None, None
    for lang, rest, body in blocks:
        data = body.encode()
        if lang == "basic" and rest.startswith("file="):
            files[rest[5:]] = data
        elif lang == "basic":
            stdin = data
        elif lang == "output":
            out = unescape(body.replace("\n", "")) if rest == "escapes" else data
        elif lang == "stderr":
            err = data
        else:
            return [f"unknown block kind {lang!r}"]
    if out is None:
        return ["no ```output block"]
    problems = []
    with tempfile.TemporaryDirectory(prefix="ombrix-doc-") as folder:
        for fname, data in files.items():
            with open(os.path.join(folder, fname), "wb") as f:
                f.write(data)
        args = shlex.split(attrs.get("args", ""))
        try:
            result = subprocess.run(["ombrix"] + args, executable=binary, input=stdin,
                                    capture_output=True, cwd=folder, timeout=60)
        except subprocess.TimeoutExpired:
            return ["no exit within 60 s"]
    if result.stdout != out:
        problems.append(f"stdout\n  expected: {out!r}\n  actual:   {result.stdout!r}")
    if attrs.get("stderr") != "any":
        if result.stderr != (err or b""):
            problems.append(f"stderr\n  expected: {(err or b'')!r}\n  actual:   {result.stderr!r}")
    expected_code = int(attrs.get("exit", "0"))
    if result.returncode != expected_code:
        problems.append(f"exit status: expected {expected_code}, got {result.returncode}")
    return problems


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    binary, doc = os.path.abspath(argv[1]), argv[2]
    with open(doc, encoding="utf-8") as f:
        examples, stray = parse_examples(f.read())
    failed = 0
    for line in stray:
        print(f"FAIL {doc}:{line}: a ```basic block outside any example")
        failed += 1
    if not examples:
        print(f"FAIL {doc}: no examples found")
        return 1
    for name, line, attrs, blocks in examples:
        problems = run_example(binary, name, attrs, blocks)
        if problems:
            failed += 1
            print(f"FAIL {name} ({doc}:{line})")
            for p in problems:
                print("  " + p)
    print(f"{len(examples) - failed if failed <= len(examples) else 0} of {len(examples)} examples pass"
          + (f"; {failed} failure(s)" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
