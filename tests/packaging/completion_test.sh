#!/bin/bash
# The bash completion of the four programs, called as bash calls it: COMP_WORDS and COMP_CWORD set, the
# function run, COMPREPLY compared (sorted) with the words expected.
# usage: completion_test.sh COMPLETION_FILE BIN_DIR DEMO_DIR
set -uo pipefail
completion=$1
bin=$2
export CKVD_DEMO_DIR=$3
export PATH=$bin:$PATH
# shellcheck source=/dev/null
source "$completion" || { echo "FAIL: cannot source $completion"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ckvd-completion.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir sub "with space"
touch a.iso B.CUE c.ccd d.bin e.NRG f.toc g.mds notes.txt "my disc.cue" t1.wav T2.WAV out.png

failures=0
# expect TEXT EXPECTED FUNCTION CWORD WORD...: the words offered for COMP_WORDS=(WORD...) at CWORD.
expect() {
    local text=$1 expected=$2 fn=$3
    COMP_CWORD=$4
    COMP_WORDS=("${@:5}")
    COMPREPLY=()
    "$fn"
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | grep -v '^/dev/sr' | LC_ALL=C sort | paste -sd'|')
    if [[ $got != "$expected" ]]; then
        echo "FAIL: $text: expected [$expected], got [$got]"
        failures=$((failures + 1))
    fi
}

expect "commands" "--help|--version|burn|catalog|check|drives|dump|get|help|info|ls|make|nav|report|toc|verify" _ckvd 1 ckvd ""
expect "ls options" "--help|--json|--session" _ckvd 2 ckvd ls --
expect "get options" "--audio|--help|--session|-r" _ckvd 2 ckvd get -
expect "report options" "--catalogue|--comment|--help|--number|-o" _ckvd 3 ckvd report demo -
expect "drives options" "--demo|--help|--image|--json" _ckvd 2 ckvd drives -
expect "DRIVE: demo discs, images and directories" "B.CUE|a.iso|c.ccd|d.bin|demo|demo-audio|e.NRG|f.toc|g.mds|my disc.cue|sub|with space" \
    _ckvd 2 ckvd toc ""
expect "DRIVE after --session N" "demo|demo-audio" _ckvd 4 ckvd ls --session 2 de
expect "a disc path is not a DRIVE" "" _ckvd 3 ckvd info demo ""
expect "DEST of get -r: any local file" \
    "B.CUE|T2.WAV|a.iso|c.ccd|d.bin|e.NRG|f.toc|g.mds|my disc.cue|notes.txt|out.png|sub|t1.wav|with space" \
    _ckvd 5 ckvd get -r demo / ""
expect "--image takes images" "a.iso" _ckvd 3 ckvd drives --image a
expect "make's MUSIC_DIR and OUT.iso" "sub|with space" _ckvd 2 ckvd make ""
expect "make's OUT.iso" "a.iso|sub|with space" _ckvd 3 ckvd make sub ""
# The demo data disc has two sessions, the demo audio CD one.
expect "--session of the data disc typed after it" "1|2" _ckvd 3 ckvd ls --session "" demo
expect "--session of the data disc typed before it" "1|2" _ckvd 4 ckvd nav demo --session ""
expect "--session of the audio CD" "1" _ckvd 3 ckvd info --session "" demo-audio /Track01.cda
expect "--session of an unreadable drive" "" _ckvd 3 ckvd ls --session "" notes.txt

expect "explorer --dialog" "disc-info|drive" _ckvd_explorer 2 ckvd-explorer --dialog d
expect "explorer --view" "details|large|list|small" _ckvd_explorer 2 ckvd-explorer --view ""
expect "explorer --screenshot" "out.png|sub|with space" _ckvd_explorer 2 ckvd-explorer --screenshot ""
expect "mkdisc commands" "--help|--version|append|audio|create|msinfo" _ckvd_mkdisc 1 ckvd-mkdisc ""
expect "mkdisc create's disc" "B.CUE|c.ccd|my disc.cue|sub|with space" _ckvd_mkdisc 2 ckvd-mkdisc create ""
expect "mkdisc audio tracks" "T2.WAV|sub|t1.wav|with space" _ckvd_mkdisc 4 ckvd-mkdisc audio x.cue t1.wav ""
expect "mknav DIR" "sub|with space" _ckvd_mknav 1 ckvd-mknav ""
expect "mknav --lsn options" "--help|--lcid|--session" _ckvd_mknav 3 ckvd-mknav --lsn a.iso -
expect "mknav --session of the --lsn image" "1|2" _ckvd_mknav 4 ckvd-mknav --lsn "$CKVD_DEMO_DIR/demo-data.cue" \
    --session ""

if ((failures)); then
    echo "$failures completion check(s) failed"
    exit 1
fi
echo "all completion checks passed"
