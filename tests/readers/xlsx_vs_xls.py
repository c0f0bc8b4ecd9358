#!/usr/bin/env python3
"""Compares what openpyxl reads from .xlsx files with what xlrd reads from the .xls files of the
same conversions.

usage: xlsx_vs_xls.py XLS XLSX [XLS XLSX ...]

For each pair, both files are read in terms of the BIFF8 file (xlrd's codes) and compared: the sheet
name and size, every cell (kind, value, number format string, the four border line styles and the
colours of the drawn ones, wrap, vertical and horizontal alignment), the merged areas, the column
widths (1/256 character), the row outline (level, hidden) and the rows' own heights. Prints
"<xlsx>: ok" or the first differences of each pair; exits with status 1 when any pair differs or
a reader refuses a file.
"""
import datetime
import sys

import openpyxl
from openpyxl.cell.read_only import EmptyCell
from openpyxl.utils.datetime import to_excel
import xlrd

BORDER_STYLES = ['none', 'thin', 'medium', 'dashed', 'dotted', 'thick', 'double', 'hair', 'mediumDashed',
                 'dashDot', 'mediumDashDot', 'dashDotDot', 'mediumDashDotDot', 'slantDashDot']
HORIZONTAL = {None: 0, 'general': 0, 'left': 1, 'center': 2, 'right': 3, 'fill': 4, 'justify': 5,
              'centerContinuous': 6, 'distributed': 7}
VERTICAL = {'top': 0, 'center': 1, None: 2, 'bottom': 2, 'justify': 3, 'distributed': 4}


def xls_view(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    view = {'name': sheet.name, 'size': (sheet.nrows, sheet.ncols), 'cells': {}, 'widths': {}, 'outline': {},
            'heights': {}}
    view['merged'] = sorted((rlo, rhi - 1, clo, chi - 1) for rlo, rhi, clo, chi in sheet.merged_cells)
    for col, info in sheet.colinfo_map.items():
        view['widths'][col] = info.width
    for row, info in sheet.rowinfo_map.items():
        if info.outline_level or info.hidden:
            view['outline'][row] = (info.outline_level, int(info.hidden))
        if info.height_mismatch:
            view['heights'][row] = info.height
    for r in range(sheet.nrows):
        for c in range(sheet.row_len(r)):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                continue
            xf = book.xf_list[cell.xf_index]
            b = xf.border
            styles = (b.top_line_style, b.left_line_style, b.right_line_style, b.bottom_line_style)
            colours = (b.top_colour_index, b.left_colour_index, b.right_colour_index, b.bottom_colour_index)
            colours = tuple(colour if style else None for style, colour in zip(styles, colours))
            kind = {xlrd.XL_CELL_TEXT: 'text', xlrd.XL_CELL_NUMBER: 'number', xlrd.XL_CELL_DATE: 'number',
                    xlrd.XL_CELL_BLANK: 'blank'}.get(cell.ctype, str(cell.ctype))
            value = cell.value if kind != 'blank' else None
            a = xf.alignment
            view['cells'][(r, c)] = (kind, value, book.format_map[xf.format_key].format_str, styles, colours,
                                     int(a.text_wrapped), a.vert_align, a.hor_align)
    return view


def side(s):
    style = BORDER_STYLES.index(s.style) if s is not None and s.style else 0
    colour = None
    if style:
        colour = s.color.indexed if s.color is not None and s.color.type == 'indexed' else repr(s.color)
    return style, colour


def xlsx_view(path):
    # Cells as the file has them: a normal load replaces the cells inside merged areas (and their
    # borders), so they are read in read-only mode, where every <c> is one cell and gaps are empty.
    cells_book = openpyxl.load_workbook(path, read_only=True)
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    view = {'name': sheet.title, 'cells': {}, 'widths': {}, 'outline': {}, 'heights': {}}
    rows = cols = 0
    for row in cells_book.worksheets[0].iter_rows():
        for cell in row:
            if isinstance(cell, EmptyCell):
                continue
            r, c = cell.row - 1, cell.column - 1
            rows, cols = max(rows, r + 1), max(cols, c + 1)
            value = cell.value
            if value is None:
                kind = 'blank'
            elif isinstance(value, str):
                kind = 'text'
            else:
                kind = 'number'
                if isinstance(value, (datetime.datetime, datetime.date, datetime.time, datetime.timedelta)):
                    value = to_excel(value)
                value = float(value)
            borders = [side(cell.border.top), side(cell.border.left), side(cell.border.right), side(cell.border.bottom)]
            a = cell.alignment
            view['cells'][(r, c)] = (kind, value, cell.number_format, tuple(s for s, _ in borders),
                                     tuple(colour for _, colour in borders), int(bool(a.wrap_text)),
                                     VERTICAL[a.vertical], HORIZONTAL[a.horizontal])
    cells_book.close()
    view['size'] = (rows, cols)
    view['merged'] = sorted((m.min_row - 1, m.max_row - 1, m.min_col - 1, m.max_col - 1)
                            for m in sheet.merged_cells.ranges)
    for dim in sheet.column_dimensions.values():
        if dim.min is None or not dim.customWidth and dim.width in (None, 0):
            continue
        for col in range(dim.min - 1, dim.max):
            view['widths'][col] = int(round(dim.width * 256))
    for row, dim in sheet.row_dimensions.items():
        if dim.outline_level or dim.hidden:
            view['outline'][row - 1] = (dim.outline_level, int(bool(dim.hidden)))
        if dim.customHeight:
            view['heights'][row - 1] = int(round(dim.height * 20))
    return view


def same_value(kind, a, b):
    if kind != 'number':
        return a == b
    return a == b or abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))


def differences(xls, xlsx, limit=12):
    out = []
    for key in ('name', 'size', 'merged', 'widths', 'outline', 'heights'):
        if xls[key] != xlsx[key]:
            out.append('%s: xls %r, xlsx %r' % (key, str(xls[key])[:300], str(xlsx[key])[:300]))
    for pos in sorted(set(xls['cells']) | set(xlsx['cells'])):
        a, b = xls['cells'].get(pos), xlsx['cells'].get(pos)
        if a is None or b is None:
            out.append('%r: xls %r, xlsx %r' % (pos, a, b))
        elif a[0] != b[0] or not same_value(a[0], a[1], b[1]) or a[2:] != b[2:]:
            out.append('%r: xls %r, xlsx %r' % (pos, a, b))
        if len(out) >= limit:
            break
    return out


def main(paths):
    failed = False
    for xls_path, xlsx_path in zip(paths[0::2], paths[1::2]):
        try:
            found = differences(xls_view(xls_path), xlsx_view(xlsx_path))
        except Exception as exc:  # a reader refusing a file is a difference too
            found = ['reader failed: %r' % (exc,)]
        if found:
            failed = True
            print('%s: %d differences' % (xlsx_path, len(found)))
            for line in found:
                print('  ' + line)
        else:
            print('%s: ok' % xlsx_path)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
