#!/usr/bin/env python3
"""Plants one-line faults, one at a time, in a scratch copy of the project and runs the
suite against each: a fault that no test notices is a survivor, and either an equivalent
change or a hole in the tests.

Usage: tools/plant_faults.py [--check] [--tests REGEX] [--keep] FAULTS...
                             (e.g. tools/faults/*.txt)
  --check        only says whether every fault can be planted in the working tree, and
                 builds nothing: seconds, where a run takes a build per fault
  --tests REGEX  builds and runs only the test programs whose names match (test_pcx_bmp,
                 ...): a fault then costs its file and a few links instead of the whole
                 suite's, for lists whose code only those programs reach
  --keep         leaves the scratch copy and its log behind

A fault file holds faults of three lines each, blank lines and '#' comments between:
    @ animator/animator.cpp
    - case Easing::QuadOut: return t * (2 - t);
    + case Easing::QuadOut: return 1.5 * t - 0.5 * t * t;
The '-' text must be a whole line, and exactly one line of the file (leading and trailing
blanks aside); that line is replaced by the '+' text, its indent kept. The scratch copy
is the working tree as it is now (uncommitted changes too), built in Release with every
test but the soak; the first run checks that the unchanged copy passes. Prints one line
per fault and exits 1 when any survives or cannot be planted.
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXCLUDED_TESTS = "Soak"  # the tests left out, a word in their names: they take minutes
TIMEOUT_SECONDS = 300


def read_faults(path):
    faults, fault = [], None
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        text = line.rstrip("\n")
        if not text.strip() or text.lstrip().startswith("#"):
            continue
        mark, body = text[:1], text[2:]
        if mark == "@":
            fault = {"where": "%s:%d" % (path, number), "file": body.strip()}
        elif mark in "-+" and fault is not None:
            fault["old" if mark == "-" else "new"] = body.strip()
            if mark == "+":
                faults.append(fault)
                fault = None
        else:
            sys.exit("%s:%d: expected '@ file', '- old' or '+ new'" % (path, number))
    return faults


def matching_lines(lines, fault):
    return [i for i, line in enumerate(lines) if line.strip() == fault["old"]]


def check(faults, root):
    """Names each fault that cannot be planted in root's files; returns how many."""
    failures = 0
    for fault in faults:
        path = os.path.join(root, fault["file"])
        if not os.path.isfile(path):
            print("%s: cannot plant (no file %s)" % (fault["where"], fault["file"]))
            failures += 1
            continue
        hits = len(matching_lines(open(path, encoding="utf-8").read().split("\n"), fault))
        if hits != 1:
            print("%s: cannot plant (%d lines match): %s" % (fault["where"], hits, fault["old"]))
            failures += 1
    return failures


def run(command, cwd, log, timeout=None):
    with open(log, "a") as out:
        try:
            return subprocess.call(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                   timeout=timeout) == 0
        except subprocess.TimeoutExpired:
            out.write("timed out after %d s: %s\n" % (timeout, " ".join(command)))
            return False


def test_programs(pattern):
    """The test programs (tests/test_*.cpp) whose names match pattern."""
    names = [os.path.basename(p)[:-4] for p in glob.glob(os.path.join(ROOT, "tests", "test_*.cpp"))]
    return sorted(n for n in names if re.search(pattern, n))


def build_and_test(copy, log, programs):
    """Builds and runs the whole suite, or with programs only those test programs, each
    run whole as it is under an emulator."""
    build = os.path.join(copy, "build", "faults")
    jobs = str(os.cpu_count() or 2)
    targets = ["--target"] + programs if programs else []
    if not run(["cmake", "--build", build, "-j" + jobs] + targets, copy, log):
        return "does not build"
    if not programs:
        passed = run(["ctest", "--test-dir", build, "-j" + jobs, "-E", EXCLUDED_TESTS,
                      "--timeout", str(TIMEOUT_SECONDS)], copy, log)
        return "SURVIVED" if passed else "caught"
    tests = os.path.join(build, "tests")  # where ctest runs them
    for program in programs:
        command = [os.path.join(tests, program), "--gtest_brief=1", "--gtest_filter=-*%s*" % EXCLUDED_TESTS]
        if not run(command, tests, log, TIMEOUT_SECONDS):
            return "caught"
    return "SURVIVED"


def main(args):
    parser = argparse.ArgumentParser(usage="%(prog)s [--check] [--tests REGEX] [--keep] FAULTS...",
                                     description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--tests", metavar="REGEX")
    parser.add_argument("--keep", action="store_true")
    parser.add_argument("files", nargs="+", metavar="FAULTS")
    options = parser.parse_args(args)
    faults = [f for path in options.files for f in read_faults(path)]
    if options.check:
        failures = check(faults, ROOT)
        print("%d of %d faults can be planted" % (len(faults) - failures, len(faults)))
        return 1 if failures else 0
    if check(faults, ROOT):
        sys.exit("some faults cannot be planted; nothing was run")
    programs = []
    if options.tests is not None:
        programs = test_programs(options.tests)
        if not programs:
            sys.exit("no test program's name matches " + options.tests)
        print("building and running only " + " ".join(programs), flush=True)
    copy = tempfile.mkdtemp(prefix="quorvel-faults-")
    log = os.path.join(copy, "faults.log")
    shutil.copytree(ROOT, copy, dirs_exist_ok=True,
                    ignore=shutil.ignore_patterns("build", ".git", "node_modules"))
    env_launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
    os.environ["CCACHE_BASEDIR"] = copy  # the same sources hit the cache from any copy
    if not run(["cmake", "-S", ".", "-B", "build/faults", "-DCMAKE_BUILD_TYPE=Release",
                "-DQUORVEL_BUILD_TESTS=ON", "-DQUORVEL_BUILD_BENCH=OFF",
                "-DQUORVEL_BUILD_EXAMPLES=OFF"] + env_launcher, copy, log):
        sys.exit("cannot configure the scratch copy; see " + log)
    if build_and_test(copy, log, programs) != "SURVIVED":
        sys.exit("the unchanged copy does not pass its tests; see " + log)
    failures = 0
    for fault in faults:
        path = os.path.join(copy, fault["file"])
        original = open(path, encoding="utf-8").read()
        lines = original.split("\n")
        hits = matching_lines(lines, fault)
        indent = lines[hits[0]][: len(lines[hits[0]]) - len(lines[hits[0]].lstrip())]
        lines[hits[0]] = indent + fault["new"]
        open(path, "w", encoding="utf-8").write("\n".join(lines))
        verdict = build_and_test(copy, log, programs)
        open(path, "w", encoding="utf-8").write(original)
        print("%-15s %s %s: %s -> %s" % (verdict, fault["where"], fault["file"], fault["old"], fault["new"]),
              flush=True)
        failures += verdict != "caught"
    if options.keep:
        print("scratch copy kept in " + copy)
    else:
        shutil.rmtree(copy)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
