#!/bin/bash
# Every manual page formats without a groff warning (all warnings on) and has the sections a reader looks for.
# usage: man_pages_test.sh MAN_DIR
set -uo pipefail
command -v groff >/dev/null || { echo "FAIL: groff is missing (apt-get install groff-base)"; exit 1; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
for page in ckvd.1 ckvd-explorer.1 ckvd-mkdisc.1 ckvd-mknav.1; do
    file=$1/$page
    [[ -f $file ]] || { fail "$page is missing"; continue; }
    warnings=$(groff -man -Tutf8 -ww -z "$file" 2>&1)
    [[ -z $warnings ]] || fail "$page: $warnings"
    text=$(groff -man -Tutf8 -P-cbou "$file" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" "SEE ALSO"; do
        grep -qx "$section" <<<"$text" || fail "$page has no $section section"
    done
done
((failures == 0)) && echo "all manual pages format cleanly"
exit $((failures > 0))
