#!/usr/bin/env bash
# Installs the dependencies, builds quarvel and converts the bundled example report to a workbook,
# then shows what an independent reader (python3-xlrd) finds in it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target quarvel
# Three grouping levels (region, city, store) from line 10 on, where the table's data begins, and
# a header line above everything.
./build/quarvel/quarvel examples/report.htm build/report.xls /l 3 /d 10 /h "ACME Corporation - internal"
echo "examples/report.htm converted to build/report.xls; what xlrd reads from it:"
/usr/bin/python3 - build/report.xls <<'PY'
import sys
import xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sheet = book.sheet_by_index(0)
print('sheet %s: %d rows, %d columns, merged %s' % (sheet.name, sheet.nrows, sheet.ncols, sheet.merged_cells))
for r in range(sheet.nrows):
    info = sheet.rowinfo_map.get(r)
    level = info.outline_level if info else 0
    cells = []
    for c in range(sheet.ncols):
        cell = sheet.cell(r, c)
        fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
        if cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
            cells.append('%r [%s]' % (cell.value, fmt))
        else:
            cells.append(str(cell.value))
    print('%2d %s %s' % (r + 1, '>' * level or ' ', ' | '.join(cells)))
PY
