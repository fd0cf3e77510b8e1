#!/usr/bin/env bash
# Each executable given loads libzip, libxlsxwriter, Qt SVG and Qt Multimedia only when it first
# uses them: none is in its dynamic section, and it exports none of the functions it defines in
# their place (the libraries' calls among their own functions would come back to it).
set -euo pipefail
status=0
for exe in "$@"; do
  needed=$(readelf -d "$exe" | awk '/\(NEEDED\)/ {print $5}')
  for lib in libzip libxlsxwriter libQt6Svg libQt6Multimedia; do
    if grep -q "\[$lib\." <<<"$needed"; then
      echo "$exe names $lib: $needed" >&2
      status=1
    fi
  done
  exported=$(readelf --dyn-syms -W "$exe" | awk '$7 != "UND" {print $8}' |
    grep -E '^(zip_|workbook_|worksheet_|format_set_|lxw_)' || true)
  if [ -n "$exported" ]; then
    echo "$exe exports $exported" >&2
    status=1
  fi
done
exit $status
