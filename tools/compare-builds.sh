#!/bin/bash
# Runs every ckvd command (and ckvd-mknav, and the window's screenshots) of two builds on the same discs and
# compares what they print, their errors and exit codes, the files they write (the report with its date
# masked) and the pictures of the window and its dialogs. For a change that must leave every output as it was.
# usage: tools/compare-builds.sh REF_BIN NEW_BIN OUT_DIR [DISC...]
#   REF_BIN, NEW_BIN: directories holding ckvd, ckvd-mknav and ckvd-explorer of each build. DISCs: images to
#   run on besides the demo discs (CKVD_DEMO_DIR is kept for both builds). Prints each difference and
#   exits 1 when there is any.
set -uo pipefail
if [[ $# -lt 3 ]]; then
    echo "usage: tools/compare-builds.sh REF_BIN NEW_BIN OUT_DIR [DISC...]" >&2
    exit 2
fi
ref=$(realpath "$1") new=$(realpath "$2") out=$3
shift 3
discs=(demo demo-audio "$@")
rm -rf "$out" && mkdir -p "$out/ref" "$out/new"
export QT_QPA_PLATFORM=offscreen TZ=UTC LC_ALL=C.UTF-8

# One run: its stdout, stderr and exit code, and the files it wrote, moved to OUT_DIR/SIDE/NAME. Both builds
# run in the same fresh folder with the same fresh home, so paths in their outputs are the same.
run() { # SIDE NAME ARGS...
    local side=$1 name=$2 bin work="$out/work" home="$out/home"
    shift 2
    bin=$(bin_of "$side")
    rm -rf "$work" "$home" && mkdir -p "$work" "$home"
    printf '%q ' "$@" >"$work/command"
    (cd "$work" && HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
        XDG_RUNTIME_DIR="$home" timeout 600 "$bin/$1" "${@:2}" >stdout 2>stderr; echo $? >status)
    sed -i "s#$bin#BIN#g" "$work/stdout" "$work/stderr"
    mkdir -p "$out/$side" && mv "$work" "$out/$side/$name"
}

bin_of() { # SIDE
    [[ $1 == ref ]] && echo "$ref" || echo "$new"
}

both() { # NAME ARGS...
    run ref "$@"
    run new "$@"
}

n=0
for disc in "${discs[@]}"; do
    d=$((++n))
    both "$d-toc" ckvd toc "$disc"
    both "$d-toc-json" ckvd toc --json "$disc"
    both "$d-ls" ckvd ls "$disc"
    both "$d-ls-json" ckvd ls --json "$disc"
    both "$d-verify" ckvd verify --json --map map.png "$disc"
    for profile in car-cd iso9660-level1 iso9660-level2; do
        both "$d-check-$profile" ckvd check --json --order --profile "$profile" "$disc"
        both "$d-check-$profile-csv" ckvd check --csv --profile "$profile" "$disc"
    done
    both "$d-report" ckvd report "$disc" --number 7 --comment "compared" -o report.csv
    both "$d-get" ckvd get -r "$disc" / tree
    # Every file of the listing: its information and, for a navigation file, its viewer's content.
    "$new/ckvd" ls --json "$disc" 2>/dev/null | python3 -c '
import json, sys
for s in json.load(sys.stdin).get("sessions", []):
    for e in s.get("entries", []):
        if e.get("type") != "D":
            print(s.get("session", ""), e.get("path", ""), sep="\t")
' >"$out/paths-$d" 2>/dev/null
    m=0
    while IFS=$'\t' read -r session path; do
        [[ -z $path ]] && continue
        m=$((m + 1))
        both "$d-info-$m" ckvd info --json --session "$session" "$disc" "$path"
        both "$d-info-text-$m" ckvd info --session "$session" "$disc" "$path"
        [[ ${path^^} == *.LMX ]] && both "$d-nav-$m" ckvd nav --json --session "$session" "$disc" "$path"
    done < <(head -n 200 "$out/paths-$d")
    both "$d-catalog" ckvd catalog add "$disc" --number 3 --catalogue cat.sqlite
done

# ckvd-mknav over the media trees of the demo disc's sessions, copied off the disc once: the navigation files
# it writes (the media files themselves are left out of the comparison).
for session in 1 2; do
    tree="$out/mknav-tree-$session"
    "$new/ckvd" get -r --session "$session" demo / "$tree" >/dev/null 2>&1 || continue
    for side in ref new; do
        bin=$(bin_of "$side")
        work="$out/work"
        rm -rf "$work" && mkdir -p "$work" && cp -r "$tree" "$work/tree"
        (cd "$work" && "$bin/ckvd-mknav" --name DEMO tree >stdout 2>stderr; echo $? >status)
        find "$work/tree" -type f ! -name '*.LMX' -delete
        mv "$work" "$out/$side/mknav-$session"
    done
    rm -rf "$tree"
done

# The window and each of its dialogs, on the demo disc.
dialogs=(main drive disc-info level1 about save-report pcm-formats tag-info save-to-disc save-progress nav
    player-check player-check-order find-catalogue verify save-image)
for dialog in "${dialogs[@]}"; do
    args=(--screenshot shot.png --demo)
    [[ $dialog != main ]] && args+=(--dialog "$dialog")
    both "shot-$dialog" ckvd-explorer "${args[@]}"
done

# The report's date and time of writing differ between runs: masked before comparing.
find "$out" -name report.csv -exec sed -i -E 's#[0-9]{4}\.[0-9]{1,2}\.[0-9]{1,2},[0-9]{1,2}:[0-9]{1,2}:[0-9]{1,2}#DATE#g' {} +
# A catalogue file holds the time of its add; its export is compared instead.
for side in ref new; do
    for cat in "$out/$side"/*-catalog/cat.sqlite; do
        [[ -f $cat ]] || continue
        dir=$(dirname "$cat")
        bin=$(bin_of "$side")
        (cd "$dir" && "$bin/ckvd" catalog export --csv export.csv --catalogue cat.sqlite >/dev/null 2>&1)
        rm -f "$cat" "$cat"-*
    done
done

rm -rf "$out/home"
if diff -r "$out/ref" "$out/new" >"$out/diff.txt"; then
    echo "same: $(find "$out/ref" -name status | wc -l) runs of each build"
    exit 0
fi
cat "$out/diff.txt"
echo "differences: see $out/diff.txt" >&2
exit 1
