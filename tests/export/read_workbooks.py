#!/usr/bin/python3
"""Reads back every workbook the export tests wrote (the ctest entry export_readback).

Usage: read_workbooks.py FOLDER

Below FOLDER each NAME.xls comes with NAME.expect: the sheet name and the rows it must hold, as text in
code page 936 (GBK): the sheet name, then each row after a 0x1E byte, its cells separated by 0x1F bytes.
Each workbook is checked three ways:

- its structure, read here byte by byte: the compound file (version 3, 512-byte sectors, mini-stream
  cutoff 4,096, a Workbook stream of at least 4,096 bytes in regular sectors and no mini stream, as the
  common writers do, DIFAT sectors past 109 FAT sectors, every chain exactly as long as its data, no
  sector used twice or left over) and the BIFF8 records (the globals and the sheet in their order,
  CODEPAGE 1200, at least 16 XF, the BOUNDSHEET offset, the SST with its CONTINUE records: no record
  over 8,224 bytes, no string header split, a continued string repeating its option byte; EXTSST,
  DIMENSIONS, one LABELSST per cell; after the sheet's EOF only the zeros that fill a shorter stream up
  to 4,096 bytes);
- by python3-xlrd: the one sheet, its name and every cell;
- by LibreOffice (libreoffice --headless --convert-to csv), with a profile of its own in a scratch
  folder, so that it runs as root without HOME and beside another LibreOffice.

Debian's python3-xlrd is installed for /usr/bin/python3, which is why this script names it; it and
LibreOffice (libreoffice-calc-nogui) are installed by scripts/setup.sh, and a run without either fails.
"""
import csv
import math
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile

try:
    import xlrd
except ImportError:
    sys.exit("read_workbooks: python3-xlrd is missing (scripts/setup.sh installs it)")

SIGNATURE = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"
DIFSECT, FATSECT, ENDOFCHAIN, FREESECT = 0xFFFFFFFC, 0xFFFFFFFD, 0xFFFFFFFE, 0xFFFFFFFF
NOSTREAM = 0xFFFFFFFF

BOF, EOF, CODEPAGE, WINDOW1, FONT, XF, STYLE = 0x0809, 0x000A, 0x0042, 0x003D, 0x0031, 0x00E0, 0x0293
BOUNDSHEET, SST, CONTINUE, EXTSST = 0x0085, 0x00FC, 0x003C, 0x00FF
WSBOOL, DIMENSIONS, LABELSST, WINDOW2 = 0x0081, 0x0200, 0x00FD, 0x023E


