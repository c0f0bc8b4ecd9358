#!/usr/bin/python3
"""How many table cells of the corpus pages the flattener gives as a browser-grade parser reads them.

Usage: bench/html_cells.py [BUILD-DIR] [--examples N]

Every HTML page of tests/corpus is parsed with html5lib (python3-html5lib: the HTML standard's
tree building, and its encoding sniffing) and flattened by quarvel with /t to text in UTF-8 (in the
C.UTF-8 locale; the page's own encoding is found as quarvel finds it, and its text output is read
in the encoding html5lib found). A cell's text is what a
browser shows of a td or th: its text with the text of tables nested in it left out (quarvel gives
their rows lines of their own), <br> as a blank, whitespace collapsed, blanks at the ends dropped.
Prints, per page and in all, the non-empty cells the parser finds and how many of them stand, with
exactly that text, among the fields quarvel wrote (counted as multisets), then the first cells it
did not find.
"""
import collections
import os
import re
import subprocess
import sys
import tempfile

import html5lib

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, '..', 'tests', 'corpus')
NS = '{http://www.w3.org/1999/xhtml}'


def cell_text(cell):
    parts = []

    def walk(element):
        if element.text:
            parts.append(element.text)
        for child in element:
            tag = child.tag.replace(NS, '') if isinstance(child.tag, str) else ''
            if tag == 'table':
                pass  # rows of a nested table are lines of their own
            elif tag in ('br', 'hr'):
                parts.append(' ')
            elif tag in ('script', 'style', 'template'):
                pass
            elif tag == 'img':
                parts.append(child.get('alt') or '')
            else:
                walk(child)
            if child.tail:
                parts.append(child.tail)

    walk(cell)
    text = ''.join(parts).replace('\u00a0', ' ')
    return re.sub(r'[ \t\n\r\f]+', ' ', text).strip()


def main(argv):
    build = 'build'
    examples = 10
    args = list(argv)
    if '--examples' in args:
        i = args.index('--examples')
        examples = int(args[i + 1])
        del args[i:i + 2]
    if args:
        build = args[0]
    quarvel = os.path.join(build, 'quarvel', 'quarvel')
    work = tempfile.mkdtemp(prefix='html-cells-')
    env = dict(os.environ, LC_ALL='C.UTF-8', LANG='C.UTF-8')
    total = found = 0
    missing = []
    print('%-45s %7s %7s %7s' % ('page', 'cells', 'found', 'share'))
    for name in sorted(os.listdir(CORPUS)):
        if not re.search(r'\.html?$', name):
            continue
        path = os.path.join(CORPUS, name)
        parser = html5lib.HTMLParser()
        with open(path, 'rb') as f:
            tree = parser.parse(f.read())
        encoding = parser.tokenizer.stream.charEncoding[0].name
        expected = [cell_text(c) for c in tree.iter() if c.tag in (NS + 'td', NS + 'th')]
        expected = [t for t in expected if t]
        # The text output is in the page's own encoding (UTF-8 for a UTF-8 page).
        out = os.path.join(work, name + '.txt')
        subprocess.run([quarvel, path, out, '/t'], env=env, check=True, stderr=subprocess.DEVNULL)
        with open(out, 'rb') as f:
            text = f.read().decode(encoding, errors='replace')
        fields = collections.Counter(field for line in text.split('\r\n') for field in line.split('\t'))
        n = f_ = 0
        for t in expected:
            n += 1
            if fields[t] > 0:
                fields[t] -= 1
                f_ += 1
            else:
                missing.append('%s: %r' % (name, t[:120]))
        total += n
        found += f_
        if n:
            print('%-45s %7d %7d %6.2f%%' % (name, n, f_, 100.0 * f_ / n))
    print('%-45s %7d %7d %6.2f%%' % ('all', total, found, 100.0 * found / max(total, 1)))
    for line in missing[:examples]:
        print('  ' + line)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
