#!/usr/bin/env python3
"""Benchmarks ombrix against bwbasic, yabasic and brandy, Lua 5.4 and LuaJIT's
interpreter (luajit -joff), and a native C floor.

Builds ombrix in Release (build-bench/), runs ombrix and every installed peer
on each benchmark program several times, interleaved, checks that all the
checksums agree, and prints CPU-time medians (user + sys of the child
process), ratios measured in the same run, statements per CPU second for the
tight loop and peak memory (max RSS). Then counts machine instructions with
callgrind, a figure no noise moves: per executed statement on scaled-down
copies of the run-time programs, and per line on two 20,000-line loads. Then
runs the allocation counter and the line look-up micro-benchmark, and prints
every target as met or missed.

    python3 bench/run.py                  # everything, 5 runs each
    python3 bench/run.py --runs 3         # fewer runs
    python3 bench/run.py --install-peers  # apt-get install the peers first
    python3 bench/run.py --profile        # also the top functions of each callgrind run
    python3 bench/run.py --no-callgrind   # skip the instruction counts

The machine this runs on may be shared and noisy: compare ratios from one
run, never absolute times across runs.
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH = os.path.join(ROOT, "bench")
PROGRAMS = os.path.join(BENCH, "programs")
BUILD = os.path.join(ROOT, "build-bench")
WORK = os.path.join(BUILD, "bench-work")

PEERS = ["brandy", "yabasic", "bwbasic", "lua5.4", "luajit"]
BASIC_PEERS = ["brandy", "yabasic", "bwbasic"]
# Debian packages that --install-peers installs.
PACKAGES = ["brandy", "yabasic", "bwbasic", "lua5.4", "luajit"]
EXT = {"ombrix": "bas", "bwbasic": "bas", "yabasic": "yab", "brandy": "bbc", "lua5.4": "lua", "luajit": "lua"}
# The folder under bench/programs that holds an implementation's translations.
DIALECT = {"lua5.4": "lua", "luajit": "lua"}
# LuaJIT runs with its compiler off: its interpreter is the one to measure.
LABEL = {"luajit": "luajit -joff"}
MiB = 1024 * 1024


def label(impl):
    return LABEL.get(impl, impl)


def dialect_of(impl):
    return DIALECT.get(impl, impl)


def log(text):
    print(text, file=sys.stderr, flush=True)


# ---------------------------------------------------------------------------
# Reference models: the checksum each program must print, and how many
# statements it executes (ombrix's count; the translations run the same
# lines). The models scale a peer's time when it ran a smaller instance.


def model_loop(outer):
    # REM, LET S, FOR I; per pass FOR J, 100 x (LET, NEXT J), NEXT I; PRINT, END.
    return [outer * 5050], 202 * outer + 5


def model_real(outer):
    import math
    k = 0
    for i in range(1, outer + 1):
        s = 0.0
        for j in range(1, 21):
            x = (i + j) / 7.0
            y = math.sqrt(x)
            z = (math.sin(y) + 1.5) / y
            s = s + z * 10.0
        k += int(s * 100.0)
    # REM, LET K, FOR I; per pass LET S, FOR J, 20 x (4 LET, NEXT J), LET K, NEXT I; PRINT, END.
    return [k], 104 * outer + 5


def count_real(outer):
    return 104 * outer + 5


def model_gosub(count):
    c = 0
    for i in range(1, count + 1):
        r = i % 7
        c += -1 if r < 3 else r
    # REM, LET C, FOR; per pass GOSUB, LET R, IF, LET C, RETURN, NEXT; PRINT, END.
    return [c], 6 * count + 5


def model_primes(limit):
    smallest = list(range(limit + 1))
    i = 2
    while i * i <= limit:
        if smallest[i] == i:
            for m in range(i * i, limit + 1, i):
                if smallest[m] == m:
                    smallest[m] = i
        i += 1
    count = 0
    statements = 3  # REM, LET C, FOR
    for n in range(2, limit + 1):
        p = smallest[n]
        if p == n:  # prime: D runs 2 .. isqrt(n), then the test D*D > N passes
            root = int(n ** 0.5)
            while root * root > n:
                root -= 1
            while (root + 1) * (root + 1) <= n:
                root += 1
            trials = root - 1
            statements += 1 + 4 * trials + 1 + 2  # LET D, trials x (IF, IF, LET, GOTO), IF, LET C, NEXT
            count += 1
        else:  # D runs 2 .. p - 1, then N MOD p = 0
            statements += 1 + 4 * (p - 2) + 2 + 1  # LET D, trials, IF, IF, NEXT
    return [count], statements + 2  # PRINT, END


SCALE_RE = re.compile(r"(?i)\bfor\s+\w%?\s*=\s*\d+\s*(?:\bto\b|,)\s*(\d+)")


def program_text(name, impl):
    with open(os.path.join(PROGRAMS, dialect_of(impl), f"{name}.{EXT[impl]}")) as f:
        return f.read()


def scale_of(name, impl):
    """The size parameter written in the program file (the first FOR limit)."""
    return int(SCALE_RE.search(program_text(name, impl)).group(1))


def scaled_text(name, impl, scale):
    """The program with its first FOR limit replaced by `scale`."""
    text = program_text(name, impl)
    m = SCALE_RE.search(text)
    return text[:m.start(1)] + str(scale) + text[m.end(1):]


# ---------------------------------------------------------------------------
# The generated programs: LET and IF ... THEN GOTO lines with forward jumps.


def generate(lines, dialect, for_stdin=False):
    """A program of `lines` numbered lines (1 .. lines) in the dialect."""
    seed = 12345

    def rand(n):
        nonlocal seed
        seed = (seed * 1103515245 + 12345) % 2147483648
        return (seed >> 8) % n

    bbc = dialect == "brandy"
    yab = dialect == "yabasic"
    v = (lambda name: name + "%") if bbc else ((lambda name: name.lower()) if yab else (lambda name: name))
    let = "" if (bbc or yab) else "LET "
    out = []
    first_print = lines - 2

    def line(number, text):
        out.append(f"{number} {text}")

    if bbc:
        line(1, "*SPOOLON /dev/stdout")
    else:
        line(1, ("rem" if yab else "REM") + " generated: LET and IF ... THEN GOTO lines, forward jumps")
    for number, name in ((2, "A"), (3, "B"), (4, "C")):
        line(number, f"{let}{v(name)} = 0")
    for number in range(5, first_print):
        kind = rand(4)
        a, b, c = v("A"), v("B"), v("C")
        if kind == 0:
            step, modulus = 1 + rand(99), 100 + rand(900)
            expr = f"mod({a} + {step}, {modulus})" if yab else f"({a} + {step}) MOD {modulus}"
            line(number, f"{let}{a} = {expr}")
        elif kind == 1:
            expr = f"mod({b} + {a}, 9973)" if yab else f"({b} + {a}) MOD 9973"
            line(number, f"{let}{b} = {expr}")
        elif kind == 2:
            target = min(number + 2 + rand(3), first_print)
            limit = rand(1000)
            if yab:
                line(number, f"if ({a} > {limit}) goto {target}")
            else:
                line(number, f"IF {a} > {limit} THEN GOTO {target}")
        else:
            expr = f"mod({c} * 3 + {b}, 10007)" if yab else f"({c} * 3 + {b}) MOD 10007"
            line(number, f"{let}{c} = {expr}")
    for number, name in zip(range(first_print, lines + 1), "ABC"):
        if bbc:
            line(number, f'PRINT "X";{v(name)}')
        elif yab:
            line(number, f'print "X", {v(name)}')
        elif dialect == "bwbasic":
            line(number, f'PRINT "X"; {name}')
        else:
            line(number, f'PRINT "X", {name}')
    if bbc:
        line(lines + 1, "*SPOOL")
        line(lines + 2, "END")
    if for_stdin:
        out.append("RUN")
    return "\n".join(out) + "\n"


def model_generated(lines):
    """Runs the generated program in Python: its checksums A, B, C."""
    text = generate(lines, "ombrix")
    program = {}
    for row in text.splitlines():
        number, statement = row.split(" ", 1)
        program[int(number)] = statement
    regs = {"A": 0, "B": 0, "C": 0}
    printed = []
    number = 1
    while number <= lines:
        s = program[number]
        number += 1
        m = re.fullmatch(r"LET A = \(A \+ (\d+)\) MOD (\d+)", s)
        if m:
            regs["A"] = (regs["A"] + int(m.group(1))) % int(m.group(2))
            continue
        if s == "LET B = (B + A) MOD 9973":
            regs["B"] = (regs["B"] + regs["A"]) % 9973
            continue
        if s == "LET C = (C * 3 + B) MOD 10007":
            regs["C"] = (regs["C"] * 3 + regs["B"]) % 10007
            continue
        m = re.fullmatch(r"IF A > (\d+) THEN GOTO (\d+)", s)
        if m:
            if regs["A"] > int(m.group(1)):
                number = int(m.group(2))
            continue
        m = re.fullmatch(r'PRINT "X", (\w)', s)
        if m:
            printed.append(regs[m.group(1)])
    return printed


LET_LINES = 20000


def let_program(lines):
    """`lines` lines: LET A = 0, then LET A = A + 1 up to the last, which prints A."""
    out = ["1 LET A = 0"] + [f"{n} LET A = A + 1" for n in range(2, lines)] + [f'{lines} PRINT "X", A']
    return "\n".join(out) + "\n"


# ---------------------------------------------------------------------------
# Running and measuring


def measure(cmd, stdin_path=None, env=None):
    """Runs cmd; returns (cpu seconds user+sys, max RSS bytes, stdout text).

    The small launcher native/measure.c forks and waits for the command: a
    child forked from this Python process would start its max RSS from
    Python's."""
    with tempfile.TemporaryFile() as out, tempfile.NamedTemporaryFile("r") as usage:
        stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
        try:
            subprocess.run([os.path.join(WORK, "measure"), usage.name] + cmd, stdin=stdin, stdout=out,
                           stderr=subprocess.DEVNULL, env=env, cwd=WORK, check=True)
        finally:
            if stdin_path:
                stdin.close()
        cpu, maxrss_kib, _status = usage.read().split()
        out.seek(0)
        text = out.read().decode("latin-1")
    return float(cpu), int(maxrss_kib) * 1024, text


