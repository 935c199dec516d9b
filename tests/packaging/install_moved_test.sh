#!/bin/bash
# `cmake --install` into a prefix, the prefix moved elsewhere: the installed ckvd finds the demo discs that
# were installed with it (beside its bin directory), not the build tree's, and the installation holds the
# manual pages, the completions and the desktop files. Every manual page of MAN_DIR formats without a groff
# warning (all warnings on) and has the sections a reader looks for.
# usage: install_moved_test.sh BUILD_DIR GUI(0|1) MAN_DIR
set -uo pipefail
build=$1
gui=$2
command -v groff >/dev/null || { echo "FAIL: groff is missing (apt-get install groff-base)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ckvd-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/first" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }
mv "$work/first" "$work/moved" || exit 1

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
expected=(bin/ckvd bin/ckvd-mkdisc bin/ckvd-mknav
    share/man/man1/ckvd.1 share/man/man1/ckvd-mkdisc.1 share/man/man1/ckvd-mknav.1
    share/bash-completion/completions/ckvd share/bash-completion/completions/ckvd-mkdisc
    share/bash-completion/completions/ckvd-mknav
    share/ckvd-explorer/demo/demo-data.cue share/ckvd-explorer/demo/demo-audio.cue
    share/doc/ckvd-explorer/copyright)
if [[ $gui == 1 ]]; then
    expected+=(bin/ckvd-explorer share/man/man1/ckvd-explorer.1 share/bash-completion/completions/ckvd-explorer
        share/applications/ckvd-explorer.desktop share/icons/hicolor/scalable/apps/ckvd-explorer.svg
        share/mime/packages/ckvd-explorer.xml)
fi
for f in "${expected[@]}"; do
    [[ -f $work/moved/$f ]] || fail "$f was not installed"
done
grep -q "^License: MIT$" "$work/moved/share/doc/ckvd-explorer/copyright" || fail "the copyright file names no licence"

# `drives --demo` prints each image drive's path; both must be the moved installation's demo discs.
out=$(env -u CKVD_DEMO_DIR "$work/moved/bin/ckvd" drives --demo 2>&1)
status=$?
[[ $status == 0 ]] || fail "ckvd drives --demo exited $status: $out"
for disc in demo-data.cue demo-audio.cue; do
    grep -qF " $work/moved/share/ckvd-explorer/demo/$disc " <<<"$out" ||
        fail "ckvd drives --demo did not use the moved installation's $disc: $out"
done
# The moved installation reads its own demo disc.
out=$(env -u CKVD_DEMO_DIR "$work/moved/bin/ckvd" ls demo 2>&1) || fail "ckvd ls demo: $out"
grep -qF "/README.TXT" <<<"$out" || fail "ckvd ls demo lists no /README.TXT: $out"

for page in ckvd.1 ckvd-explorer.1 ckvd-mkdisc.1 ckvd-mknav.1; do
    file=$3/$page
    [[ -f $file ]] || { fail "$page is missing"; continue; }
    warnings=$(groff -man -Tutf8 -ww -z "$file" 2>&1)
    [[ -z $warnings ]] || fail "$page: $warnings"
    text=$(groff -man -Tutf8 -P-cbou "$file" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" "SEE ALSO"; do
        grep -qx "$section" <<<"$text" || fail "$page has no $section section"
    done
done
((failures == 0)) && echo "the moved installation is complete, uses its own demo discs, and its manual pages format cleanly"
exit $((failures > 0))
