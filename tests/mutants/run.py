#!/usr/bin/env python3
"""Puts the deliberate faults of faults.txt into the program one at a time, builds, runs the
Linux test suite and records which tests fail for each: a test that is the only one to fail
for some fault earns its place, a test that never is can be folded into another.

    python3 tests/mutants/run.py                          # every fault, into build-mutants/mutants.tsv
    python3 tests/mutants/run.py --only ID ... --output x.tsv
    python3 tests/mutants/run.py --resume --output x.tsv  # the faults x.tsv has no line for yet
    python3 tests/mutants/run.py --summary tests/mutants/baseline.tsv
    python3 tests/mutants/run.py --compare tests/mutants/baseline.tsv x.tsv
    python3 tests/mutants/run.py --check                  # the list only: each original text found once
    python3 tests/mutants/run.py --first earlier.tsv --output x.tsv  # quicker, after changing the tests

With --first, a fault that one of the tests which caught it in earlier.tsv still catches is
recorded with those tests only (only their programs are built): good for --compare, not for
--summary's count of what each test alone catches.

Each fault's file is given back its own bytes after the fault's run, whatever happens (an
error, Ctrl-C, SIGTERM); the script checks that it was. Only the tests whose executables the
fault rebuilt are run (for a test script, the built programs it is given): the others are the
program as the suite last passed it.
"""

import argparse
import fcntl
import json
import os
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
FAULTS = HERE / "faults.txt"

CAUGHT, SURVIVED, NOT_BUILT, NOT_FOUND = "caught", "survived", "does-not-build", "not-applied"


@dataclass
class Fault:
    id: str
    path: str
    description: str
    original: str
    replacement: str
    line: int


def parse_faults(text):
    """The faults of the list, in order; raises ValueError naming the line of a malformed one."""
    faults, current = [], None
    old, new = [], []

    def close():
        if current is None:
            return
        if not old:
            raise ValueError(f"line {current.line}: fault {current.id} has no '-' line")
        current.original = "\n".join(old)
        current.replacement = "\n".join(new)
        faults.append(current)

    for number, line in enumerate(text.splitlines(), 1):
        if line.startswith("##"):
            continue
        if line.startswith("@@"):
            close()
            parts = line[2:].split()
            if len(parts) != 2:
                raise ValueError(f"line {number}: expected '@@ id path'")
            current = Fault(parts[0], parts[1], "", "", "", number)
            old, new = [], []
        elif current is None:
            if line.strip():
                raise ValueError(f"line {number}: text before the first fault")
        elif line.startswith("# ") and not old and not new:
            current.description = line[2:].strip()
        elif line.startswith("-") and not new:
            old.append(line[1:])
        elif line.startswith("+"):
            new.append(line[1:])
        elif not line.strip():
            continue
        else:
            raise ValueError(f"line {number}: expected '# ', '-' or '+' in fault {current.id}")
    close()
    ids = [f.id for f in faults]
    twice = sorted({i for i in ids if ids.count(i) > 1})
    if twice:
        raise ValueError("ids used twice: " + ", ".join(twice))
    return faults


def check_faults(faults):
    """Problems of the list against the sources: a missing file, an original text not found
    exactly once, a fault that changes nothing."""
    problems = []
    for f in faults:
        source = ROOT / f.path
        if not source.is_file():
            problems.append(f"{f.id}: no file {f.path}")
            continue
        count = source.read_text(encoding="utf-8").count(f.original)
        if count != 1:
            problems.append(f"{f.id}: original text found {count} times in {f.path}")
        if f.original == f.replacement:
            problems.append(f"{f.id}: replacement equals the original")
        if not f.description:
            problems.append(f"{f.id}: no description")
    return problems


def run(command, log=None, env=None, timeout=None):
    out = subprocess.run(command, cwd=ROOT, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         text=True, errors="replace", timeout=timeout)
    if log is not None:
        log.write(f"$ {' '.join(command)}\n{out.stdout}\n")
        log.flush()
    return out


def nice(command):
    return ["nice", "-n", "19", *command] if shutil.which("nice") else command