CHECK_RE = re.compile(r"X\s*(-?[0-9]+(?:\.[0-9]*)?(?:[eE][-+]?[0-9]+)?)")


def checksums(text):
    return [float(x) for x in CHECK_RE.findall(text)]


def agree(got, want, rel):
    if len(got) != len(want):
        return False
    return all(abs(g - w) <= rel * max(1.0, abs(w)) for g, w in zip(got, want))


def command_for(impl, path):
    """The command that runs the program at `path` (None: read standard input)."""
    if impl == "ombrix":
        return [os.path.join(BUILD, "ombrix")] + ([path] if path else [])
    if impl == "brandy":
        return ["brandy", "-quit", path]
    if impl == "yabasic":
        return ["yabasic", path]
    if impl == "bwbasic":
        return ["bwbasic"] + ([path] if path else [])
    if impl == "lua5.4":
        return ["lua5.4", path]
    if impl == "luajit":
        return ["luajit", "-joff", path]
    return [impl]  # a native binary


class Runner:
    def __init__(self, args):
        self.args = args
        self.results = {}  # (bench, impl) -> dict
        self.failures = []
        self.env_brandy = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")

    def command(self, impl, path):
        return command_for(impl, path)

    def bench(self, name, entries, expected, rel=0.0):
        """entries: list of (impl, cmd, stdin, runs, factor, model_checksum).

        factor scales a measured time up to the full-size program (1 for the
        same program); model_checksum overrides `expected` for a scaled one.
        The runs are interleaved across implementations."""
        log(f"== {name}")
        times = {e[0]: [] for e in entries}
        rss = {e[0]: 0 for e in entries}
        outputs = {}
        most = max(e[3] for e in entries)
        for r in range(most):
            for impl, cmd, stdin, runs, factor, own in entries:
                if r >= runs:
                    continue
                env = self.env_brandy if impl == "brandy" else None
                cpu, peak, text = measure(cmd, stdin, env)
                times[impl].append(cpu)
                rss[impl] = max(rss[impl], peak)
                outputs[impl] = text
        for impl, cmd, stdin, runs, factor, own in entries:
            want = own if own is not None else expected
            got = checksums(outputs[impl])
            ok = want is None or agree(got, want, rel)
            if not ok:
                self.failures.append(f"{name}: {impl} printed {got}, expected {want}")
            median = statistics.median(times[impl])
            self.results[(name, impl)] = {
                "cpu": median * factor, "measured": median, "factor": factor, "runs": len(times[impl]),
                "rss": rss[impl], "ok": ok, "got": got,
            }
            extra = f" x{factor:.1f} = {median * factor:.4f} s (extrapolated)" if factor != 1 else ""
            log(f"   {label(impl):12s} median {median:.4f} s{extra} over {len(times[impl])} runs, "
                f"max RSS {rss[impl] / MiB:.1f} MiB, checksum {'ok' if ok else 'MISMATCH'} {got}")

    def get(self, name, impl):
        return self.results.get((name, impl))


