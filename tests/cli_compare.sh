#!/usr/bin/env bash
# compare as a teacher runs it on a class folder: the spreadsheet table read
# back as a German spreadsheet reads it must hold the JSON's numbers, one row
# per learner in name order; the picture must decode to the JSON's counts;
# and the exit statuses of what cannot be compared.
# Usage: cli_compare.sh CLI REFERENCE CLASS_FOLDER
set -u
cli=$1
reference=$2
class=$3
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cli" compare "$reference" "$class" >"$work/class.jsonl" || { echo "FAIL compare exited $?"; exit 1; }
"$cli" compare --csv "$reference" "$class" >"$work/class.csv" || { echo "FAIL compare --csv exited $?"; exit 1; }
learner=$(ls "$class" | sort | sed -n 2p)
"$cli" compare --png "$work/difference.png" "$reference" "$class/$learner" >"$work/one.jsonl" ||
    { echo "FAIL compare --png exited $?"; exit 1; }

python3 - "$work" "$class" <<'PYTHON' || failures=$((failures + 1))
import csv, json, os, struct, sys, zlib
work, folder = sys.argv[1], sys.argv[2]
raw = open(os.path.join(work, "class.csv"), "rb").read()
assert raw.startswith(b"\xef\xbb\xbf"), "no byte-order mark"
assert b"\n" not in raw.replace(b"\r\n", b""), "a line not ended by CR LF"
rows = list(csv.reader(raw.decode("utf-8-sig").splitlines(), delimiter=";"))
assert rows[0] == ["Datei", "Ladefehler", "innerhalb %", "zu tief (Zellen)", "zu viel stehen (Zellen)",
                   "max. zu tief", "max. zu viel", "zu tief ab Zeile"], rows[0]
records = [json.loads(line) for line in open(os.path.join(work, "class.jsonl"), encoding="utf-8")]
assert records[0]["event"] == "reference"
learners = records[1:]
names = sorted(os.listdir(folder))
assert [r["file"] for r in learners] == [folder + "/" + n for n in names], "not one record per file in name order"
assert len(rows) == len(learners) + 1, "not one row per learner"
number = lambda text: float(text.replace(",", "."))
for row, record in zip(rows[1:], learners):
    assert row[0] == record["file"], (row[0], record["file"])
    assert row[1] == (record["error"] if record["result"] != 1 else (record["cutError"] or "")), row
    assert abs(number(row[2]) - 100.0 * record["within"] / record["cells"]) < 1e-9, row
    assert int(row[3]) == record["over"] and int(row[4]) == record["under"], row
    assert number(row[5]) == record["maxOver"] and number(row[6]) == record["maxUnder"], row
    first = record["firstOver"]
    assert row[7] == ("" if first is None else str(first["line"])), row
    assert "." not in row[2] + row[5] + row[6], "a decimal point instead of a comma"

# The picture: signature, chunks with good CRCs, one pixel per cell, and
# as many red and blue pixels as cells too deep and with material left.
one = [json.loads(line) for line in open(os.path.join(work, "one.jsonl"), encoding="utf-8")]
data = open(os.path.join(work, "difference.png"), "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n"
at, chunks = 8, {}
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    assert struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0] == zlib.crc32(kind + body), kind
    chunks[kind] = chunks.get(kind, b"") + body
    at += 12 + length
width, height, depth, colour = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
assert (width, height, depth, colour) == (one[0]["columns"], one[0]["rows"], 8, 2)
pixels = zlib.decompress(chunks[b"IDAT"])
assert len(pixels) == height * (3 * width + 1)
red = blue = grey = 0
for row in range(height):
    line = pixels[row * (3 * width + 1):(row + 1) * (3 * width + 1)]
    assert line[0] == 0
    for x in range(1, len(line), 3):
        r, g, b = line[x], line[x + 1], line[x + 2]
        if r == 255 and g == b and g < 255:
            red += 1
        elif b == 255 and r == g and r < 255:
            blue += 1
        elif r == g == b:
            grey += 1
assert (red, blue, grey) == (one[1]["over"], one[1]["under"], one[1]["within"]), (red, blue, grey, one[1])
assert one[1]["over"] > 0, "the picture's learner should cut too deep somewhere"
PYTHON

expect_status() {
    local what=$1 wanted=$2
    shift 2
    "$cli" compare "$@" >/dev/null 2>"$work/errors"
    local status=$?
    if [ "$status" -ne "$wanted" ]; then
        echo "FAIL $what: exit $status (wanted $wanted)"
        failures=$((failures + 1))
    fi
}
expect_status "no learner file" 2 "$reference"
expect_status "an unknown option" 2 --colour "$reference" "$class"
expect_status "a picture of two learners" 2 --png "$work/two.png" "$reference" "$class/$learner" "$reference"
expect_status "a picture of a whole folder" 1 --png "$work/all.png" "$reference" "$class"
expect_status "a reference that cannot be opened" 1 "$work/missing.nc" "$class"
expect_status "a reference with a syntax error" 1 "$class/$(ls "$class" | sort | sed -n 4p)" "$class"
expect_status "a negative tolerance" 1 --tolerance -0.1 "$reference" "$class"
expect_status "a cell of zero" 1 --cell 0 "$reference" "$class"
expect_status "a tool that cannot cut" 1 --tool 1=flat:0 "$reference" "$class"
expect_status "a learner that cannot be opened still compares" 0 "$reference" "$work/missing.nc"
[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
