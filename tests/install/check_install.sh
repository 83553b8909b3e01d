#!/bin/sh
# Installs the build tree into a temporary prefix and builds and runs a small C
# program against it, found the way a user finds it.
#   check_install.sh pkg-config|find_package BUILD_DIR THIS_DIR
set -eu
mode=$1 build=$2 here=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libcore_parser10.so' | head -n 1)")
case $mode in
pkg-config)
    PKG_CONFIG_PATH=$libdir/pkgconfig
    export PKG_CONFIG_PATH
    # shellcheck disable=SC2046
    cc -Wall -Wextra -Werror -o "$work/use_library" "$here/use_library.c" \
        $(pkg-config --cflags --libs core_parser10)
    ;;
find_package)
    cmake -S "$here" -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >/dev/null
    cmake --build "$work/build" >/dev/null
    cp "$work/build/use_library" "$work/use_library"
    ;;
*)
    echo "usage: check_install.sh pkg-config|find_package BUILD_DIR THIS_DIR" >&2
    exit 2
    ;;
esac
out=$(LD_LIBRARY_PATH=$libdir "$work/use_library")
if [ "$out" != "rc 0 events 2" ]; then
    echo "unexpected output: $out" >&2
    exit 1
fi
echo "$mode: $out"