def build(args):
    log("== building ombrix in Release (build-bench/)")
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release",
                    "-DOMBRIX_TESTS=OFF", "-DOMBRIX_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "-j2"], check=True, stdout=subprocess.DEVNULL)
    os.makedirs(WORK, exist_ok=True)
    cc = shutil.which("cc") or shutil.which("gcc")
    for name in ("loop", "empty", "measure"):
        subprocess.run([cc, "-O2", "-o", os.path.join(WORK, name if name == "measure" else f"native_{name}"),
                        os.path.join(BENCH, "native", f"{name}.c")], check=True)


def install_peers():
    log("== installing the peers with apt-get")
    subprocess.run(["apt-get", "update", "-qq"], check=True)
    subprocess.run(["apt-get", "install", "-y", "-qq"] + PACKAGES, check=True,
                   env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


def fmt_time(t):
    return f"{t:.3f}" if t >= 0.1 else f"{t * 1000:.2f}ms"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=5, help="runs per program (default 5)")
    parser.add_argument("--slow-runs", type=int, default=3,
                        help="runs for bwbasic and for yabasic's 20,000-line load (default 3)")
    parser.add_argument("--startup-runs", type=int, default=31, help="runs of the start-up program (default 31)")
    parser.add_argument("--install-peers", action="store_true", help="apt-get install the peers first")
    parser.add_argument("--no-build", action="store_true", help="use build-bench/ as it is")
    parser.add_argument("--peers", default=",".join(PEERS), help="comma-separated peers to run if installed")
    parser.add_argument("--profile", action="store_true",
                        help="also print the top functions of each callgrind run of ombrix")
    parser.add_argument("--no-callgrind", action="store_true", help="skip the instruction counts")
    args = parser.parse_args()

    if args.install_peers:
        install_peers()
    if not args.no_build:
        build(args)
    os.makedirs(WORK, exist_ok=True)
    peers = [p for p in args.peers.split(",") if p and shutil.which(p)]
    missing = [p for p in args.peers.split(",") if p and p not in peers]
    if missing:
        log(f"not installed, skipped: {', '.join(missing)} (--install-peers installs them)")
    runner = Runner(args)
    n, slow = args.runs, args.slow_runs

    def prog(impl, name):
        return os.path.join(PROGRAMS, dialect_of(impl), f"{name}.{EXT[impl]}")

    # Run-time programs. bwbasic runs a scaled-down copy; its time is scaled
    # up by the ratio of executed statements.
    models = {"loop": model_loop, "real": model_real, "gosub": model_gosub, "primes": model_primes}
    counts = {}
    for name, model in models.items():
        full = scale_of(name, "ombrix")
        if name == "real":
            expected, statements = None, count_real(full)  # checked by agreement below
        else:
            expected, statements = model(full)
        counts[name] = statements
        entries = [("ombrix", runner.command("ombrix", prog("ombrix", name)), None, n, 1.0, None)]
        if name == "loop":
            entries.append(("native C", [os.path.join(WORK, "native_loop")], None, n, 1.0, None))
        for peer in peers:
            scale = scale_of(name, peer)
            factor, own = 1.0, None
            if scale != full:
                own, small = model(scale)
                factor = statements / small
            runs = slow if peer == "bwbasic" else n
            entries.append((peer, runner.command(peer, prog(peer, name)), None, runs, factor, own))
        runner.bench(name, entries, expected, rel=1e-5 if name == "real" else 0.0)
        if name == "real":  # the full-size checksums must agree with one another
            sums = [r["got"] for (b, i), r in runner.results.items() if b == "real" and r["factor"] == 1.0]
            if sums and not all(agree(s, sums[0], 1e-5) for s in sums):
                runner.failures.append(f"real: checksums disagree: {sums}")

    # Generated programs: load (read and parse) and run once. The Lua
    # interpreters are references for run time only.
    basic_peers = [p for p in peers if p in BASIC_PEERS]
    big = {}
    for lines in (20000, 40000, 80000):
        big[lines] = model_generated(lines)
        for dialect in ("ombrix",) + (tuple(basic_peers) if lines == 20000 else ()):
            with open(os.path.join(WORK, f"gen{lines}.{dialect}.{EXT[dialect]}"), "w") as f:
                f.write(generate(lines, dialect))
    with open(os.path.join(WORK, "gen20000.stdin.bas"), "w") as f:
        f.write(generate(20000, "ombrix", for_stdin=True))
    with open(os.path.join(WORK, "gen20000.stdin.bwbasic"), "w") as f:
        f.write(generate(20000, "bwbasic", for_stdin=True))

    entries = [("ombrix", runner.command("ombrix", os.path.join(WORK, "gen20000.ombrix.bas")), None, n, 1.0, None)]
    for peer in basic_peers:
        runs = slow if peer in ("bwbasic", "yabasic") else n
        path = os.path.join(WORK, f"gen20000.{peer}.{EXT[peer]}")
        stdin = os.devnull if peer == "bwbasic" else None
        entries.append((peer, runner.command(peer, path), stdin, runs, 1.0, None))
    runner.bench("load20000", entries, big[20000])

    entries = [("ombrix", runner.command("ombrix", None), os.path.join(WORK, "gen20000.stdin.bas"), n, 1.0, None)]
    if "bwbasic" in peers:
        entries.append(("bwbasic", ["bwbasic"], os.path.join(WORK, "gen20000.stdin.bwbasic"), slow, 1.0, None))
    runner.bench("stdin20000", entries, big[20000])

    for lines in (40000, 80000):
        path = os.path.join(WORK, f"gen{lines}.ombrix.bas")
        runner.bench(f"load{lines}", [("ombrix", runner.command("ombrix", path), None, n, 1.0, None)], big[lines])

    # 20,000 lines of the simplest statement, and a program of no lines: the
    # load's cost per line, and the memory a stored line takes.
    with open(os.path.join(WORK, "let20000.bas"), "w") as f:
        f.write(let_program(LET_LINES))
    with open(os.path.join(WORK, "empty.bas"), "w") as f:
        pass
    runner.bench("let20000", [("ombrix", runner.command("ombrix", os.path.join(WORK, "let20000.bas")), None, n,
                               1.0, None)], [float(LET_LINES - 2)])
    runner.bench("empty", [("ombrix", runner.command("ombrix", os.path.join(WORK, "empty.bas")), None, n, 1.0,
                            None)], None)

    # Start-up.
    s = args.startup_runs
    entries = [("ombrix", runner.command("ombrix", prog("ombrix", "startup")), None, s, 1.0, None),
               ("native C", [os.path.join(WORK, "native_empty")], None, s, 1.0, None)]
    for peer in peers:
        stdin = os.devnull if peer == "bwbasic" else None
        entries.append((peer, runner.command(peer, prog(peer, "startup")), stdin, s, 1.0, None))
    runner.bench("startup", entries, None)
    for peer in ["ombrix"] + peers:
        r = runner.get("startup", peer)
        if r and not agree(r["got"], [1.0], 0.0):
            runner.failures.append(f"startup: {peer} printed {r['got']}")

    counted = None if args.no_callgrind else count_instructions(peers, args.profile)
    report(runner, peers, counts, counted)
    allocations = micro()
    targets(runner, peers, counted, allocations)
    for text in PROFILES:
        print()
        print(text)
    if runner.failures:
        print("\nCHECKSUM FAILURES:")
        for failure in runner.failures:
            print("  " + failure)
        return 1
    print("\nAll checksums agree.")
    return 0


