#!/bin/sh
# The shared library's dynamic symbols: the interface is there, the library's
# own functions and the standard library's template instances are not.
#   check_exports.sh SHARED_LIBRARY
set -eu
nm -D --defined-only "$1" | awk '{print $3}' >"${TMPDIR:-/tmp}/exports.$$"
trap 'rm -f "${TMPDIR:-/tmp}/exports.$$"' EXIT
status=0
for name in parser_init calparser_prot_to_dbstruct calparser_write_ical mtgmtime \
    prot_readmap xDelete _ZN13CALPARSER_STR10m_InstanceE \
    _ZN23CALPARSER_TIMEZONE_LIST8InstanceEv; do
    grep -qx "$name" "${TMPDIR:-/tmp}/exports.$$" || { echo "not exported: $name"; status=1; }
done
for name in calparser_walk_component calparser_populateSharedProp str_replace_copy \
    _ZN23CALPARSER_TIMEZONE_LIST11key_compareEPKvS1_; do
    if grep -qx "$name" "${TMPDIR:-/tmp}/exports.$$"; then echo "exported: $name"; status=1; fi
done
if grep -Eq '^_Z(Z|T[IS])?[NK]*St' "${TMPDIR:-/tmp}/exports.$$"; then
    echo "exported standard-library symbols:"
    grep -E '^_Z(Z|T[IS])?[NK]*St' "${TMPDIR:-/tmp}/exports.$$"
    status=1
fi
[ $status -eq 0 ] && echo "$(wc -l <"${TMPDIR:-/tmp}/exports.$$") symbols exported"
exit $status
