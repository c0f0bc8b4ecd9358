#!/usr/bin/env python3
"""Reads a ZIP archive with Python's zipfile and prints what it found.

usage: zip_check.py ARCHIVE [EXTRACT_DIR]

Prints "members N", then one tab-separated line per central directory entry:
    name  method  flags  version-needed  date-time  size  compressed-size  crc  header-offset
then reads every member in pieces (zipfile checks the CRC-32 and the size at the end of each) and
prints "read NAME LENGTH CRC" with the length and CRC-32 of the bytes it got, or "error NAME: ..."
when zipfile refused the member. With EXTRACT_DIR, member i is also written to EXTRACT_DIR/i.
Exits with status 1 when the archive cannot be opened at all.
"""
import os
import sys
import zipfile
import zlib


def main():
    path = sys.argv[1]
    extract = sys.argv[2] if len(sys.argv) > 2 else None
    try:
        archive = zipfile.ZipFile(path)
    except Exception as exc:
        print('open failed: %r' % (exc,))
        return 1
    infos = archive.infolist()
    print('members %d' % len(infos))
    for info in infos:
        print('\t'.join([
            info.filename, str(info.compress_type), '%04x' % info.flag_bits, str(info.extract_version),
            '%04d-%02d-%02d %02d:%02d:%02d' % info.date_time, str(info.file_size), str(info.compress_size),
            '%08x' % info.CRC, str(info.header_offset)]))
    for index, info in enumerate(infos):
        out = open(os.path.join(extract, str(index)), 'wb') if extract else None
        length = 0
        crc = 0
        try:
            with archive.open(info) as member:
                while True:
                    piece = member.read(1 << 22)
                    if not piece:
                        break
                    length += len(piece)
                    crc = zlib.crc32(piece, crc)
                    if out:
                        out.write(piece)
            print('read %s %d %08x' % (info.filename, length, crc))
        except Exception as exc:
            print('error %s: %r' % (info.filename, exc))
        finally:
            if out:
                out.close()
    return 0


if __name__ == '__main__':
    sys.exit(main())
