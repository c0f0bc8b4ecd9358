#!/usr/bin/env python3
"""Reads a workbook with olefile and xlrd (formatting_info=True) and prints what they see, one item
a line:

    container <stream names>                                       (olefile; any defect is fatal)
    sheet <name> rows=<nrows> cols=<ncols>
    merged <first row> <last row> <first col> <last col>            (inclusive)
    col <col> width=<width> hidden=<0|1>                            (columns with COLINFO)
    row <row> level=<outline level> hidden=<0|1>                    (rows with a level or hidden)
    cell <row> <col> <kind> <value> fmt=<format> b=<TLRB line styles>:<T>,<L>,<R>,<B colours> wrap=<0|1> v=<vert> h=<horiz>

kind is text, number, date or blank as xlrd sees it (date: a number under a date format). Texts
(values, formats, the sheet name) are JSON strings with every character beyond ASCII written as
\\uXXXX UTF-16 units; numbers are repr() of the float. Positions without a cell record are not
listed. Exits with status 1 and the reason when a reader refuses the file.
"""
import json
import sys

import olefile
import xlrd

KINDS = {xlrd.XL_CELL_TEXT: 'text', xlrd.XL_CELL_NUMBER: 'number', xlrd.XL_CELL_DATE: 'date',
         xlrd.XL_CELL_BLANK: 'blank', xlrd.XL_CELL_BOOLEAN: 'boolean', xlrd.XL_CELL_ERROR: 'error'}


def text(value):
    return json.dumps(value, ensure_ascii=True)


def main(path):
    try:
        ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_UNSURE)
        streams = ['/'.join(entry) for entry in ole.listdir(streams=True, storages=True)]
        issues = ole.parsing_issues
        ole.close()
    except Exception as exc:
        print(('olefile refused it: %r' % (exc,))[:400])
        return 1
    if issues:
        print(('olefile parsing issues: %r' % (issues,))[:400])
        return 1
    print('container %s' % ' '.join(streams))
    try:
        book = xlrd.open_workbook(path, formatting_info=True)
    except Exception as exc:
        print(('xlrd refused it: %r' % (exc,))[:400])
        return 1
    for sheet in book.sheets():
        print('sheet %s rows=%d cols=%d' % (text(sheet.name), sheet.nrows, sheet.ncols))
        for rlo, rhi, clo, chi in sheet.merged_cells:
            print('merged %d %d %d %d' % (rlo, rhi - 1, clo, chi - 1))
        for col in sorted(sheet.colinfo_map):
            info = sheet.colinfo_map[col]
            print('col %d width=%d hidden=%d' % (col, info.width, info.hidden))
        for row in sorted(sheet.rowinfo_map):
            info = sheet.rowinfo_map[row]
            if info.outline_level or info.hidden:
                print('row %d level=%d hidden=%d' % (row, info.outline_level, info.hidden))
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                xf = book.xf_list[cell.xf_index]
                fmt = book.format_map[xf.format_key].format_str
                b = xf.border
                styles = ''.join(str(s) for s in (b.top_line_style, b.left_line_style, b.right_line_style,
                                                  b.bottom_line_style))
                colours = '%d,%d,%d,%d' % (b.top_colour_index, b.left_colour_index, b.right_colour_index,
                                           b.bottom_colour_index)
                value = repr(cell.value) if isinstance(cell.value, float) else text(cell.value)
                a = xf.alignment
                print('cell %d %d %s %s fmt=%s b=%s:%s wrap=%d v=%d h=%d'
                      % (r, c, KINDS.get(cell.ctype, cell.ctype), value, text(fmt), styles, colours,
                         a.text_wrapped, a.vert_align, a.hor_align))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
