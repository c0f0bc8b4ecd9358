#!/usr/bin/env python3
"""Compares a workbook with the CSV file it was converted from, as Python's csv module reads it.

Usage: csv_source_check.py SOURCE.csv WORKBOOK.xls DIVIDER QUOTE

Prints "records=<csv records> rows=<sheet rows> checked=<cells> mismatches=<count>" and then up to
five mismatches, one a line. A text cell must hold its field exactly; a number cell the value of its
field (blanks and "," grouping dropped); a date cell is not compared.
"""
import csv
import sys

import xlrd


def main(source, workbook, divider, quote):
    with open(source, newline='', encoding='utf-8', errors='surrogateescape') as f:
        records = list(csv.reader(f, delimiter=divider, quotechar=quote))
    sheet = xlrd.open_workbook(workbook).sheet_by_index(0)
    checked = 0
    mismatches = []
    for r, record in enumerate(records[:sheet.nrows]):
        for c, field in enumerate(record[:sheet.ncols]):
            cell = sheet.cell(r, c)
            checked += 1
            if cell.ctype == xlrd.XL_CELL_TEXT:
                same = cell.value == field.replace('\r\n', '\n').replace('\r', '\n')
            elif cell.ctype == xlrd.XL_CELL_NUMBER:
                try:
                    same = abs(float(field.strip().replace(',', '')) - cell.value) <= 1e-9 * max(1, abs(cell.value))
                except ValueError:
                    same = False
            elif cell.ctype == xlrd.XL_CELL_DATE:
                same = True
            else:
                same = field == ''
            if not same:
                mismatches.append('%d %d %r %r' % (r, c, field, cell.value))
    print('records=%d rows=%d checked=%d mismatches=%d' % (len(records), sheet.nrows, checked, len(mismatches)))
    for line in mismatches[:5]:
        print(line)
    return 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:5]))
