#!/usr/bin/env python3
"""Installs a build tree into a temporary prefix and checks what a user gets:
bin/ombrix runs and answers -v with the project's version, and the man page
is at share/man/man1/ombrix.1, equal to docs/ombrix.1. Usage:

  check_install.py CMAKE BUILD_DIR SOURCE_DIR VERSION
"""
import os
import subprocess
import sys
import tempfile


def main(argv):
    if len(argv) != 5:
        print(__doc__)
        return 2
    cmake, build, source, version = argv[1:]
    ok = True
    with tempfile.TemporaryDirectory(prefix="ombrix-install-") as prefix:
        result = subprocess.run([cmake, "--install", build, "--prefix", prefix],
                                capture_output=True, text=True, timeout=300)
        if result.returncode != 0:
            print(f"FAIL cmake --install exited with {result.returncode}\n{result.stdout}{result.stderr}")
            return 1
        binary = os.path.join(prefix, "bin", "ombrix")
        if not os.access(binary, os.X_OK):
            print(f"FAIL no executable {binary}")
            ok = False
        else:
            run = subprocess.run([binary, "-v"], capture_output=True, timeout=30)
            first = run.stdout.split(b"\n", 1)[0]
            if run.returncode != 0 or first != f"ombrix {version}".encode():
                print(f"FAIL {binary} -v: status {run.returncode}, first line {first!r}")
                ok = False
            run = subprocess.run([binary], input=b"PRINT (2*3)*7\n", capture_output=True, timeout=30)
            if run.stdout != b"42\n":
                print(f"FAIL installed binary printed {run.stdout!r} for PRINT (2*3)*7")
                ok = False
        page = os.path.join(prefix, "share", "man", "man1", "ombrix.1")
        if not os.path.isfile(page):
            print(f"FAIL no man page at {page}")
            ok = False
        else:
            with open(page, "rb") as installed, open(os.path.join(source, "docs", "ombrix.1"), "rb") as original:
                if installed.read() != original.read():
                    print("FAIL the installed man page differs from docs/ombrix.1")
                    ok = False
    print("PASS install" if ok else "FAIL install")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
