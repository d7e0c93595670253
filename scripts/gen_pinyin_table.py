#!/usr/bin/env python3
"""Generates helpers/pinyin_table.inc: the pinyin readings of the GB2312 level 1 and 2 characters.

Source: the Unihan database of the Unicode Consortium as Debian's unicode-data package installs it
(/usr/share/unicode/Unihan_Readings.txt.bz2, or Unihan.zip where an older package ships that).

For each cell of lead byte 0xB0-0xF7 and trail byte 0xA1-0xFE that the gb2312 codec decodes, the
table holds up to three readings, each as an initial part and a final part (indices into the part
list of pinyin_table.h). The first reading is the character's first kMandarin value, except where
READING_OVERRIDES says otherwise; further readings come from kHanyuPinlu, kXHC1983, kTGHZ2013 and
kHanyuPinyin, in that order, without tones and without repeats.

Usage: scripts/gen_pinyin_table.py [Unihan_Readings.txt(.bz2) | Unihan.zip] > helpers/pinyin_table.inc
"""
import bz2
import io
import os
import re
import sys
import unicodedata
import zipfile

INITIALS = "zh ch sh b p m f d t n l g k h j q x r z c s y w".split()
FINALS = ("ang eng an ai ao ou er en ei a o e uang iang iong ing ong uai uan iao ian ui iu ie ue in un ia ua "
          "uo i u v").split()
PARTS = INITIALS + FINALS
NO_PART = 0xFF
MAX_READINGS = 3

# kMandarin gives the most customary reading, which for a few characters is not the one that pick
# lists sort them under. The ones decided here, with the reading that comes first:
READING_OVERRIDES = {
    "长": "chang",   # kMandarin has zhǎng; 长 is filed under c (长城, 长安)
}

# Syllables that are a bare consonant (interjections such as 嗯 n, ng, hng): kept as that consonant
# in the initial's place, with no final, so that the first letter is still right.
BARE_SYLLABLES = {"n": "n", "ng": "n", "hng": "h", "m": "m", "hm": "h", "r": "r"}


def default_source():
    for path in ("/usr/share/unicode/Unihan_Readings.txt.bz2", "/usr/share/unicode/Unihan_Readings.txt",
                 "/usr/share/unicode/Unihan.zip"):
        if os.path.exists(path):
            return path
    sys.exit("no Unihan data found: install the Debian package unicode-data")


def read_lines(path):
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            name = next(n for n in z.namelist() if n.endswith("Readings.txt") or n == "Unihan.txt")
            return io.TextIOWrapper(z.open(name), encoding="utf-8").read().splitlines()
    opener = bz2.open if path.endswith(".bz2") else open
    with opener(path, "rt", encoding="utf-8") as f:
        return f.read().splitlines()


def load_readings(path):
    fields = {}
    for line in read_lines(path):
        if not line or line.startswith("#"):
            continue
        cp, key, value = line.split("\t", 2)
        if key in ("kMandarin", "kHanyuPinlu", "kXHC1983", "kTGHZ2013", "kHanyuPinyin"):
            fields.setdefault(chr(int(cp[2:], 16)), {})[key] = value
    return fields


def toneless(syllable):
    """Plain letters: tone marks removed, ü written v, lüe/nüe written lue/nue as the finals have it."""
    s = unicodedata.normalize("NFD", syllable.lower())
    s = s.replace("u\u0308", "v")
    s = "".join(c for c in s if not unicodedata.combining(c))
    s = s.replace("ü", "v")
    if s in ("lve", "nve"):
        s = s[0] + "ue"
    return s


def split_syllable(s):
    """(initial index, final index) or None. A syllable without an initial keeps its final in the
    initial's place and has no final."""
    if s in FINALS:
        return (PARTS.index(s), NO_PART)
    for initial in INITIALS:
        rest = s[len(initial):]
        if s.startswith(initial) and rest in FINALS:
            return (PARTS.index(initial), PARTS.index(rest))
    if s in BARE_SYLLABLES:
        return (PARTS.index(BARE_SYLLABLES[s]), NO_PART)
    return None


def syllables(value):
    # "10028.100:zhōng,zhòng", "zhǎng(1879) cháng(1179)", "zhōng": the letters are the syllables.
    value = unicodedata.normalize("NFC", value)
    return re.findall(r"[^\W\d_]+", value)


def readings_of(ch, entry):
    out = []

    def add(s):
        s = toneless(s)
        parts = split_syllable(s)
        if parts is not None and all(split_syllable(r) != parts for r in out):
            out.append(s)

    first = READING_OVERRIDES.get(ch)
    if first is None:
        first = toneless(entry["kMandarin"].split()[0])
    if split_syllable(first) is None:
        sys.exit(f"{ch}: first reading {first!r} is no initial + final")
    out.append(first)
    for key in ("kMandarin", "kHanyuPinlu", "kXHC1983", "kTGHZ2013", "kHanyuPinyin"):
        for s in syllables(entry.get(key, "")):
            add(s)
    return out[:MAX_READINGS]


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else default_source()
    fields = load_readings(source)
    rows = []
    count = 0
    for lead in range(0xB0, 0xF8):
        for trail in range(0xA1, 0xFF):
            try:
                ch = bytes([lead, trail]).decode("gb2312")
            except UnicodeDecodeError:
                rows.append(f"    {{0, {{}}}}, /* {lead:02X}{trail:02X} unassigned */")
                continue
            entry = fields.get(ch)
            if not entry or "kMandarin" not in entry:
                sys.exit(f"{ch} (U+{ord(ch):04X}) has no kMandarin reading")
            readings = readings_of(ch, entry)
            parts = ", ".join("{%d, %d}" % split_syllable(r) for r in readings)
            rows.append(f"    {{{len(readings)}, {{{parts}}}}}, /* {lead:02X}{trail:02X} {ch} {' '.join(readings)} */")
            count += 1
    for ch, reading in READING_OVERRIDES.items():
        if reading not in readings_of(ch, fields[ch])[:1]:
            sys.exit(f"override of {ch} not applied")
    print("// Generated by scripts/gen_pinyin_table.py from the Unihan database; do not edit.")
    print(f"// {count} characters: GB2312 lead bytes B0-F7 by trail bytes A1-FE, row by row.")
    print("// Each entry: the number of readings, then {initial, final} as indices into the part list")
    print("// (0xFF: no final).")
    print("\n".join(rows))


if __name__ == "__main__":
    main()
