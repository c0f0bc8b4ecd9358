#!/usr/bin/env python3
"""Compares what Apache POI read from .xlsx files (the output of XlsxPoiDump) with what xlrd reads
from the .xls files of the same conversions.

usage: poi_vs_xls.py DUMP XLS XLSX [XLS XLSX ...]

Every text cell of the .xls must be in POI's sheet with the same text and every number cell with a
value that reads as the same double; POI must find nothing else (blank cells carry no value, so
POI reports none). Prints
"<xlsx>: ok, <n> cells" or the first differences; exits with status 1 when any pair differs.
"""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xlsx_vs_xls import xls_view  # noqa: E402


def cell_position(ref):
    letters = ref.rstrip('0123456789')
    col = 0
    for ch in letters:
        col = col * 26 + ord(ch) - ord('A') + 1
    return int(ref[len(letters):]) - 1, col - 1


def read_dump(path):
    files, cells = {}, None
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.rstrip('\n')
            if line.startswith('file '):
                cells = files.setdefault(line[5:], {})
            elif line.startswith('cell '):
                _, ref, value = line.split(' ', 2)
                cells[cell_position(ref)] = json.loads(value)
    return files


def same(meant, got):
    if meant is None or got is None:
        return meant is got
    kind, value = meant
    if kind == 'number':
        try:
            return float(got) == value
        except ValueError:
            return False
    return got == value


def main(dump, paths):
    seen = read_dump(dump)
    failed = False
    for xls_path, xlsx_path in zip(paths[0::2], paths[1::2]):
        meant = {pos: (c[0], c[1]) for pos, c in xls_view(xls_path)['cells'].items() if c[0] != 'blank'}
        got = seen.get(xlsx_path)
        problems = []
        if got is None:
            problems.append('not in the dump')
        else:
            for pos in sorted(set(meant) | set(got)):
                if not same(meant.get(pos), got.get(pos)):
                    problems.append('%r: xls %r, POI %r' % (pos, meant.get(pos), got.get(pos)))
                if len(problems) >= 10:
                    break
        if problems:
            failed = True
            print('%s: %d differences' % (xlsx_path, len(problems)))
            for p in problems:
                print('  ' + p[:300])
        else:
            print('%s: ok, %d cells' % (xlsx_path, len(meant)))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1], sys.argv[2:]))