# ---------------------------------------------------------------------------
# The report


def report(runner, peers, counts, counted):
    R = runner.get
    print()
    print("CPU time (user+sys), median of the runs; ratio = peer time / ombrix time (above 1: ombrix faster).")
    print("Peak memory = max RSS. '*' = bwbasic ran a scaled-down copy; time scaled up by executed statements.")
    impls = ["ombrix"] + peers
    header = (f"{'program':12s}" + "".join(f"{label(i):>13s}" for i in impls)
              + "".join(f"{'vs ' + label(p):>16s}" for p in peers))
    print()
    print(header)
    print("-" * len(header))
    for name in ("loop", "real", "gosub", "primes", "load20000", "stdin20000", "load40000", "load80000",
                 "let20000", "startup"):
        base = R(name, "ombrix")
        if not base:
            continue
        row = f"{name:12s}"
        for impl in impls:
            r = R(name, impl)
            cell = (fmt_time(r["cpu"]) + ("*" if r["factor"] != 1 else "")) if r else "-"
            row += f"{cell:>13s}"
        for peer in peers:
            r = R(name, peer)
            cell = f"{r['cpu'] / base['cpu']:.2f}x" if r else "-"
            row += f"{cell:>16s}"
        print(row)
    print()
    print(f"{'peak memory':12s}" + "".join(f"{label(i):>13s}" for i in impls))
    for name in ("loop", "real", "gosub", "primes", "load20000", "stdin20000", "load80000", "let20000", "startup"):
        if not R(name, "ombrix"):
            continue
        row = f"{name:12s}"
        for impl in impls:
            r = R(name, impl)
            cell = (f"{r['rss'] / MiB:.1f}MiB" + ("*" if r["factor"] != 1 else "")) if r else "-"
            row += f"{cell:>13s}"
        print(row)

    loop = R("loop", "ombrix")
    native = R("loop", "native C")
    statements = 60_600_000
    print()
    print("Tight loop, statements per CPU second (60.6 million statements):")
    for impl in ["ombrix"] + peers + ["native C"]:
        r = R("loop", impl)
        if r:
            print(f"  {label(impl):12s} {statements / r['cpu'] / 1e6:8.1f} million/s"
                  + (" (extrapolated from the scaled-down loop)" if r["factor"] != 1 else ""))
    if native:
        print(f"  ombrix takes {loop['cpu'] / native['cpu']:.1f}x the native C loop's time")

    if counted:
        lua = [p for p in ("luajit", "lua5.4") if (("loop", p) in counted)]
        print()
        print("Machine instructions (callgrind; an empty program's subtracted), per executed statement on")
        print("scaled-down copies of the programs (statements counted by TRON), and per line of a load:")
        print(f"{'program':12s}{'ombrix':>13s}" + "".join(f"{label(p):>13s}" for p in lua))
        for name in CALLGRIND_SCALE:
            print(f"{name:12s}{counted[(name, 'ombrix')]:13.1f}" + "".join(f"{counted[(name, p)]:13.1f}" for p in lua))
        for name in ("let20000", "load20000"):
            print(f"{name:12s}{counted[(name, 'ombrix')]:13,.0f}")



