#!/usr/bin/env python3
"""The prompts need a real terminal: "> " before each input line and "? "
before an INPUT reply go to standard error when standard input is a
terminal, and never when it is a pipe. Usage: prompt_test.py BINARY"""
import os
import pty
import select
import subprocess
import sys
import time


def run_on_terminal(binary, typed_lines):
    """Runs the binary with a pseudo-terminal as standard input; standard
    output and standard error are pipes. Types each line, then end of input."""
    master, slave = pty.openpty()
    # No echo, so what is typed does not matter to the checks.
    import termios
    attrs = termios.tcgetattr(slave)
    attrs[3] &= ~termios.ECHO
    termios.tcsetattr(slave, termios.TCSANOW, attrs)
    proc = subprocess.Popen([binary], stdin=slave, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    os.close(slave)
    for line in typed_lines:
        os.write(master, line + b"\n")
        time.sleep(0.05)
    os.write(master, b"\x04")  # end of input at the start of a line
    try:
        out, err = proc.communicate(timeout=30)
    finally:
        os.close(master)
    return proc.returncode, out, err


def check(label, condition, detail):
    if not condition:
        print(f"FAIL {label}: {detail}")
        return False
    return True


def main():
    binary = os.path.abspath(sys.argv[1])
    ok = True

    code, out, err = run_on_terminal(binary, [b"PRINT 1+1", b"10 INPUT A", b"20 PRINT A*2", b"RUN", b"21"])
    ok &= check("terminal exit status", code == 0, code)
    ok &= check("terminal output", out == b"2\n42\n", out)
    # Four typed lines, the reply, and the read that meets the end of input:
    # "> " five times, "? " once for the reply (the line "21").
    ok &= check("terminal prompts", err == b"> > > > ? > ", err)

    piped = subprocess.run([binary], input=b"PRINT 1+1\n10 INPUT A\nRUN\n5\n", capture_output=True, timeout=30)
    ok &= check("pipe output", piped.stdout == b"2\n", piped.stdout)
    ok &= check("pipe has no prompt", piped.stderr == b"", piped.stderr)

    print("PASS terminal prompts" if ok else "FAIL terminal prompts")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