def configure(build, log):
    if (build / "build.ninja").exists():
        return
    command = ["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
               "-DCMAKE_CXX_FLAGS_DEBUG=-O0", "-DTESSARO_BUILD_BENCH=OFF"]
    if shutil.which("ccache"):
        command += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    # Each fault relinks every test twice (in, then out): lld makes that a fraction of the run.
    if shutil.which("ld.lld"):
        command += ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld"]
    out = run(nice(command), log)
    if out.returncode != 0:
        sys.exit(f"configuring {build} failed; see the log")


def build_all(build, log):
    return run(nice(["cmake", "--build", str(build), "--parallel", "2"]), log).returncode == 0


def build_targets(build, targets, log):
    return run(nice(["cmake", "--build", str(build), "--parallel", "2", "--target", *targets]), log).returncode == 0


def test_executables(build):
    """Each test's name and what of the build it runs: its executable, or, for a script
    (bash staged_flush.sh tessaro_decorate ...), the built programs it is given."""
    out = subprocess.run(["ctest", "--test-dir", str(build), "--show-only=json-v1"], cwd=ROOT,
                         stdout=subprocess.PIPE, text=True, check=True)
    built = str(Path(build).resolve()) + os.sep
    tests = {}
    for test in json.loads(out.stdout).get("tests", []):
        command = test.get("command") or []
        tests[test["name"]] = [Path(c) for c in command if str(Path(c).resolve()).startswith(built)] or \
            [Path(c) for c in command[:1]]
    return tests


def mtimes(tests):
    stamp = {}
    for name, files in tests.items():
        try:
            stamp[name] = tuple(f.stat().st_mtime_ns for f in files)
        except OSError:
            stamp[name] = None
    return stamp


def run_tests(build, names, timeout, log):
    """The tests of `names` that fail (all of them when `names` is None)."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    failed_log = build / "Testing" / "Temporary" / "LastTestsFailed.log"
    failed_log.unlink(missing_ok=True)
    command = ["ctest", "--test-dir", str(build), "--parallel", "2", "--timeout", str(timeout), "--output-on-failure"]
    if names is not None:
        command += ["-R", "^(" + "|".join(sorted(names)) + ")$"]
    out = run(nice(command), log, env=env)
    failed = set()
    if failed_log.exists():
        for line in failed_log.read_text(errors="replace").splitlines():
            if ":" in line:
                failed.add(line.split(":", 1)[1].strip())
    if out.returncode != 0 and not failed:
        failed.add("(ctest)")
    return failed


def failing_tests(build, names, timeout, log):
    """The tests that fail twice running: a test whose timing a busy machine upset once is not
    taken for one that caught the fault."""
    failed = run_tests(build, names, timeout, log)
    if not failed or "(ctest)" in failed:
        return failed
    return run_tests(build, failed, timeout, log)


class Applied:
    """The fault in its file for the time of a `with`; the file's own bytes back after it."""

    def __init__(self, fault):
        self.fault = fault
        self.path = ROOT / fault.path
        self.saved = None

    def __enter__(self):
        self.saved = self.path.read_bytes()
        text = self.saved.decode("utf-8")
        if text.count(self.fault.original) != 1:
            self.saved = None
            return False
        self.path.write_bytes(text.replace(self.fault.original, self.fault.replacement, 1).encode("utf-8"))
        return True

    def __exit__(self, *exc):
        if self.saved is None:
            return False
        self.path.write_bytes(self.saved)
        if self.path.read_bytes() != self.saved:
            sys.exit(f"{self.fault.path} could not be given back its own bytes: restore it by hand (git checkout -- {self.fault.path})")
        return False


def read_results(path):
    """fault id -> (status, failing tests), from a results file."""
    results = {}
    if not path.exists():
        return results
    for line in path.read_text(encoding="utf-8").splitlines():
        if not line or line.startswith("#"):
            continue
        parts = line.split("\t")
        tests = [t for t in parts[2].split(",") if t] if len(parts) > 2 else []
        results[parts[0]] = (parts[1], tests)
    return results