def micro():
    """Prints the micro-benchmarks; returns the allocations per executed statement, or None."""
    per_statement = None
    tool = os.path.join(BUILD, "bench", "alloc_count")
    if os.path.exists(tool):
        print()
        print("Heap allocations in the tight loop (bench/alloc_count):")
        text = subprocess.run([tool], capture_output=True, text=True, check=True).stdout
        for row in text.splitlines():
            if not row.startswith("X"):
                print("  " + row)
        m = re.search(r"allocations per executed statement: .* = (-?[0-9.]+)", text)
        if m:
            per_statement = float(m.group(1))
    tool = os.path.join(BUILD, "bench", "line_lookup_bench")
    if os.path.exists(tool):
        print()
        print("Finding a line among 1,000 and 100,000 stored lines (bench/line_lookup_bench):")
        text = subprocess.run([tool, "--benchmark_min_time=0.2"], capture_output=True, text=True,
                              check=True).stdout
        for row in text.splitlines():
            if row.startswith("BM_") or row.startswith("Benchmark"):
                print("  " + row)
    return per_statement


# ---------------------------------------------------------------------------
# Instruction counts (callgrind): noise-free figures of the same work


# The scaled-down size of each run-time program for callgrind (the first FOR limit).
CALLGRIND_SCALE = {"loop": 3000, "gosub": 100000, "primes": 20000, "real": 2000}


