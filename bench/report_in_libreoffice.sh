#!/bin/bash
# A spreadsheet reads the disc report: the demo disc's report (with a comment holding a comma, quotes and
# Japanese) converted by LibreOffice to .xlsx and back to UTF-8 CSV, then checked with Python's csv module.
# LibreOffice is too big for every CI run, so this runs by hand: apt-get install libreoffice-calc-nogui.
# usage: report_in_libreoffice.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=${1:-build}
work=${2:-${TMPDIR:-/tmp}/ckvd-report-lo}
export XDG_DATA_HOME="$work/data-home" # the report adds its disc to a catalogue of its own
ckvd="$build/bin/ckvd"
for tool in soffice python3 "$ckvd"; do
    command -v "$tool" >/dev/null || { echo "report_in_libreoffice.sh: $tool is missing" >&2; exit 1; }
done
rm -rf "$work"
mkdir -p "$work/home" "$work/back"
comment='a, "quoted" コメント'
"$ckvd" report demo --number 7 --comment "$comment" -o "$work/MA000007.csv"
# Comma-separated, double quotes, Shift-JIS (LibreOffice's character set 64).
HOME=$work/home soffice --headless --infilter="CSV:44,34,64,1" --convert-to xlsx --outdir "$work" \
    "$work/MA000007.csv" >/dev/null 2>&1
HOME=$work/home soffice --headless --convert-to "csv:Text - txt - csv (StarCalc):44,34,76" --outdir "$work/back" \
    "$work/MA000007.xlsx" >/dev/null 2>&1
python3 - "$work/back/MA000007.csv" "$comment" <<'PY'
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8", newline="")))
header = next(r for r in rows if r and r[0] == "MA000007")
assert header[1] == sys.argv[2], header[:2]
names = [r[4] for r in rows if len(r) > 4 and r[3] == "File"]
assert "01 さくら.mp3" in names and "Evening.wma" in names, names
print(f"LibreOffice read the report: {len(rows)} rows, the comment whole, {len(names)} file rows")
PY
