#!/usr/bin/env python3
"""Prints what openpyxl finds in the first sheet of an .xlsx file: "rows=<n> cols=<n>", then the
value of each cell named on the command line ("A1=<repr>").

usage: xlsx_extent.py XLSX [REF ...]
"""
import sys

import openpyxl


def main(path, refs):
    book = openpyxl.load_workbook(path, read_only=True)
    sheet = book.worksheets[0]
    sheet.reset_dimensions()  # count what the rows hold, not what the dimension element says
    rows = cols = 0
    values = {}
    wanted = set(refs)
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            rows, cols = max(rows, cell.row), max(cols, cell.column)
            if cell.coordinate in wanted:
                values[cell.coordinate] = cell.value
    print('rows=%d cols=%d' % (rows, cols))
    for ref in refs:
        print('%s=%r' % (ref, values.get(ref)))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1], sys.argv[2:]))