PROFILES = []  # the top functions of each profiled run, printed at the end


def callgrind(cmd, name, profile):
    """Runs cmd under callgrind; returns the instructions it executed."""
    out = os.path.join(WORK, f"callgrind.{name}.out")
    subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"] + cmd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=WORK)
    with open(out) as f:
        total = next(int(row.split()[1]) for row in f if row.startswith("totals:") or row.startswith("summary:"))
    if profile:
        text = subprocess.run(["callgrind_annotate", "--threshold=99", out], capture_output=True, text=True,
                              check=True).stdout
        rows = [r for r in text.splitlines() if re.match(r"\s*[0-9,]+ \(", r) and "PROGRAM TOTALS" not in r]
        lines = [f"callgrind profile, ombrix on {name}: {total:,} instructions; top functions:"]
        lines += ["  " + re.sub(r"\s+\[.*\]$", "", row.strip())[:150] for row in rows[:8]]
        PROFILES.append("\n".join(lines))
    return total


def traced_statements(path):
    """The statements ombrix executes running the program: the lines TRON traces."""
    with open(path) as f:
        text = "TRON\n" + f.read() + "RUN\n"
    out = subprocess.run([os.path.join(BUILD, "ombrix")], input=text.encode(), capture_output=True, check=True).stdout
    return sum(1 for row in out.split(b"\n") if row.startswith(b"TR> "))


