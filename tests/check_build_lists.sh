#!/bin/sh
# The build names its files instead of globbing for them: this says which
# library source, test or benchmark file a CMake list leaves out.
#   check_build_lists.sh SOURCE_ROOT
set -eu
cd "$1"
status=0
for file in core/parser/*.cpp public/*/*.cpp; do
    grep -qx "  $file" CMakeLists.txt || { echo "not in CALPARSER_SOURCES: $file"; status=1; }
done
for file in tests/*_test.cpp; do
    name=$(basename "$file" .cpp)
    grep -qw "$name" tests/CMakeLists.txt || { echo "not in CALPARSER_UNIT_TESTS: $name"; status=1; }
done
for file in bench/*_bench.cpp; do
    name=$(basename "$file" .cpp)
    grep -qw "$name" bench/CMakeLists.txt || { echo "not in CALPARSER_BENCHMARKS: $name"; status=1; }
done
exit $status
