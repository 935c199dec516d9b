#!/bin/bash
# Times `ckvd ls` against isoinfo -l -J, iso-info -l and xorriso's LBA report on one Joliet and Rock Ridge
# image of 50,000 files (250 directories, 7 below each, 200 files of 2,000 bytes in each; about 113 MB), all
# in one hyperfine run, and prints each tool's mean time with our time as a fraction of it (below 1: faster).
# usage: bench_ls.sh BUILD_DIR [WORK_DIR]   (the image is made once and kept in WORK_DIR)
set -euo pipefail
build=${1:-build}
work=${2:-${TMPDIR:-/tmp}/ckvd-bench-ls}
ckvd="$build/bin/ckvd"
for tool in genisoimage isoinfo iso-info xorriso hyperfine "$ckvd"; do
    command -v "$tool" >/dev/null || { echo "bench_ls.sh: $tool is missing" >&2; exit 1; }
done
mkdir -p "$work"
image="$work/ls.iso"
if [ ! -f "$image" ]; then
    rm -rf "$work/tree"
    mkdir -p "$work/tree"
    # Directory k (1..250) sits below directory (k-1)/7, 0 being the root: seven below each.
    paths=("$work/tree")
    for k in $(seq 1 250); do
        paths[k]="${paths[(k - 1) / 7]}/dir_$(printf %03d "$k")"
        mkdir "${paths[k]}"
        (cd "${paths[k]}" && head -c 400000 < <(yes "directory $k") |
            split -b 2000 -a 5 --numeric-suffixes=$(((k - 1) * 200 + 1)) \
                --additional-suffix=_with_a_longer_joliet_name.txt - file_)
    done
    genisoimage -quiet -J -R -V BENCH_LS -o "$image.part" "$work/tree"
    mv "$image.part" "$image"
    rm -rf "$work/tree"
fi
files=$("$ckvd" ls "$image" | grep -c '^F ' || true)
if [ "$files" != 50000 ]; then
    echo "bench_ls.sh: ckvd ls listed $files files, not 50000" >&2
    exit 1
fi

csv="$work/ls.csv"
hyperfine -N -w 2 -r 10 --style none --export-csv "$csv" \
    -n "ckvd ls" "'$ckvd' ls '$image'" \
    -n "isoinfo -l -J" "isoinfo -l -J -i '$image'" \
    -n "iso-info -l" "iso-info -l '$image'" \
    -n "xorriso report_lba" "xorriso -indev '$image' -find / -exec report_lba" >/dev/null
echo "# $(nproc) cores, $(date +%F), $(du -m "$image" | cut -f1) MB image; hyperfine -N -w 2 -r 10"
awk -F, 'NR == 1 { next }
         { name[NR] = $1; mean[NR] = $2 * 1000; sd[NR] = $3 * 1000; if ($1 == "ckvd ls") ours = $2 * 1000 }
         END {
             printf "%-20s %10s %8s %12s\n", "command", "mean ms", "+- ms", "ckvd ls / it"
             for (i = 2; i <= NR; ++i)
                 printf "%-20s %10.1f %8.1f %12.2f\n", name[i], mean[i], sd[i], ours / mean[i]
         }' "$csv"