def count_instructions(peers, profile):
    """Instructions per executed statement (ombrix, and the Lua interpreters on
    the same work) and per loaded line; {(what, impl): figure}."""
    if not shutil.which("valgrind"):
        log("valgrind is not installed: no instruction counts")
        return None
    log("== callgrind: instructions per statement and per loaded line")
    counted = {}
    ombrix = os.path.join(BUILD, "ombrix")
    lua = [p for p in ("luajit", "lua5.4") if p in peers]
    empty = {"ombrix": callgrind([ombrix, "empty.bas"], "empty", False)}
    with open(os.path.join(WORK, "empty.lua"), "w"):
        pass
    for impl in lua:
        empty[impl] = callgrind(command_for(impl, "empty.lua"), f"empty.{impl}", False)
    for name, scale in CALLGRIND_SCALE.items():
        path = os.path.join(WORK, f"{name}_small.bas")
        with open(path, "w") as f:
            f.write(scaled_text(name, "ombrix", scale))
        statements = traced_statements(path)
        total = callgrind([ombrix, path], f"{name}_small", profile)
        counted[(name, "ombrix")] = (total - empty["ombrix"]) / statements
        row = f"   {name:7s} {statements:>9,} statements: ombrix {counted[(name, 'ombrix')]:6.1f}"
        for impl in lua:
            lua_path = os.path.join(WORK, f"{name}_small.lua")
            with open(lua_path, "w") as f:
                f.write(scaled_text(name, impl, scale))
            total = callgrind(command_for(impl, lua_path), f"{name}_small.{impl}", False)
            counted[(name, impl)] = (total - empty[impl]) / statements
            row += f", {label(impl)} {counted[(name, impl)]:6.1f}"
        log(row + " instructions per statement")
    for name, path in (("let20000", "let20000.bas"), ("load20000", "gen20000.ombrix.bas")):
        total = callgrind([ombrix, path], name, profile)
        counted[(name, "ombrix")] = (total - empty["ombrix"]) / 20000
        log(f"   {name}: {counted[(name, 'ombrix')]:,.0f} instructions per line")
    return counted


# ---------------------------------------------------------------------------
# The targets


