#!/usr/bin/env python3
"""Opens a workbook with xlrd and prints, one line per sheet, what its DIMENSIONS record says and
how many rows and columns the cells read reach:

    <sheet name> dimensions=<rows>,<cols> cells=<nrows>,<ncols>

Exits with status 1 and the error when xlrd refuses the file.
"""
import sys

import xlrd


def main(path):
    try:
        # Ragged rows: a sheet that reaches row 65535 and column 255 is not filled out cell by cell.
        book = xlrd.open_workbook(path, ragged_rows=True)
    except Exception as exc:
        print(('xlrd refused it: %r' % (exc,))[:400])
        return 1
    for sheet in book.sheets():
        print('%s dimensions=%d,%d cells=%d,%d' % (sheet.name, sheet._dimnrows, sheet._dimncols,
                                                   sheet.nrows, sheet.ncols))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
