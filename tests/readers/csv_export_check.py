#!/usr/bin/env python3
"""Compares a CSV file that a spreadsheet program exported with the cells meant.

usage: csv_export_check.py CSV EXPECTED

EXPECTED holds one cell per line: <row> TAB <col> TAB <kind> TAB <value>, rows and columns 0-based,
kind number (compared as a float, to 14 significant digits, as programs print numbers in their
general format), text (compared exactly) or date (yyyy-mm-dd; a program may write '/' for '-').
Every other field of the CSV must be empty. Prints one line per problem; exits with status 1 when
there is any.
"""
import csv
import sys


def same(kind, field, value):
    if kind == 'number':
        try:
            got, want = float(field), float(value)
        except ValueError:
            return False
        return got == want or abs(got - want) <= 1e-14 * max(abs(got), abs(want))
    if kind == 'date':
        return field.replace('/', '-') == value
    return field == value


def main(csv_path, expected_path):
    expected = {}
    with open(expected_path, encoding='utf-8') as f:
        for line in f.read().split('\n'):
            if line:
                row, col, kind, value = line.split('\t', 3)
                expected[(int(row), int(col))] = (kind, value)
    with open(csv_path, encoding='utf-8', newline='') as f:
        rows = list(csv.reader(f))
    problems = []
    seen = set()
    for r, fields in enumerate(rows):
        for c, field in enumerate(fields):
            if (r, c) in expected:
                seen.add((r, c))
                kind, value = expected[(r, c)]
                if not same(kind, field, value):
                    problems.append('%d,%d: %r, expected %s %r' % (r, c, field, kind, value))
            elif field:
                problems.append('%d,%d: unexpected %r' % (r, c, field))
    for key in sorted(set(expected) - seen):
        problems.append('%d,%d: missing (the file has %d rows)' % (key[0], key[1], len(rows)))
    for p in problems[:20]:
        print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1], sys.argv[2]))
