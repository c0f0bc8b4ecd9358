#!/usr/bin/env python3
"""The openpyxl peer of the .xlsx benchmark: writes a tab-separated grid as an .xlsx with openpyxl
in write-only mode (rows streamed to the file as they come).

usage: openpyxl_baseline.py SOURCE.tsv TARGET.xlsx

Fields become cells as in bench/xlwt_baseline.py: a field that float() accepts after dropping
thousands commas is a number with a format of two decimals when it had a decimal point (else "0"),
every other field is text; every cell gets thin borders and vertical centring.
"""
import sys

import openpyxl
from openpyxl.cell import WriteOnlyCell
from openpyxl.styles import Alignment, Border, Side


def main(source, target):
    book = openpyxl.Workbook(write_only=True)
    sheet = book.create_sheet('Sheet1')
    thin = Side(style='thin')
    border = Border(left=thin, right=thin, top=thin, bottom=thin)
    centre = Alignment(vertical='center')

    def cell(value, number_format=None):
        c = WriteOnlyCell(sheet, value=value)
        c.border = border
        c.alignment = centre
        if number_format:
            c.number_format = number_format
        return c

    with open(source, encoding='utf-8', errors='replace') as f:
        for line in f:
            row = []
            for field in line.rstrip('\r\n').split('\t'):
                try:
                    value = float(field.replace(',', ''))
                except ValueError:
                    row.append(cell(field))
                    continue
                row.append(cell(value, '#,##0.00' if '.' in field else '0'))
            sheet.append(row)
    book.save(target)


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
