#!/bin/sh
# Runs the three ISO9660 fuzzers (descriptor set, path table, directory records) for a while each (20 s
# unless given). Needs the fuzz build:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCKVD_FUZZ=ON -DCKVD_GUI=OFF
#   cmake --build build-fuzz --target fuzz_descriptors fuzz_pathtable fuzz_directory
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${CKVD_FUZZ_BUILD:-$here/build-fuzz}
seconds=${1:-20}
for t in descriptors pathtable directory; do
    bin=$build/bin/fuzz_$t
    if [ ! -x "$bin" ]; then
        echo "run_fuzz_iso.sh: $bin not built" >&2
        exit 1
    fi
    corpus=$build/fuzz-corpus/iso-$t
    mkdir -p "$corpus"
    "$bin" -max_total_time="$seconds" -rss_limit_mb=1500 "$corpus"
done
