#!/usr/bin/python3
"""How many numeric and date cells of the corpus LibreOffice shows exactly as their source wrote them.

Usage: bench/as_shown.py [BUILD-DIR] [--examples N]

Every corpus file is converted to .xls in a locale that matches it (de_DE.UTF-8 for the German
files, C.UTF-8 for the rest): HTML pages as pages, delimited files with /n, their divider and /s 34.
LibreOffice then writes each workbook as CSV "as shown" (what its cells display, in the same
locale), and every cell that xlrd reads as a number or a date is compared with its source field
(the field without the blanks around it): the field as the converter's own text output gives it for
a page, as Python's csv module reads it for a delimited file. Prints, per file and in all, the
numeric and date cells, those shown exactly as written, and those that show a digit the source did
not have (their digits are not a subsequence of the field's), then the first mismatches.
"""
import csv
import os
import subprocess
import sys
import tempfile

import xlrd

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, '..', 'tests', 'corpus')

# File -> (divider for /n, locale); None: an HTML page.
FILES = {
    'btw25_bw_kreise_rel_latin1.csv': (',', 'C.UTF-8'),
    'de_polls_semicolon_decimal_comma.csv': (';', 'de_DE.UTF-8'),
    'dslabs_trump_tweets.csv': (',', 'C.UTF-8'),
    'fread_1680_semicolon_latin1.csv': (';', 'de_DE.UTF-8'),
    'french_prose_latin1.txt': ('\t', 'C.UTF-8'),
    'fy09_edu_recipients_by_state.csv': (',', 'C.UTF-8'),
    'gt_exibble.csv': (',', 'C.UTF-8'),
    'gt_sp500.csv': (',', 'C.UTF-8'),
    'istat_elenco_comuni_italiani.csv': (';', 'C.UTF-8'),
    'ks_1033_data.csv': (',', 'C.UTF-8'),
    'mac_newlines_cr_only.csv': (',', 'C.UTF-8'),
    'mldatar_csgo_dmy.csv': (',', 'C.UTF-8'),
    'nrc_event_notifications_pipe.txt': ('|', 'C.UTF-8'),
    'russell_index_CRCRCRLF.csv': (',', 'C.UTF-8'),
    'world_bank_indicators_2014_2019.tsv': ('\t', 'C.UTF-8'),
}


def text_of(data):
    try:
        return data.decode('utf-8')
    except UnicodeDecodeError:
        return data.decode('cp1252', errors='replace')


def source_fields(path, divider, quarvel, work, env):
    """The fields of every line as the conversion sees them: rows of strings."""
    if divider is None:
        out = os.path.join(work, os.path.basename(path) + '.txt')
        subprocess.run([quarvel, path, out], env=env, check=True, stderr=subprocess.DEVNULL)
        with open(out, 'rb') as f:
            return [line.split('\t') for line in text_of(f.read()).split('\r\n')]
    with open(path, 'rb') as f:
        text = text_of(f.read()).lstrip('\ufeff')
    return list(csv.reader(text.splitlines(keepends=True), delimiter=divider, quotechar='"'))


def is_subsequence(small, large):
    it = iter(large)
    return all(ch in it for ch in small)


def main(argv):
    build = 'build'
    examples = 12
    args = list(argv)
    if '--examples' in args:
        i = args.index('--examples')
        examples = int(args[i + 1])
        del args[i:i + 2]
    if args:
        build = args[0]
    quarvel = os.path.join(build, 'quarvel', 'quarvel')
    work = tempfile.mkdtemp(prefix='as-shown-')
    names = sorted(n for n in os.listdir(CORPUS) if n not in ('PROVENANCE.md', 'README.md'))
    plan = {}
    for name in names:
        divider, locale = FILES.get(name, (None, 'C.UTF-8'))
        plan[name] = (divider, locale)
    # Convert, then one LibreOffice run per locale.
    by_locale = {}
    for name, (divider, locale) in plan.items():
        env = dict(os.environ, LC_ALL=locale, LANG=locale)
        source = os.path.join(CORPUS, name)
        target = os.path.join(work, name + '.xls')
        command = [quarvel, source, target] if divider is None else \
            [quarvel, '/n', source, target, '/f', str(ord(divider)), '/s', '34']
        subprocess.run(command, env=env, check=True, stderr=subprocess.DEVNULL)
        by_locale.setdefault(locale, []).append(target)
    for locale, targets in by_locale.items():
        out = os.path.join(work, 'lo-' + locale)
        env = dict(os.environ, LC_ALL=locale, LANG=locale, HOME=work)
        subprocess.run(['soffice', '-env:UserInstallation=file://' + work + '/profile-' + locale, '--headless',
                        '--convert-to', 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true',
                        '--outdir', out] + targets, env=env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    total = same = extra = 0
    mismatches = []
    print('%-42s %8s %8s %7s %6s' % ('file', 'cells', 'as text', 'share', 'extra'))
    for name, (divider, locale) in plan.items():
        env = dict(os.environ, LC_ALL=locale, LANG=locale)
        fields = source_fields(os.path.join(CORPUS, name), divider, quarvel, work, env)
        book = xlrd.open_workbook(os.path.join(work, name + '.xls'), formatting_info=True)
        sheet = book.sheet_by_index(0)
        with open(os.path.join(work, 'lo-' + locale, name + '.csv'), encoding='utf-8', newline='') as f:
            shown = list(csv.reader(f))
        n = s = x = 0
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                if sheet.cell_type(r, c) not in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                    continue
                field = fields[r][c].strip() if r < len(fields) and c < len(fields[r]) else ''
                display = shown[r][c] if r < len(shown) and c < len(shown[r]) else ''
                n += 1
                if display == field:
                    s += 1
                    continue
                digits = [ch for ch in display if ch.isdigit()]
                if not is_subsequence(digits, [ch for ch in field if ch.isdigit()]):
                    x += 1
                mismatches.append('%s r%d c%d: %r shows %r (%s)' % (name, r + 1, c + 1, field, display,
                                  book.format_map[book.xf_list[sheet.cell_xf_index(r, c)].format_key].format_str))
        total += n
        same += s
        extra += x
        if n:
            print('%-42s %8d %8d %6.2f%% %6d' % (name, n, s, 100.0 * s / n, x))
    print('%-42s %8d %8d %6.2f%% %6d' % ('all', total, same, 100.0 * same / max(total, 1), extra))
    for line in mismatches[:examples]:
        print('  ' + line)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
