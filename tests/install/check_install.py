#!/usr/bin/env python3
"""Installs a build tree into a temporary prefix and checks what a user gets:
bin/ombrix runs and answers -v with the project's version; the man page is at
share/man/man1/ombrix.1.gz and unpacks to docs/ombrix.1; share/doc/ombrix
holds the README, the language reference, the examples (each runs), the
changelog and the licence as the copyright file; and nothing meant only for
the .deb is installed. Usage:

  check_install.py CMAKE BUILD_DIR SOURCE_DIR VERSION
"""
import filecmp
import gzip
import os
import subprocess
import sys
import tempfile


def check_documents(prefix, source, binary):
    """The documentation folder: the same files as the source tree's."""
    ok = True
    docs = os.path.join(prefix, "share", "doc", "ombrix")
    for installed, original in [("README.md", "README.md"), ("language.md", "docs/language.md")]:
        path = os.path.join(docs, installed)
        if not os.path.isfile(path) or not filecmp.cmp(path, os.path.join(source, original), shallow=False):
            print(f"FAIL {path} missing or not equal to {original}")
            ok = False
    examples = sorted(name for name in os.listdir(os.path.join(source, "examples")))
    installed_examples = sorted(os.listdir(os.path.join(docs, "examples"))) if os.path.isdir(
        os.path.join(docs, "examples")) else []
    if installed_examples != examples:
        print(f"FAIL examples installed {installed_examples}, expected {examples}")
        ok = False
    elif os.access(binary, os.X_OK):
        hello = subprocess.run([binary, os.path.join(docs, "examples", "hello.bas")], capture_output=True, timeout=30)
        if hello.returncode != 0 or not hello.stdout:
            print(f"FAIL the installed hello.bas: status {hello.returncode}, output {hello.stdout!r}")
            ok = False
    copyright_path = os.path.join(docs, "copyright")
    with open(os.path.join(source, "LICENSE")) as f:
        licence = f.read()
    permission = licence[licence.index("Permission is hereby"):].split()
    try:
        with open(copyright_path) as f:
            text = f.read()
        # Debian's format indents the licence and marks its blank lines with "."
        body = [word for word in text[text.index("License: Expat"):].split()[2:] if word != "."]
        if "Copyright: 2026 the ombrix developers" not in text or body != permission:
            print(f"FAIL {copyright_path} does not carry the licence of LICENSE")
            ok = False
    except (OSError, ValueError) as error:
        print(f"FAIL {copyright_path}: {error}")
        ok = False
    try:
        with gzip.open(os.path.join(docs, "changelog.gz"), "rt") as f:
            first = f.readline()
        if not first.startswith("ombrix ("):
            print(f"FAIL changelog.gz starts with {first!r}")
            ok = False
    except OSError as error:
        print(f"FAIL changelog.gz: {error}")
        ok = False
    return ok


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
        page = os.path.join(prefix, "share", "man", "man1", "ombrix.1.gz")
        if not os.path.isfile(page):
            print(f"FAIL no man page at {page}")
            ok = False
        else:
            with gzip.open(page, "rb") as installed, open(os.path.join(source, "docs", "ombrix.1"), "rb") as original:
                if installed.read() != original.read():
                    print("FAIL the installed man page differs from docs/ombrix.1")
                    ok = False
        ok = check_documents(prefix, source, binary) and ok
        overrides = os.path.join(prefix, "share", "lintian")
        if os.path.exists(overrides):
            print(f"FAIL {overrides} installed: the lintian override belongs to the .deb only")
            ok = False
    print("PASS install" if ok else "FAIL install")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
