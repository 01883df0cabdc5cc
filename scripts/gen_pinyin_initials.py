#!/usr/bin/env python3
"""Generate the initials table of the GB2312 level-2 characters.

For each of the 3008 level-2 characters of GB2312 (rows 56..87, positions
1..94, all of them assigned), in code order, the table holds the upper-case
initial letter of the character's most common Mandarin reading, or "[" when
the reading list has no reading for it.

Reading source: the Unihan database as shipped by the Debian package
"unicode-data" (version 15.0.0-1 was used for the committed table), file
/usr/share/unicode/Unihan_Readings.txt.bz2. The most common reading is the
first value of the kMandarin field; characters without kMandarin fall back to
the first reading of kHanyuPinlu, kXHC1983, kHanyuPinyin and kTGHZ2013 in
that order.

The package need not be installed system-wide:
    apt-get download unicode-data
    dpkg -x unicode-data_*.deb /tmp/ud
    python3 scripts/gen_pinyin_initials.py \
        --unihan /tmp/ud/usr/share/unicode/Unihan_Readings.txt.bz2

The GB2312 code to character mapping is Python's own "gb2312" codec.
Output: src/hecr/items/pinyin_level2_table.inc (one string literal per GB2312
row), plus a short summary on standard error.
"""

import argparse
import bz2
import os
import re
import sys
import unicodedata

FIRST_ROW = 56
LAST_ROW = 87
ROW_SIZE = 94
TABLE_SIZE = 3008
NO_INITIAL = "["

# Fields tried in order; the first reading of the first present field wins.
READING_FIELDS = ("kMandarin", "kHanyuPinlu", "kXHC1983", "kHanyuPinyin", "kTGHZ2013")

# The letters the table is known to start with and its known count of entries
# without a reading, printed beside the derived ones as a check.
REFERENCE_PREFIX = "CJWGNSPGCGNE[Y[BTYYZ"
REFERENCE_NO_INITIAL_COUNT = 41


def open_text(path):
    if path.endswith(".bz2"):
        return bz2.open(path, "rt", encoding="utf-8")
    return open(path, "r", encoding="utf-8")


def first_reading(field, value):
    """Return the first pinyin syllable of a Unihan reading field value."""
    first = value.split()[0]
    if field in ("kXHC1983", "kHanyuPinyin", "kTGHZ2013"):
        # "0161.060:chù" or "53311.110:cáng,zàng,zāng"
        first = first.split(":", 1)[1].split(",")[0]
    elif field == "kHanyuPinlu":
        # "cáng(156)"
        first = first.split("(", 1)[0]
    return first


def load_readings(path):
    readings = {}
    line_re = re.compile(r"^U\+([0-9A-F]{4,6})\t(k\w+)\t(.+)$")
    with open_text(path) as f:
        for line in f:
            m = line_re.match(line.rstrip("\n"))
            if not m or m.group(2) not in READING_FIELDS:
                continue
            readings.setdefault(int(m.group(1), 16), {})[m.group(2)] = m.group(3)
    return readings


def initial_of(syllable):
    """Upper-case base letter of a pinyin syllable: 'lǜ' -> 'L', 'ń' -> 'N'."""
    base = unicodedata.normalize("NFD", syllable)[0].upper()
    if not ("A" <= base <= "Z"):
        raise ValueError("unexpected reading %r" % syllable)
    return base


def level2_characters():
    chars = []
    for row in range(FIRST_ROW, LAST_ROW + 1):
        for pos in range(1, ROW_SIZE + 1):
            try:
                chars.append(bytes([0xA0 + row, 0xA0 + pos]).decode("gb2312"))
            except UnicodeDecodeError:
                continue  # unassigned position: not part of the table
    return chars


# Level-1 characters are sorted by reading, so their initials are known from
# their codes alone; checking the reading source against them shows how well
# its first reading matches the common one.
LEVEL1_RANGES = [(1601, "A"), (1637, "B"), (1833, "C"), (2078, "D"), (2274, "E"),
                 (2302, "F"), (2433, "G"), (2594, "H"), (2787, "J"), (3106, "K"),
                 (3212, "L"), (3472, "M"), (3635, "N"), (3723, "O"), (3730, "P"),
                 (3858, "Q"), (4027, "R"), (4086, "S"), (4390, "T"), (4558, "W"),
                 (4684, "X"), (4925, "Y"), (5249, "Z"), (5590, None)]


def level1_disagreements(readings):
    out = []
    for (first, letter), (nxt, _) in zip(LEVEL1_RANGES, LEVEL1_RANGES[1:]):
        for code in range(first, nxt):
            if not 1 <= code % 100 <= ROW_SIZE:
                continue
            ch = bytes([0xA0 + code // 100, 0xA0 + code % 100]).decode("gb2312")
            got = reading_initial(readings.get(ord(ch), {}))
            if got != letter:
                out.append("%s(%s>%s)" % (ch, letter, got))
    return out


def reading_initial(fields):
    for field in READING_FIELDS:
        if field in fields:
            return initial_of(first_reading(field, fields[field]))
    return None


def build_table(readings):
    letters = []
    missing = []
    for ch in level2_characters():
        letter = reading_initial(readings.get(ord(ch), {}))
        if letter is None:
            letter = NO_INITIAL
            missing.append(ch)
        letters.append(letter)
    return "".join(letters), missing


def write_inc(path, table):
    lines = [
        "// Initial letter of the most common Mandarin reading of each GB2312",
        "// level-2 character, in code order (rows 56..87, 94 per row); \"[\"",
        "// marks a character without a reading. Generated by",
        "// scripts/gen_pinyin_initials.py from the Unihan readings; do not edit.",
    ]
    for i in range(0, len(table), ROW_SIZE):
        row = FIRST_ROW + i // ROW_SIZE
        lines.append('"%s"  // row %d' % (table[i:i + ROW_SIZE], row))
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--unihan", default="/usr/share/unicode/Unihan_Readings.txt.bz2",
                    help="Unihan_Readings.txt or .txt.bz2")
    ap.add_argument("--out", default=os.path.join(here, "..", "src", "hecr", "items",
                                                  "pinyin_level2_table.inc"))
    args = ap.parse_args()

    readings = load_readings(args.unihan)
    table, missing = build_table(readings)
    if len(table) != TABLE_SIZE:
        sys.exit("expected %d level-2 characters, found %d" % (TABLE_SIZE, len(table)))
    write_inc(args.out, table)

    prefix = table[:len(REFERENCE_PREFIX)]
    diffs = [(i, level2_characters()[i], REFERENCE_PREFIX[i], prefix[i])
             for i in range(len(REFERENCE_PREFIX)) if REFERENCE_PREFIX[i] != prefix[i]]
    print("entries: %d, without reading: %d (reference table: %d)"
          % (len(table), len(missing), REFERENCE_NO_INITIAL_COUNT), file=sys.stderr)
    print("prefix: %s (reference %s)" % (prefix, REFERENCE_PREFIX), file=sys.stderr)
    for i, ch, want, got in diffs:
        print("  entry %d %s U+%04X: reference %s, derived %s" % (i + 1, ch, ord(ch), want, got),
              file=sys.stderr)
    if missing:
        print("without reading: " + "".join(missing), file=sys.stderr)
    level1 = level1_disagreements(readings)
    print("level-1 characters whose first reading leaves their range: %d %s"
          % (len(level1), " ".join(level1)), file=sys.stderr)


if __name__ == "__main__":
    main()
