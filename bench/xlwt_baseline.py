#!/usr/bin/env python3
"""The baseline of the conversion benchmarks: writes a tab-separated grid as an .xls with xlwt.

usage: xlwt_baseline.py SOURCE.tsv TARGET.xls

Each field that float() accepts after dropping thousands commas becomes a number with a format of
two decimals when it had a decimal point; every other field is text. Every cell gets thin borders and
vertical centring, as the converter gives table cells. Rows beyond 65,536 and fields beyond 256 are
left out, as a BIFF8 sheet holds no more.
"""
import sys

import xlwt


def main(source, target):
    book = xlwt.Workbook(encoding='utf-8')
    sheet = book.add_sheet('Sheet1', cell_overwrite_ok=False)
    style_text = xlwt.easyxf('borders: left thin, right thin, top thin, bottom thin; align: vert centre')
    style_int = xlwt.easyxf('borders: left thin, right thin, top thin, bottom thin; align: vert centre',
                            num_format_str='0')
    style_dec = xlwt.easyxf('borders: left thin, right thin, top thin, bottom thin; align: vert centre',
                            num_format_str='#,##0.00')
    with open(source, encoding='utf-8', errors='replace') as f:
        for r, line in enumerate(f):
            if r > 65535:
                break
            row = sheet.row(r)
            for c, field in enumerate(line.rstrip('\r\n').split('\t')[:256]):
                try:
                    value = float(field.replace(',', ''))
                except ValueError:
                    row.write(c, field, style_text)
                    continue
                row.write(c, value, style_dec if '.' in field else style_int)
            if r % 1000 == 0:
                sheet.flush_row_data()
    book.save(target)


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
