# Sourced by the make_fixtures.sh scripts as `. fixture_lib.sh OUTDIR TOOL...`: strict mode, the folder $out
# (made), a temporary folder $work with $work/disc, removed at exit, and a failure for any missing tool.
set -euo pipefail
out=$1
shift
for tool; do
    command -v "$tool" >/dev/null || { echo "make_fixtures.sh: $tool is missing (apt-get install it)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/ckvd-fixtures.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/disc"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
# ffsine SECONDS HZ ARGS...: ffmpeg's sine of lavfi written with ARGS.
ffsine() { ff -f lavfi -i "sine=frequency=$2:duration=$1" "${@:3}"; }
