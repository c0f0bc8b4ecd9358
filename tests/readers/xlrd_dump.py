#!/usr/bin/env python3
"""Opens a workbook with xlrd and prints what it read, one line per sheet and per non-empty cell:

    sheet <name> rows=<nrows> cols=<ncols>
    <row>,<col> <kind> <value>

where kind is number, text or blank and the value is repr() of what xlrd returns. Exits with status 1
and the error when xlrd refuses the file.
"""
import sys

import xlrd

KINDS = {xlrd.XL_CELL_NUMBER: 'number', xlrd.XL_CELL_TEXT: 'text', xlrd.XL_CELL_BLANK: 'blank',
         xlrd.XL_CELL_BOOLEAN: 'boolean', xlrd.XL_CELL_ERROR: 'error', xlrd.XL_CELL_DATE: 'date'}


def main(path):
    try:
        book = xlrd.open_workbook(path)
    except Exception as exc:
        print(('xlrd refused it: %r' % (exc,))[:400])
        return 1
    for sheet in book.sheets():
        print('sheet %s rows=%d cols=%d' % (sheet.name, sheet.nrows, sheet.ncols))
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                print('%d,%d %s %r' % (r, c, KINDS.get(cell.ctype, cell.ctype), cell.value))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