def targets(runner, peers, counted, allocations):
    R = runner.get
    print()
    print("Targets (ratios from this run):")

    def target(text, ok, detail):
        print(f"  [{'met' if ok else 'MISSED'}] {text}: {detail}")

    def faster(name, peer, need, text=None):
        """ombrix's time at most 1/need of the peer's."""
        b, p = R(name, "ombrix"), R(name, peer)
        if b and p:
            ratio = p["cpu"] / b["cpu"]
            target(text or f"{name}: at least {need:g}x as fast as {label(peer)}", ratio >= need,
                   f"ombrix {fmt_time(b['cpu'])}, {label(peer)} {fmt_time(p['cpu'])}: {ratio:.2f}x")

    for name in ("loop", "gosub", "primes"):
        faster(name, "luajit", 1.0, f"{name}: at least as fast as luajit -joff")
    faster("real", "luajit", 1 / 1.25, "real: within 1.25x of luajit -joff")
    for name in ("loop", "real", "gosub", "primes"):
        faster(name, "lua5.4", 1.0, f"{name}: faster than lua5.4")
    for name in ("loop", "gosub", "primes"):
        faster(name, "brandy", 5.0)
    faster("real", "brandy", 3.0)

    if counted:
        for name, most in (("loop", 45), ("gosub", 60), ("primes", 60)):
            figure = counted[(name, "ombrix")]
            ref = counted.get((name, "luajit"))
            target(f"{name}: at most {most} instructions per executed statement", figure <= most,
                   f"{figure:.1f}" + (f" (luajit -joff {ref:.1f})" if ref else ""))
        for name, text in (("let20000", "20,000 lines of LET A = A + 1"), ("load20000", "the generated load program")):
            figure = counted[(name, "ombrix")]
            target(f"{text}: at most 2,000 instructions per line (start-up subtracted)", figure <= 2000,
                   f"{figure:,.0f}")
    empty = R("empty", "ombrix")
    for name, text in (("let20000", "20,000 lines of LET A = A + 1"), ("load20000", "the generated load program")):
        r = R(name, "ombrix")
        if r and empty:
            per_line = (r["rss"] - empty["rss"]) / 20000
            target(f"{text}: at most 300 bytes of peak memory per stored line", per_line <= 300,
                   f"{per_line:.0f} bytes ({r['rss'] / MiB:.1f} MiB, empty program {empty['rss'] / MiB:.1f} MiB)")

    b, p = R("startup", "ombrix"), R("startup", "native C")
    if b and p:
        target("startup: at most 2x native C's empty program", b["cpu"] <= 2 * p["cpu"],
               f"ombrix {fmt_time(b['cpu'])}, native {fmt_time(p['cpu'])}, ratio {b['cpu'] / max(p['cpu'], 1e-9):.2f}")
    if allocations is not None:
        target("no heap allocation per executed statement", allocations <= 0, f"{allocations:.6f} per statement")
    small = [(name, R(name, "ombrix")["rss"]) for name in ("loop", "real", "gosub", "primes", "startup")
             if R(name, "ombrix")]
    worst = max(small, key=lambda x: x[1])
    target("peak memory at most 4 MiB on the small programs", worst[1] <= 4 * MiB,
           f"largest {worst[1] / MiB:.2f} MiB ({worst[0]})")

    print()
    print("Earlier targets (ratios from this run):")
    faster("loop", "brandy", 2.0)
    for name in ("real", "gosub", "primes"):
        for peer in ("brandy", "yabasic"):
            faster(name, peer, 1.5)
    b, p = R("load20000", "ombrix"), R("load20000", "brandy")
    if b and p:
        target("load20000: at most half of brandy's time", b["cpu"] <= p["cpu"] / 2,
               f"ombrix {fmt_time(b['cpu'])}, brandy {fmt_time(p['cpu'])}, ratio {b['cpu'] / p['cpu']:.2f}")
    b, p = R("stdin20000", "ombrix"), R("stdin20000", "bwbasic")
    if b and p:
        target("stdin20000: at most a tenth of bwbasic's time", b["cpu"] <= p["cpu"] / 10,
               f"ombrix {fmt_time(b['cpu'])}, bwbasic {fmt_time(p['cpu'])}, ratio {b['cpu'] / p['cpu']:.3f}")
    a, c = R("load20000", "ombrix"), R("load80000", "ombrix")
    m = R("load40000", "ombrix")
    if a and c:
        target("load80000: at most 5x load20000", c["cpu"] <= 5 * a["cpu"],
               f"20,000 {fmt_time(a['cpu'])}, 40,000 {fmt_time(m['cpu'])}, 80,000 {fmt_time(c['cpu'])}: "
               f"{m['cpu'] / a['cpu']:.2f}x and {c['cpu'] / a['cpu']:.2f}x")
    b, p = R("load20000", "ombrix"), R("load20000", "brandy")
    if b and p:
        target("peak memory on load20000 at most brandy's", b["rss"] <= p["rss"],
               f"ombrix {b['rss'] / MiB:.1f} MiB, brandy {p['rss'] / MiB:.1f} MiB")


if __name__ == "__main__":
    sys.exit(main())
