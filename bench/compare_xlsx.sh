#!/usr/bin/env bash
# Our xlsx reader side by side with openpyxl (read-only mode) and xlsx2csv on the same
# 100,000-row workbook (3 columns, shared strings). Needs python3-openpyxl and xlsx2csv
# (Debian packages); not part of scripts/test.
#
#   bench/compare_xlsx.sh [BUILD_DIR] [ROWS]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
ROWS=${2:-100000}
BIN="$BUILD/bench/bench_import"
FILE="${TMPDIR:-/tmp}/tombolix-compare-$ROWS.xlsx"
[ -f "$FILE" ] || "$BIN" --make-xlsx "$ROWS" "$FILE"

now() { date +%s.%N; }

# Best of three for each tool: the machine may be shared with other work.
ours=$(for i in 1 2 3; do "$BIN" --read "$FILE"; done | awk 'NR==1||$1<m{m=$1} END{print m}')

openpyxl=$(/usr/bin/python3 - "$FILE" <<'PY'
import sys, time
import openpyxl
best = None
for _ in range(2):
    t = time.perf_counter()
    wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
    n = 0
    for row in wb.worksheets[0].iter_rows(values_only=True):
        n += 1
    wb.close()
    d = time.perf_counter() - t
    best = d if best is None else min(best, d)
print(f"{best:.3f}")
PY
)

x2c=$(for i in 1 2 3; do
  t0=$(now); xlsx2csv "$FILE" > /dev/null; t1=$(now); awk "BEGIN{print $t1 - $t0}"
done | awk 'NR==1||$1<m{m=$1} END{print m}')

printf 'rows:      %s\n' "$ROWS"
printf 'ours:      %8.3f s\n' "$ours"
printf 'openpyxl:  %8.3f s   (ours %.1fx faster)\n' "$openpyxl" "$(awk "BEGIN{print $openpyxl / $ours}")"
printf 'xlsx2csv:  %8.3f s   (ours %.1fx faster)\n' "$x2c" "$(awk "BEGIN{print $x2c / $ours}")"