class Bad(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Bad(message)


def read_compound(data):
    """The Workbook stream of a compound file, after checking the file's structure."""
    check(len(data) >= 1024 and data[:8] == SIGNATURE, "not a compound file")
    minor, major, order, sector_shift, mini_shift = struct.unpack_from("<HHHHH", data, 24)
    check(major == 3 and minor == 0x3E, "version %d.%d, not 3" % (major, minor))
    check(order == 0xFFFE and sector_shift == 9 and mini_shift == 6, "not 512-byte sectors and 64-byte mini sectors")
    (dir_sectors, fat_count, first_dir, _transaction, cutoff, first_mini_fat, mini_fat_count, first_difat,
     difat_count) = struct.unpack_from("<9I", data, 40)
    check(dir_sectors == 0, "a version-3 file counts no directory sectors")
    check(cutoff == 4096, "mini-stream cutoff %d" % cutoff)
    check((len(data) - 512) % 512 == 0, "the file is not whole sectors")
    sectors = (len(data) - 512) // 512

    def sector(i):
        return data[512 + i * 512:512 + (i + 1) * 512]

    header_difat = struct.unpack_from("<109I", data, 76)
    fat_sectors = list(header_difat[:min(fat_count, 109)])
    check(all(x == FREESECT for x in header_difat[min(fat_count, 109):]), "header DIFAT entries past the FAT")
    if fat_count <= 109:
        check(difat_count == 0 and first_difat == ENDOFCHAIN, "DIFAT sectors without need")
    else:
        check(difat_count == math.ceil((fat_count - 109) / 127),
              "%d FAT sectors need %d DIFAT sectors, not %d" % (fat_count, math.ceil((fat_count - 109) / 127),
                                                                difat_count))
    difat_sectors = []
    s = first_difat
    while s != ENDOFCHAIN:
        check(s < sectors and len(difat_sectors) < difat_count, "DIFAT chain")
        difat_sectors.append(s)
        entries = struct.unpack("<128I", sector(s))
        fat_sectors.extend(entries[:127])
        s = entries[127]
    check(len(difat_sectors) == difat_count, "DIFAT chain length")
    check(all(x == FREESECT for x in fat_sectors[fat_count:]), "DIFAT entries past the FAT")
    fat_sectors = fat_sectors[:fat_count]
    check(len(fat_sectors) == fat_count, "too few FAT sectors listed")
    fat = []
    for f in fat_sectors:
        check(f < sectors, "FAT sector outside the file")
        fat.extend(struct.unpack("<128I", sector(f)))
    check(len(fat) >= sectors and len(fat) - sectors < 128, "the FAT does not fit the file")
    check(all(x == FREESECT for x in fat[sectors:]), "FAT entries past the file")
    used = {}
    for f in fat_sectors:
        check(fat[f] == FATSECT and f not in used, "FAT sector %d not marked" % f)
        used[f] = "FAT"
    for d in difat_sectors:
        check(fat[d] == DIFSECT and d not in used, "DIFAT sector %d not marked" % d)
        used[d] = "DIFAT"

    def chain(start, table, limit, owner, seen):
        out = []
        s = start
        while s != ENDOFCHAIN:
            check(s < limit, "%s chain leaves its area at %d" % (owner, s))
            check(s not in seen, "%s chain reuses %d (%s)" % (owner, s, seen.get(s)))
            seen[s] = owner
            out.append(s)
            s = table[s]
        return out

    directory = b"".join(sector(s) for s in chain(first_dir, fat, sectors, "directory", used))
    entries = []
    for i in range(len(directory) // 128):
        e = directory[i * 128:(i + 1) * 128]
        name_bytes = struct.unpack_from("<H", e, 64)[0]
        name = e[:max(name_bytes - 2, 0)].decode("utf-16-le")
        kind = e[66]
        left, right, child = struct.unpack_from("<3I", e, 68)
        start, size_low, size_high = struct.unpack_from("<3I", e, 116)
        entries.append((name, kind, left, right, child, start, size_low, size_high))
    root = entries[0]
    check(root[0] == "Root Entry" and root[1] == 5, "the first entry is not the root")
    streams = [e for e in entries if e[1] == 2]
    check(len(streams) == 1 and streams[0][0] == "Workbook", "not one stream named Workbook")
    check(entries[root[4]][0] == "Workbook", "the root does not lead to Workbook")
    workbook = streams[0]
    check(workbook[7] == 0, "a version-3 stream size has no high half")
    size = workbook[6]

    check(size >= 4096, "a Workbook stream of %d bytes, under 4,096 (the mini stream)" % size)
    check(root[6] == 0 and mini_fat_count == 0 and first_mini_fat == ENDOFCHAIN, "a mini stream")
    big = chain(workbook[5], fat, sectors, "Workbook", used)
    check(len(big) == math.ceil(size / 512), "Workbook chain %d, not ceil(%d/512)" % (len(big), size))
    stream = b"".join(sector(s) for s in big)[:size]
    check(len(used) == sectors, "%d of %d sectors belong to nothing" % (sectors - len(used), sectors))
    return stream, {"size": size, "fat": fat_count, "difat": difat_count}


def read_records(stream):
    """The records up to the sheet's EOF (the second EOF); what follows may only fill the stream up to
    4,096 bytes with zeros."""
    records = []
    pos = 0
    eofs = 0
    while pos < len(stream) and eofs < 2:
        check(pos + 4 <= len(stream), "a cut record header")
        kind, length = struct.unpack_from("<HH", stream, pos)
        check(length <= 8224, "record 0x%04X of %d bytes" % (kind, length))
        check(pos + 4 + length <= len(stream), "a cut record")
        records.append((pos, kind, stream[pos + 4:pos + 4 + length]))
        pos += 4 + length
        eofs += kind == EOF
    if pos < len(stream):
        check(len(stream) == 4096, "%d bytes after the sheet's EOF in a stream of %d" % (len(stream) - pos,
                                                                                        len(stream)))
        check(stream[pos:] == bytes(len(stream) - pos), "the filling after the sheet's EOF is not zeros")
    return records


def read_sst(parts):
    """The strings of SST and its CONTINUE records, with each string's stream position and offset."""
    total, unique = struct.unpack_from("<II", parts[0][1], 0)
    strings, starts = [], []
    r, off = 0, 8
    for _ in range(unique):
        if off == len(parts[r][1]):
            r, off = r + 1, 0
            check(r < len(parts), "the SST holds fewer strings than it says")
        body = parts[r][1]
        check(len(body) - off >= 3, "a string header is split across records")
        count, option = struct.unpack_from("<HB", body, off)
        check(option in (0, 1), "string options 0x%02X (rich text or extensions)" % option)
        starts.append((parts[r][0] + 4 + off, 4 + off))
        off += 3
        high = option & 1
        pieces = []
        left = count
        while left:
            if off == len(parts[r][1]):
                r, off = r + 1, 0
                check(r < len(parts), "a string runs past the SST")
                repeat = parts[r][1][0]
                check(repeat in (0, 1), "a continued string does not begin with its option byte")
                high, off = repeat & 1, 1
            body = parts[r][1]
            width = 2 if high else 1
            take = min((len(body) - off) // width, left)
            check(take > 0, "a character split across records")
            chunk = body[off:off + take * width]
            pieces.append(chunk.decode("utf-16-le" if high else "latin-1"))
            off += take * width
            left -= take
        strings.append("".join(pieces))
        check(count <= 32767, "a string of %d characters" % count)
    check(r == len(parts) - 1 and off == len(parts[r][1]), "bytes after the last string of the SST")
    return total, strings, starts


def read_biff(stream):
    """The sheet name and the grid of texts, after checking the records."""
    records = read_records(stream)
    kinds = [k for _, k, _ in records]
    i = 0

    def take(kind, what):
        nonlocal i
        check(i < len(kinds) and kinds[i] == kind, "%s expected at record %d, found 0x%04X" %
              (what, i, kinds[i] if i < len(kinds) else -1))
        i += 1
        return records[i - 1]

    def many(kind):
        nonlocal i
        got = []
        while i < len(kinds) and kinds[i] == kind:
            got.append(records[i])
            i += 1
        return got

    _, _, bof = take(BOF, "BOF")
    check(struct.unpack_from("<HH", bof) == (0x0600, 0x0005), "not a BIFF8 workbook globals BOF")
    _, _, codepage = take(CODEPAGE, "CODEPAGE")
    check(struct.unpack("<H", codepage)[0] == 1200, "CODEPAGE is not 1200")
    take(WINDOW1, "WINDOW1")
    fonts = many(FONT)
    check(len(fonts) >= 1, "no FONT")
    xfs = many(XF)
    check(len(xfs) >= 16, "%d XF records, fewer than 16" % len(xfs))
    check(len(many(STYLE)) >= 1, "no STYLE")
    _, _, boundsheet = take(BOUNDSHEET, "BOUNDSHEET")
    check(kinds[i] != BOUNDSHEET, "more than one sheet")
    sheet_offset = struct.unpack_from("<I", boundsheet)[0]
    name_length, name_high = boundsheet[6], boundsheet[7]
    name = boundsheet[8:8 + name_length * (2 if name_high else 1)].decode("utf-16-le" if name_high else "latin-1")
    check(1 <= len(name) <= 31, "a sheet name of %d characters" % len(name))
    check(not any(c in name for c in ':\\/?*[]'), "a forbidden character in the sheet name")
    sst = [take(SST, "SST")]
    sst += many(CONTINUE)
    total, strings, starts = read_sst([(pos, body) for pos, _, body in sst])
    _, _, extsst = take(EXTSST, "EXTSST")
    per_bucket = struct.unpack_from("<H", extsst)[0]
    check(per_bucket >= 8, "EXTSST buckets of %d strings" % per_bucket)
    buckets = (len(extsst) - 2) // 8
    check(buckets == math.ceil(len(strings) / per_bucket), "EXTSST has %d buckets" % buckets)
    for b in range(buckets):
        ib, offset = struct.unpack_from("<IH", extsst, 2 + 8 * b)
        check((ib, offset) == starts[b * per_bucket], "EXTSST bucket %d points elsewhere" % b)
    take(EOF, "EOF of the globals")

    check(i < len(records) and records[i][0] == sheet_offset, "BOUNDSHEET does not point at the sheet's BOF")
    _, _, sheet_bof = take(BOF, "the sheet's BOF")
    check(struct.unpack_from("<HH", sheet_bof) == (0x0600, 0x0010), "not a worksheet BOF")
    take(WSBOOL, "WSBOOL")
    _, _, dims = take(DIMENSIONS, "DIMENSIONS")
    first_row, rows, first_col, cols = struct.unpack_from("<IIHH", dims)
    check(first_row == 0 and first_col == 0, "DIMENSIONS do not start at A1")
    check(rows <= 65536 and cols <= 256, "DIMENSIONS beyond a sheet")
    cells = many(LABELSST)
    check(len(cells) == rows * cols, "%d LABELSST cells for %d x %d" % (len(cells), rows, cols))
    check(total == len(cells), "SST counts %d references for %d cells" % (total, len(cells)))
    grid = [[None] * cols for _ in range(rows)]
    for k, (_, _, body) in enumerate(cells):
        row, col, xf, index = struct.unpack("<HHHI", body)
        check((row, col) == divmod(k, cols), "cells out of order at %d" % k)
        check(xf < len(xfs) and index < len(strings), "a cell refers to nothing")
        grid[row][col] = strings[index]
    take(WINDOW2, "WINDOW2")
    take(EOF, "the sheet's EOF")
    check(i == len(records), "records after the sheet")
    return name, grid


def read_expectation(path):
    with open(path, "rb") as f:
        parts = f.read().decode("gbk").split("\x1e")
    return parts[0], [p.split("\x1f") for p in parts[1:]]


def compare(what, got, want):
    check(len(got) == len(want), "%s: %d rows, %d expected" % (what, len(got), len(want)))
    for r, (g, w) in enumerate(zip(got, want)):
        check(list(g) == list(w), "%s: row %d is %r, %r expected" % (what, r, list(g)[:8], list(w)[:8]))


def read_with_xlrd(path, sheet_name, rows):
    book = xlrd.open_workbook(path)
    check(book.nsheets == 1, "xlrd: %d sheets" % book.nsheets)
    sheet = book.sheet_by_index(0)
    check(sheet.name == sheet_name, "xlrd: sheet %r, %r expected" % (sheet.name, sheet_name))
    grid = [[sheet.cell_value(r, c) for c in range(sheet.ncols)] for r in range(sheet.nrows)]
    compare("xlrd", grid, rows)


def trimmed(rows):
    rows = [list(r) for r in rows]
    for r in rows:
        while r and r[-1] == "":
            r.pop()
    while rows and not rows[-1]:
        rows.pop()
    return rows


def read_with_libreoffice(office, path, rows, scratch):
    # A profile of its own, named by URL: LibreOffice as root under CI has no HOME to keep one in, and
    # one shared with a LibreOffice already running would hand the conversion to that one.
    profile = pathlib.Path(scratch, "profile").as_uri()
    out_dir = os.path.join(scratch, "csv")
    os.makedirs(out_dir, exist_ok=True)
    env = dict(os.environ, HOME=os.environ.get("HOME") or scratch)
    done = subprocess.run([office, "-env:UserInstallation=" + profile, "--headless", "--norestore",
                           "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", out_dir, path],
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env,
                          timeout=600)
    out = os.path.join(out_dir, os.path.splitext(os.path.basename(path))[0] + ".csv")
    check(done.returncode == 0 and os.path.exists(out), "LibreOffice did not convert it (exit %d): %s" %
          (done.returncode, done.stdout.decode("utf-8", "replace").strip()[-300:]))
    with open(out, encoding="utf-8", newline="") as f:
        grid = list(csv.reader(f))
    os.remove(out)
    compare("LibreOffice", trimmed(grid), trimmed(rows))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    workbooks, expectations = [], set()
    for parent, _, names in os.walk(folder):
        for n in names:
            if n.endswith(".xls"):
                workbooks.append(os.path.join(parent, n))
            elif n.endswith(".xls.expect"):
                expectations.add(os.path.join(parent, n[:-len(".expect")]))
    workbooks.sort()
    failures = []
    if not workbooks:
        failures.append("no workbook in %s: run the export tests first" % folder)
    for missing in sorted(expectations - set(workbooks)):
        failures.append("%s: expected but not written" % os.path.relpath(missing, folder))
    for f in failures:
        print("FAIL", f)
    office = shutil.which("libreoffice") or shutil.which("soffice")
    if not office:
        failures.append("LibreOffice is missing (scripts/setup.sh installs it): the workbooks are read without it")
    with tempfile.TemporaryDirectory() as scratch:
        for path in workbooks:
            label = os.path.relpath(path, folder)
            try:
                check(path in expectations, "no .expect beside it")
                sheet_name, rows = read_expectation(path + ".expect")
                with open(path, "rb") as f:
                    stream, layout = read_compound(f.read())
                name, grid = read_biff(stream)
                check(name == sheet_name, "sheet %r, %r expected" % (name, sheet_name))
                compare("records", grid, rows)
                read_with_xlrd(path, sheet_name, rows)
                if office:
                    read_with_libreoffice(office, path, rows, scratch)
                print("ok   %s: %d rows x %d columns, stream %d bytes, %d FAT / %d DIFAT sectors%s" %
                      (label, len(rows), max((len(r) for r in rows), default=0), layout["size"], layout["fat"],
                       layout["difat"], ", LibreOffice too" if office else ""))
            except Exception as e:  # every workbook is read, whatever one of them does
                failures.append("%s: %s" % (label, e))
                print("FAIL %s: %s" % (label, e))
    print("%d workbooks read, %d failures" % (len(workbooks), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
