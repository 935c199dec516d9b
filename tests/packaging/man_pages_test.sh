#!/bin/bash
# Every manual page formats without a groff warning (all warnings on) and has the sections a reader looks for.
# usage: man_pages_test.sh MAN_DIR
set -uo pipefail
command -v groff >/dev/null || { echo "FAIL: groff is missing (apt-get install groff-base)"; exit 1; }
failures=0
for page in ckvd.1 ckvd-explorer.1 ckvd-mkdisc.1 ckvd-mknav.1; do
    file=$1/$page
    if [[ ! -f $file ]]; then
        echo "FAIL: $page is missing"
        failures=$((failures + 1))
        continue
    fi
    warnings=$(groff -man -Tutf8 -ww -z "$file" 2>&1)
    if [[ -n $warnings ]]; then
        echo "FAIL: $page: $warnings"
        failures=$((failures + 1))
    fi
    text=$(groff -man -Tutf8 -P-cbou "$file" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" "SEE ALSO"; do
        if ! grep -qx "$section" <<<"$text"; then
            echo "FAIL: $page has no $section section"
            failures=$((failures + 1))
        fi
    done
done
((failures == 0)) && echo "all manual pages format cleanly"
exit $((failures > 0))