def summary(results, faults=None):
    lines = []
    described = {f.id: f.description for f in faults or []}
    total = len(results)
    caught = [i for i, (s, _) in results.items() if s == CAUGHT]
    survived = [i for i, (s, _) in results.items() if s == SURVIVED]
    unbuilt = [i for i, (s, _) in results.items() if s == NOT_BUILT]
    lines.append(f"caught {len(caught)} of {total}; survived {len(survived)}; does not build {len(unbuilt)}")
    for i in survived:
        lines.append(f"  survived: {i}" + (f"  ({described[i]})" if i in described else ""))
    for i in unbuilt:
        lines.append(f"  does not build: {i}")
    tests = sorted({t for i in caught for t in results[i][1]})
    lines.append("")
    lines.append("faults each test alone catches:")
    alone = {t: [] for t in tests}
    for i in caught:
        if len(results[i][1]) == 1:
            alone[results[i][1][0]].append(i)
    for t in tests:
        count = sum(1 for i in caught if t in results[i][1])
        lines.append(f"  {t}: catches {count}, alone {len(alone[t])}" + (": " + ", ".join(alone[t]) if alone[t] else ""))
    lines.append("")
    lines.append("tests that catch no fault alone (candidates to fold): "
                 + (", ".join(t for t in tests if not alone[t]) or "none"))
    return "\n".join(lines)


def compare(before, after):
    lost = [i for i, (s, _) in before.items() if s == CAUGHT and after.get(i, ("", []))[0] != CAUGHT]
    lines = [f"caught before: {sum(1 for s, _ in before.values() if s == CAUGHT)}, "
             f"caught now: {sum(1 for s, _ in after.values() if s == CAUGHT)}"]
    if lost:
        lines.append("caught before, not now: " + ", ".join(f"{i} ({after.get(i, ('not run', []))[0]})" for i in lost))
    else:
        lines.append("every fault caught before is caught now")
    gained = [i for i, (s, _) in after.items() if s == CAUGHT and i in before and before[i][0] != CAUGHT]
    if gained:
        lines.append("caught now, not before: " + ", ".join(gained))
    unknown = [i for i, (s, _) in after.items() if s == CAUGHT and i not in before]
    if unknown:
        lines.append(f"caught now, not run before: {len(unknown)}")
    return "\n".join(lines), not lost


def run_fault(build, fault, tests, timeout, log):
    """The fault's result over the tests whose programs it rebuilds."""
    # The tree as it is, built: what the fault rebuilds is what it changes.
    build_all(build, log)
    before = mtimes(tests)
    with Applied(fault) as applied:
        if not applied:
            return NOT_FOUND, set()
        if not build_all(build, log):
            return NOT_BUILT, set()
        after = mtimes(tests)
        rebuilt = {t for t in tests if after[t] != before[t] or after[t] is None}
        # Nothing rebuilt that a test runs: the fault's file is in no test, or the change
        # was not seen; every test then.
        failed = failing_tests(build, rebuilt or None, timeout, log)
        return (CAUGHT if failed else SURVIVED), failed


def run_fault_in(build, fault, tests, names, timeout, log):
    """The fault's result over the named tests only, building just their programs: a fault
    that one of the tests which caught it before still catches needs no other."""
    targets = sorted({f.name for name in names for f in tests[name]})
    with Applied(fault) as applied:
        if not applied:
            return NOT_FOUND, set()
        if not build_targets(build, targets, log):
            return NOT_BUILT, set()
        failed = failing_tests(build, set(names), timeout, log)
    build_targets(build, targets, log)
    return (CAUGHT if failed else SURVIVED), failed


