#!/usr/bin/env python3
"""Line and branch coverage per source folder, from a merged clang profile.

Every test and replay program of the coverage build links the library
statically, so all of them are handed to llvm-cov as objects; the summary
JSON is then summed per folder (core/parser, public/util, ...)."""
import argparse
import json
import os
import subprocess
import sys
from collections import defaultdict


def programs(build):
    """The programs ctest runs from the build tree, the fuzz replays and
    calparse. Only what ctest names counts under tests/: a test deleted from
    the suite can leave its old program behind in a reused build tree."""
    listing = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                             check=True, capture_output=True, text=True).stdout
    found = set()
    build_dir = os.path.realpath(build)
    for test in json.loads(listing)["tests"]:
        command = test.get("command") or []
        if command and os.path.realpath(command[0]).startswith(build_dir + os.sep):
            found.add(os.path.realpath(command[0]))
    for sub in ("fuzz", "tools/calparse"):
        folder = os.path.join(build, sub)
        if not os.path.isdir(folder):
            continue
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and os.access(path, os.X_OK):
                found.add(os.path.realpath(path))
    return sorted(found)


def folder_of(path, root):
    rel = os.path.relpath(path, root)
    parts = rel.split(os.sep)
    return os.sep.join(parts[:2]) if len(parts) > 2 else parts[0]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--llvm-cov", default="llvm-cov")
    ap.add_argument("--profile", required=True)
    ap.add_argument("--build", required=True)
    ap.add_argument("--root", required=True)
    args = ap.parse_args()

    objs = programs(args.build)
    if not objs:
        sys.exit("no programs under " + args.build)
    cmd = [args.llvm_cov, "export", "-summary-only", "-instr-profile=" + args.profile, objs[0]]
    for obj in objs[1:]:
        cmd += ["-object", obj]
    data = json.loads(subprocess.run(cmd, check=True, capture_output=True, text=True).stdout)

    # A header reached through different relative include paths (ccache's
    # base_dir rewrites paths) comes back once per spelling: keep, per real
    # file, the spelling with the most covered lines, so nothing is counted
    # twice and nothing is credited that one object alone did not cover.
    per_file = {}
    for f in data["data"][0]["files"]:
        name = os.path.normpath(f["filename"])
        rel = os.path.relpath(name, args.root)
        if not (rel.startswith("core" + os.sep) or rel.startswith("public" + os.sep)):
            continue
        s = f["summary"]
        if rel not in per_file or s["lines"]["covered"] > per_file[rel]["lines"]["covered"]:
            per_file[rel] = s

    totals = defaultdict(lambda: [0, 0, 0, 0])  # lines covered, lines, branches covered, branches
    files = []
    for rel, s in per_file.items():
        t = totals[folder_of(os.path.join(args.root, rel), args.root)]
        t[0] += s["lines"]["covered"]
        t[1] += s["lines"]["count"]
        t[2] += s["branches"]["covered"]
        t[3] += s["branches"]["count"]
        files.append((s["lines"]["count"] - s["lines"]["covered"], rel, s))

    def pct(a, b):
        return 100.0 * a / b if b else 100.0

    print("%-20s %8s %8s %9s %8s" % ("folder", "lines", "line %", "branches", "branch %"))
    all_ = [0, 0, 0, 0]
    for folder in sorted(totals):
        t = totals[folder]
        all_ = [x + y for x, y in zip(all_, t)]
        print("%-20s %8d %7.1f%% %9d %7.1f%%" % (folder, t[1], pct(t[0], t[1]), t[3], pct(t[2], t[3])))
    print("%-20s %8d %7.1f%% %9d %7.1f%%" % ("core + public", all_[1], pct(all_[0], all_[1]),
                                              all_[3], pct(all_[2], all_[3])))
    print("\nmost uncovered lines:")
    for missed, rel, s in sorted(files, key=lambda f: (f[0], f[1]), reverse=True)[:12]:
        print("  %5d  %-45s lines %5.1f%%  branches %5.1f%%" % (
            missed, rel, s["lines"]["percent"], s["branches"]["percent"]))


if __name__ == "__main__":
    main()
