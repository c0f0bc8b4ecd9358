#!/usr/bin/env python3
"""Opens a workbook with xlrd (formatting_info=True) and prints what it read, one line per item:

    sheet <name> vis=<visibility> rows=<nrows> cols=<ncols>
    cell <row>,<col> <kind> <value> fmt=<format string> wrap=<0|1> v=<vert> h=<horiz> [border=<edges>]
    merged <rlo>:<rhi>,<clo>:<chi>
    col <col> width=<width> hidden=<0|1> level=<outline level>
    row <row> level=<outline level> hidden=<0|1>

Cells are listed when they are not empty (blank cells with formatting are listed as blank); edges
are top, left, right and bottom as <line style>/<colour index>, given only when any has a line.
Rows are listed when they have an outline level or are hidden. With --short, texts longer than 40
characters are shown as their length and first 20 characters. Exits with status 1 and the error when
xlrd refuses the file.
"""
import sys

import xlrd

KINDS = {xlrd.XL_CELL_NUMBER: 'number', xlrd.XL_CELL_TEXT: 'text', xlrd.XL_CELL_BLANK: 'blank',
         xlrd.XL_CELL_BOOLEAN: 'boolean', xlrd.XL_CELL_ERROR: 'error', xlrd.XL_CELL_DATE: 'date'}


SHORT = False


def shown(value):
    if SHORT and isinstance(value, str) and len(value) > 40:
        return '<%d characters %r...>' % (len(value), value[:20])
    return repr(value)


def cell_line(book, sheet, r, c):
    cell = sheet.cell(r, c)
    xf = book.xf_list[sheet.cell_xf_index(r, c)]
    fmt = book.format_map[xf.format_key].format_str
    al = xf.alignment
    line = '%d,%d %s %s fmt=%r wrap=%d v=%d h=%d' % (
        r, c, KINDS.get(cell.ctype, cell.ctype), shown(cell.value), fmt, al.text_wrapped, al.vert_align, al.hor_align)
    b = xf.border
    edges = [(b.top_line_style, b.top_colour_index), (b.left_line_style, b.left_colour_index),
             (b.right_line_style, b.right_colour_index), (b.bottom_line_style, b.bottom_colour_index)]
    if any(style for style, _ in edges):
        line += ' border=' + ','.join('%s%d/%d' % (name, style, colour)
                                      for name, (style, colour) in zip('TLRB', edges))
    return 'cell ' + line


def main(path):
    try:
        book = xlrd.open_workbook(path, formatting_info=True)
    except Exception as exc:
        print(('xlrd refused it: %r' % (exc,))[:400])
        return 1
    for sheet in book.sheets():
        print('sheet %s vis=%d rows=%d cols=%d' % (sheet.name, sheet.visibility, sheet.nrows, sheet.ncols))
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                if sheet.cell_type(r, c) != xlrd.XL_CELL_EMPTY:
                    print(cell_line(book, sheet, r, c))
        for rlo, rhi, clo, chi in sheet.merged_cells:
            print('merged %d:%d,%d:%d' % (rlo, rhi, clo, chi))
        for c in sorted(sheet.colinfo_map):
            info = sheet.colinfo_map[c]
            print('col %d width=%d hidden=%d level=%d' % (c, info.width, info.hidden, info.outline_level))
        for r in sorted(sheet.rowinfo_map):
            info = sheet.rowinfo_map[r]
            if info.outline_level or info.hidden:
                print('row %d level=%d hidden=%d' % (r, info.outline_level, info.hidden))
    return 0


if __name__ == '__main__':
    args = sys.argv[1:]
    if args and args[0] == '--short':
        SHORT = True
        args = args[1:]
    sys.exit(main(args[0]))
