#!/bin/sh
# Runs the CDB fuzzer of the image drive for a while (30 s unless given). Needs the fuzz build:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCKVD_FUZZ=ON -DCKVD_GUI=OFF && cmake --build build-fuzz --target fuzz_cdb
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${CKVD_FUZZ_BUILD:-$here/build-fuzz}
seconds=${1:-30}
bin=$build/bin/fuzz_cdb
[ -x "$bin" ] || bin=$build/fuzz/fuzz_cdb
if [ ! -x "$bin" ]; then
    echo "run_fuzz_drives.sh: $bin not built" >&2
    exit 1
fi
corpus=$build/fuzz-corpus/cdb
mkdir -p "$corpus"
# Seeds: one of each command the drive knows (length, mode, data length lo/hi/top, CDB).
seed() { printf "$2" > "$corpus/$1"; }
seed inquiry    '\006\001\044\000\000\022\000\000\000\044\000'
seed tur        '\006\002\000\000\000\000\000\000\000\000\000'
seed capacity   '\012\001\010\000\000\045\000\000\000\000\000\000\000\000\000'
seed toc0       '\012\001\044\003\000\103\002\000\000\000\000\000\003\044\000'
seed toc2       '\012\001\044\003\000\103\000\002\000\000\000\000\003\044\000'
seed read10     '\012\001\000\020\000\050\000\000\000\000\000\000\000\002\000'
seed read_gap   '\012\001\000\010\000\050\000\000\000\000\060\000\000\001\000'
exec "$bin" -max_total_time="$seconds" -max_len=64 -rss_limit_mb=1024 "$corpus"
