#!/usr/bin/env python3
"""Compares two CSV files a spreadsheet program exported, one from the .xls and one from the .xlsx
of the same conversion: the same rows and fields, each field the same text or, where both read as
numbers, the same double (Gnumeric prints a number read from XML text with more digits than one
read as a double, for the same value).

usage: csv_same.py CSV-FROM-XLS CSV-FROM-XLSX [...]

Prints "<second>: ok" or the first differences; exits with status 1 when any pair differs.
"""
import csv
import sys


def rows(path):
    with open(path, encoding='utf-8', errors='surrogateescape', newline='') as f:
        return list(csv.reader(f))


def same(a, b):
    if a == b:
        return True
    try:
        return float(a) == float(b)
    except ValueError:
        return False


def main(paths):
    failed = False
    for left, right in zip(paths[0::2], paths[1::2]):
        a, b = rows(left), rows(right)
        problems = []
        if len(a) != len(b):
            problems.append('%d rows, %d rows' % (len(a), len(b)))
        for r, (x, y) in enumerate(zip(a, b)):
            if len(x) != len(y) or not all(same(p, q) for p, q in zip(x, y)):
                problems.append('row %d: %r / %r' % (r, x[:8], y[:8]))
            if len(problems) >= 5:
                break
        if problems:
            failed = True
            print('%s: differs from %s' % (right, left))
            for p in problems:
                print('  ' + p[:300])
        else:
            print('%s: ok' % right)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
