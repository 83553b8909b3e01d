#!/bin/sh
# Rewrites the expected outputs of output_equality_test: for every corpus file
# and example, what calparse prints (exit status, log lines, JSON; generated
# UIDs shown as "<uid N>").
#
# Only a change that is meant to alter output needs this. Then:
#   1. build calparse and the test with the change (cmake --build BUILD);
#   2. tests/data/equality/regenerate.sh BUILD   (BUILD defaults to ./build);
#   3. read `git diff tests/data/equality`: every changed line must be one the
#      change intends; commit the expected files with the change itself.
# The corpus is ../shared/corpus beside the tree, or CALPARSER_CORPUS_DIR.
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-$root/build}
test -x "$build/tests/output_equality_test" || {
    echo "regenerate.sh: build output_equality_test and calparse in $build first" >&2
    exit 1
}
rm -rf "$root/tests/data/equality/corpus" "$root/tests/data/equality/examples"
CALPARSER_ROOT=$root CALPARSER_EQUALITY_REGENERATE=1 "$build/tests/output_equality_test"
git -C "$root" status --short tests/data/equality