def interrupted(*_):
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--only", nargs="+", metavar="ID", help="these faults only")
    parser.add_argument("--build", default="build-mutants", help="build folder (default build-mutants)")
    parser.add_argument("--output", help="results file (TSV; default mutants.tsv in the build folder)")
    parser.add_argument("--resume", action="store_true", help="keep the output's results, run the faults it lacks")
    parser.add_argument("--timeout", type=int, default=240, help="seconds per test (default 240)")
    parser.add_argument("--trust-baseline", action="store_true",
                        help="skip the suite's run without a fault (only when it has just passed in this build)")
    parser.add_argument("--first", metavar="RESULTS",
                        help="try each fault first on the tests that caught it in RESULTS, building only "
                             "those; the whole run only when none of them catches it now")
    parser.add_argument("--check", action="store_true", help="only check the list against the sources")
    parser.add_argument("--summary", metavar="RESULTS", help="summarise a results file and stop")
    parser.add_argument("--compare", nargs=2, metavar=("BEFORE", "AFTER"), help="faults caught in BEFORE and not in AFTER")
    args = parser.parse_args()

    faults = parse_faults(FAULTS.read_text(encoding="utf-8"))
    if args.compare:
        text, same = compare(read_results(Path(args.compare[0])), read_results(Path(args.compare[1])))
        print(text)
        return 0 if same else 1
    if args.summary:
        print(summary(read_results(Path(args.summary)), faults))
        return 0
    problems = check_faults(faults)
    if problems or args.check:
        print("\n".join(problems) or f"{len(faults)} faults, each found once")
        return 1 if problems else 0
    if args.only:
        unknown = set(args.only) - {f.id for f in faults}
        if unknown:
            sys.exit("unknown fault ids: " + ", ".join(sorted(unknown)))
        faults = [f for f in faults if f.id in args.only]

    # SIGTERM ends the run as Ctrl-C does, through the file's restoration.
    signal.signal(signal.SIGTERM, interrupted)
    build = (ROOT / args.build).resolve()
    output = Path(args.output).resolve() if args.output else build / "mutants.tsv"
    # The builds' and the tests' output, beside the build rather than in the source tree.
    log_path = build / (output.stem + ".log")
    done = read_results(output) if args.resume else {}
    hints = {i: t for i, (s, t) in read_results(Path(args.first)).items() if s == CAUGHT} if args.first else {}
    faults = [f for f in faults if f.id not in done]
    started = time.monotonic()
    build.mkdir(parents=True, exist_ok=True)
    # Two runs on one source tree would put their faults in each other's files and builds.
    lock = open(FAULTS, "rb")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        sys.exit(f"another run.py is running in {ROOT}")
    with open(log_path, "a" if args.resume else "w", encoding="utf-8") as log:
        configure(build, log)
        if not build_all(build, log):
            sys.exit(f"the program does not build without a fault; see {log_path}")
        tests = test_executables(build)
        if not done:
            failed = set() if args.trust_baseline else failing_tests(build, None, args.timeout, log)
            if failed:
                sys.exit(f"the suite fails without a fault: {', '.join(sorted(failed))}; see {log_path}")
            output.write_text(f"# fault\tresult\tfailing tests ({len(tests)} tests)\n", encoding="utf-8")
        print(f"baseline passes ({len(tests)} tests); {len(faults)} faults to run", flush=True)
        with open(output, "a", encoding="utf-8") as results:
            for number, fault in enumerate(faults, 1):
                clock = time.monotonic()
                log.write(f"\n=== {fault.id}: {fault.description}\n")
                status, failed = None, set()
                earlier = [t for t in hints.get(fault.id, []) if t in tests]
                if earlier:
                    status, failed = run_fault_in(build, fault, tests, earlier, args.timeout, log)
                if status != CAUGHT:
                    status, failed = run_fault(build, fault, tests, args.timeout, log)
                results.write(f"{fault.id}\t{status}\t{','.join(sorted(failed))}\n")
                results.flush()
                print(f"[{number}/{len(faults)}] {fault.id}: {status}"
                      + (f" by {', '.join(sorted(failed))}" if failed else "")
                      + f" ({time.monotonic() - clock:.0f} s)", flush=True)
        build_all(build, log)
    print(f"\n{summary(read_results(output), parse_faults(FAULTS.read_text(encoding='utf-8')))}")
    print(f"\n{time.monotonic() - started:.0f} s; results in {output}, log in {log_path}")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("interrupted; the fault's file has its own bytes back")
