#!/usr/bin/env python3
"""Runs one golden transcript: tests/cases/NAME/ holds

  in     bytes fed to standard input (absent: empty input)
  args   optional, one command-line argument per line (paths relative to the folder)
  out    the exact bytes expected on standard output
  err    optional, the exact bytes expected on standard error (absent: not checked)
  code   the expected exit status (absent: 0)
  memory_limit_mb
         optional: the address-space limit of the run, so that a regression
         that grows without bound fails the case instead of taking the
         machine (not applied under a wrapper or a sanitizer, whose shadow
         memory needs far more address space; OMBRIX_SANITIZED=1 says so)
  file_size_limit_kb
         optional: the largest file the run may write (RLIMIT_FSIZE), with
         SIGXFSZ ignored, so that a write past it fails with EFBIG
  scratch
         optional, empty: the run writes files, so it runs in a fresh
         temporary folder that holds a copy of the case's other files (all
         but the ones named here)

The interpreter runs with the case folder (or its scratch copy) as working
directory and "ombrix" as its argv[0], so texts that name the program are
stable. The environment variable OMBRIX names the binary, for a SHELL command
that runs a second ombrix. Usage:

  run_case.py [--wrapper "valgrind ..."] BINARY CASE_DIR
"""
import difflib
import os
import resource
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile

TIMEOUT_SECONDS = int(os.environ.get("OMBRIX_CASE_TIMEOUT", "120"))
HARNESS_FILES = {"in", "args", "out", "err", "code", "memory_limit_mb", "file_size_limit_kb", "scratch"}


def read(path, default=None):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return default


def show(data):
    return data.decode("utf-8", errors="backslashreplace").splitlines(keepends=True)


def compare(label, expected, actual):
    if expected == actual:
        return True
    print(f"--- {label} differs (expected {len(expected)} bytes, got {len(actual)} bytes)")
    diff = difflib.unified_diff(show(expected), show(actual), "expected", "actual", n=2)
    lines = list(diff)
    sys.stdout.writelines(line if line.endswith("\n") else line + "\\ no newline\n" for line in lines[:200])
    if len(lines) > 200:
        print(f"... {len(lines) - 200} more diff lines")
    if not lines:
        print(f"expected: {expected[:300]!r}\nactual:   {actual[:300]!r}")
    return False


def main(argv):
    wrapper = []
    if len(argv) > 1 and argv[1] == "--wrapper":
        wrapper = shlex.split(argv[2])
        argv = [argv[0]] + argv[3:]
    if len(argv) != 3:
        print(__doc__)
        return 2
    binary, case = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    stdin = read(os.path.join(case, "in"), b"")
    args_text = read(os.path.join(case, "args"))
    args = args_text.decode().splitlines() if args_text is not None else []
    expected_out = read(os.path.join(case, "out"), b"")
    expected_err = read(os.path.join(case, "err"))
    code_text = read(os.path.join(case, "code"))
    expected_code = int(code_text.decode().strip()) if code_text else 0
    limits = []
    limit_text = read(os.path.join(case, "memory_limit_mb"))
    if limit_text and not wrapper and os.environ.get("OMBRIX_SANITIZED") != "1":
        limit_bytes = int(limit_text.decode().strip()) * 1024 * 1024
        limits.append((resource.RLIMIT_AS, limit_bytes))
    size_text = read(os.path.join(case, "file_size_limit_kb"))
    if size_text:
        limits.append((resource.RLIMIT_FSIZE, int(size_text.decode().strip()) * 1024))

    def limit_child():
        for which, value in limits:
            resource.setrlimit(which, (value, value))
        if size_text:
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)

    env = dict(os.environ, OMBRIX=binary)
    with tempfile.TemporaryDirectory(prefix="ombrix-case-") as scratch:
        folder = case
        if os.path.exists(os.path.join(case, "scratch")):
            folder = scratch
            for name in os.listdir(case):
                source = os.path.join(case, name)
                if name in HARNESS_FILES:
                    continue
                if os.path.isdir(source) and not os.path.islink(source):
                    shutil.copytree(source, os.path.join(scratch, name), symlinks=True)
                else:
                    shutil.copy2(source, os.path.join(scratch, name), follow_symlinks=False)
        command = wrapper + ["ombrix"] + args
        try:
            if wrapper:
                # The wrapper execs the binary itself; argv[0] stays the binary's path.
                command = wrapper + [binary] + args
                result = subprocess.run(command, input=stdin, capture_output=True, cwd=folder, env=env,
                                        timeout=TIMEOUT_SECONDS, preexec_fn=limit_child)
            else:
                result = subprocess.run(command, executable=binary, input=stdin, capture_output=True, cwd=folder,
                                        env=env, timeout=TIMEOUT_SECONDS, preexec_fn=limit_child)
        except subprocess.TimeoutExpired:
            print(f"FAIL {os.path.basename(case)}: no exit within {TIMEOUT_SECONDS} s")
            return 1

    ok = compare("stdout", expected_out, result.stdout)
    if expected_err is not None and not wrapper:
        ok = compare("stderr", expected_err, result.stderr) and ok
    if result.returncode != expected_code:
        print(f"--- exit status: expected {expected_code}, got {result.returncode}")
        if result.stderr:
            sys.stdout.write(result.stderr.decode("utf-8", errors="backslashreplace")[-2000:])
        ok = False
    print(("PASS " if ok else "FAIL ") + os.path.basename(case))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
