#!/usr/bin/env python3
"""Reads compound files with olefile and libgsf and compares their one stream with the bytes meant.

usage: ole_check.py GSF STREAM_NAME FILE EXPECTED [FILE EXPECTED ...]

For every FILE: olefile must open it without reporting any defect (even unsure ones), list exactly
one stream STREAM_NAME in the root, and read back the bytes of EXPECTED; `gsf list` must show the
stream with that size and `gsf cat` must give the same bytes. Prints one line per problem and exits
with status 1 when there is any.
"""
import subprocess
import sys

import olefile


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def check(gsf, name, path, expected_path):
    problems = []
    with open(expected_path, 'rb') as f:
        expected = f.read()
    try:
        ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_UNSURE)
    except Exception as exc:  # any defect at all is a failure
        return ['olefile refused it: %r' % (exc,)]
    if ole.parsing_issues:
        problems.append('olefile parsing issues: %r' % (ole.parsing_issues,))
    entries = ole.listdir(streams=True, storages=True)
    if entries != [[name]]:
        problems.append('olefile entries %r, expected [[%r]]' % (entries, name))
    else:
        if ole.get_size(name) != len(expected):
            problems.append('olefile size %d, expected %d' % (ole.get_size(name), len(expected)))
        data = ole.openstream(name).read()
        if data != expected:
            problems.append('olefile stream differs (%d bytes read, %d expected, first difference at %d)'
                            % (len(data), len(expected), first_difference(data, expected)))
    ole.close()

    listing = subprocess.run([gsf, 'list', path], capture_output=True, text=True)
    if listing.returncode != 0:
        problems.append('gsf list failed: %s' % listing.stderr.strip())
    else:
        rows = [line.split() for line in listing.stdout.splitlines()[1:] if line.strip()]
        streams = [r for r in rows if r and r[0] == 'f']
        if streams != [['f', str(len(expected)), name]]:
            problems.append('gsf list shows %r' % (rows,))
    cat = subprocess.run([gsf, 'cat', path, name], capture_output=True)
    if cat.returncode != 0:
        problems.append('gsf cat failed: %s' % cat.stderr.decode(errors='replace').strip())
    elif cat.stdout != expected:
        problems.append('gsf cat differs (%d bytes, %d expected, first difference at %d)'
                        % (len(cat.stdout), len(expected), first_difference(cat.stdout, expected)))
    return problems


def main(argv):
    if len(argv) < 5 or (len(argv) - 3) % 2:
        print(__doc__)
        return 2
    gsf, name = argv[1], argv[2]
    failed = False
    for path, expected in zip(argv[3::2], argv[4::2]):
        problems = check(gsf, name, path, expected)
        for p in problems:
            print('%s: %s' % (path, p))
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
