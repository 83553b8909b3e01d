#!/bin/sh
# Builds the Debian package of the build tree and checks what it holds and
# which packages it depends on.
#   check_package.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >/dev/null)
deb=$(find "$work" -maxdepth 1 -name '*.deb' | head -n 1)
[ -n "$deb" ] || { echo "no package was made" >&2; exit 1; }
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
status=0
for path in '/lib/.*libcore_parser10\.so\.0\.[0-9.]*$' '/lib/.*libcore_parser10\.so\.0$' \
    '/lib/.*libcore_parser10\.so$' '/lib/.*libcore_parser10\.a$' \
    '/include/core_parser10/core/parser/calparser\.h$' \
    '/include/core_parser10/public/util/array\.h$' \
    '/share/core_parser10/data/timezones\.ics$' '/bin/calparse$' \
    '/man/man1/calparse\.1' '/pkgconfig/core_parser10\.pc$' \
    '/cmake/core_parser10/core_parser10Config\.cmake$'; do
    grep -q "$path" "$work/contents" || { echo "missing from the package: $path" >&2; status=1; }
done
# Internal headers stay in the source tree.
for path in 'userattr_ldif\.h' 'cal_tok_arena\.h'; do
    if grep -q "$path" "$work/contents"; then
        echo "internal header in the package: $path" >&2
        status=1
    fi
done
depends=$(dpkg-deb -I "$deb" | sed -n "s/^ Depends: //p")
for dep in libnspr4 'libicu[0-9]' libical3; do
    echo "$depends" | grep -q "$dep" || { echo "no dependency on $dep: $depends" >&2; status=1; }
done
[ $status -eq 0 ] && echo "package: $(basename "$deb"); depends: $depends"
exit $status
