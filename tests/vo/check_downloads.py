#!/usr/bin/python3
"""Reads the three downloads of one list with the tools that users read them
with, and checks each value against the list's stars.

Usage: check_downloads.py DIR, where DIR holds list.csv, list.json and
list.vot, written from HostileStars() of site/neighbour_downloads_test.cc,
and expected.txt, the numbers of each star as the program formats them;
and error.csv, error.json and error.vot, the replies of a download that
cannot be made, with ERROR_MESSAGE.  Exit status 0 when every file reads
back to the same stars (a page of the whole list: OVERFLOW), and every
error to its message."""

import csv
import json
import math
import os
import subprocess
import sys
import warnings
from xml.etree import ElementTree

try:
    import astropy
    from astropy.io.votable import parse
except ImportError:
    print("check_downloads: astropy is missing; scripts/test installs it "
          "(or: apt-get install python3-astropy)")
    sys.exit(1)

COLUMNS = ["rank", "id", "hip", "name", "centre_distance_ly",
           "centre_distance_error_ly", "distance_ly", "distance_error_ly",
           "ra_deg", "dec_deg", "epoch", "pm_ra_cosdec_mas_yr",
           "pm_dec_mas_yr", "galactic_x_ly", "galactic_y_ly", "galactic_z_ly",
           "spectral_class", "luminosity_class", "v_mag", "centre_v_mag",
           "b_v", "parallax_mas", "parallax_error_mas", "distance_source",
           "doubtful_distance", "constellation", "entry_page"]
# Each column's unit, as the VOTable and the JSON give it.
UNITS = {"centre_distance_ly": "lyr", "centre_distance_error_ly": "lyr",
         "distance_ly": "lyr", "distance_error_ly": "lyr", "ra_deg": "deg",
         "dec_deg": "deg", "epoch": "yr", "pm_ra_cosdec_mas_yr": "mas/yr",
         "pm_dec_mas_yr": "mas/yr", "galactic_x_ly": "lyr",
         "galactic_y_ly": "lyr", "galactic_z_ly": "lyr", "v_mag": "mag",
         "centre_v_mag": "mag", "b_v": "mag", "parallax_mas": "mas",
         "parallax_error_mas": "mas"}
UCDS = {"pm_ra_cosdec_mas_yr": "pos.pm;pos.eq.ra",
        "pm_dec_mas_yr": "pos.pm;pos.eq.dec", "hip": "meta.id.cross"}

# The plain text of HostileStars()'s names and classes, written out by hand
# from the rules of text/html_text.h: references decoded once, tags left
# out, windows-1252 bytes as their characters (0x81 undefined: U+FFFD).
NAMES = [
    "Sol",
    "Sirius",
    "\"Q\", R&D &alpha; 'x'\n\tline,2\r",
    "\x01\x1f\ufffd\u2019\u20ac \u20ac\u2028\U0001F600 & x ",
    None,
    "=HYPERLINK(\"x\") \\ -1",
]
TEXTS = {  # (spectral class, luminosity class, constellation) by star
    0: ("G2", "V", None),
    1: ("A1", "V+DA", "CMa"),
    2: ("K0\"III,", "<V>&", "C\"e,n"),
}
DISTANCE_SOURCES = {1: "HIP", 2: "<\"a,b\">&"}
FIRST_RANK = 101
ERROR_MESSAGE = "The largest distance (ly) is \"not\" a <number>, \u00b0."
NUMBERS = ["id", "hip", "centre_distance_ly", "centre_distance_error_ly",
           "distance_ly", "distance_error_ly", "ra_deg", "dec_deg", "epoch", "pm_ra_cosdec_mas_yr",
           "pm_dec_mas_yr", "galactic_x_ly", "galactic_y_ly", "galactic_z_ly",
           "v_mag", "b_v", "parallax_mas", "parallax_error_mas",
           "centre_v_mag"]


failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def in_xml(text):
    """A text as XML 1.0 can hold it: the program writes the controls it
    does not allow as U+FFFD."""
    if text is None:
        return None
    return "".join("\ufffd" if ord(c) < 32 and c not in "\t\n\r" else c
                   for c in text)


def expected_rows(directory):
    rows = []
    with open(os.path.join(directory, "expected.txt"), encoding="ascii") as f:
        for i, line in enumerate(f):
            words = line.split()
            numbers = dict(zip(NUMBERS, words))
            spectral, luminosity, constellation = TEXTS.get(i, (None,) * 3)
            rows.append({
                "rank": FIRST_RANK + i,
                "name": NAMES[i],
                "spectral_class": spectral,
                "luminosity_class": luminosity,
                "constellation": constellation,
                "distance_source": DISTANCE_SOURCES.get(i),
                "entry_page": "entry_page.exe?ID=" + numbers["id"],
                "doubtful_distance": words[len(NUMBERS)] == "true",
                **{k: None if v == "-" else float(v)
                   for k, v in numbers.items()},
            })
    return rows


def same(value, expected, what):
    if isinstance(expected, bool):
        # CSV writes true or false; JSON and VOTable have booleans.
        if isinstance(value, str):
            value = {"true": True, "false": False}.get(value, value)
        check(value is not None and not isinstance(value, str) and
              bool(value) == expected, f"{what}: {value!r}, expected {expected!r}")
    elif expected is None:
        check(value is None, f"{what}: {value!r}, expected no value")
    elif isinstance(expected, (int, float)):
        check(value is not None and float(value) == float(expected),
              f"{what}: {value!r}, expected {expected!r}")
    else:
        check(value == expected, f"{what}: {value!r}, expected {expected!r}")


def check_csv(directory, rows):
    with open(os.path.join(directory, "list.csv"), "rb") as f:
        raw = f.read()
    check(raw.endswith(b"\r\n"), "csv: the last record does not end with CR LF")
    with open(os.path.join(directory, "list.csv"), encoding="utf-8",
              newline="") as f:
        records = list(csv.reader(f, strict=True))
    check(records[0] == COLUMNS, f"csv: header {records[0]}")
    check(len(records) == len(rows) + 1, f"csv: {len(records) - 1} records")
    for record, row in zip(records[1:], rows):
        check(len(record) == len(COLUMNS), f"csv: record of {len(record)}")
        values = dict(zip(COLUMNS, record))
        for column in COLUMNS:
            value = values.get(column)
            # An empty field is null; a null text is empty too.
            same(value if value != "" else None, row[column],
                 f"csv {row['rank']} {column}")


def check_json(directory, rows):
    with open(os.path.join(directory, "list.json"), encoding="utf-8") as f:
        document = json.load(f)
    check(document["first_rank"] == FIRST_RANK, "json: first_rank")
    check(document["last_rank"] == FIRST_RANK + len(rows) - 1, "json: last_rank")
    check(document["match_count"] == 552, "json: match_count")
    check(document["query_status"] == "OVERFLOW", "json: query_status")
    check(document["description"] ==
          "Stars within 20 light-years of \u03b1 CMa & \"\u00c9ta\"",
          f"json: description {document['description']!r}")
    columns = document["columns"]
    check([c["name"] for c in columns] == COLUMNS,
          f"json: columns {[c['name'] for c in columns]}")
    for column in columns:
        check(column["unit"] == UNITS.get(column["name"]),
              f"json: unit of {column['name']}: {column['unit']!r}")
        check(column["name"] not in UCDS or column["ucd"] == UCDS[column["name"]],
              f"json: UCD of {column['name']}: {column['ucd']!r}")
        check(isinstance(column["description"], str) and column["description"],
              f"json: description of {column['name']}")
    check(document["data"].startswith("Stars <&> \"Ch\u00e9reau\"\u2019s. "),
          f"json: data {document['data']!r}")
    check(len(document["stars"]) == len(rows), "json: stars")
    for star, row in zip(document["stars"], rows):
        check(list(star) == COLUMNS, f"json: keys {list(star)}")
        for column in COLUMNS:
            value = star.get(column)
            # Numbers are JSON numbers (the ID and HIP integers), texts JSON
            # strings.
            kind = (str if column in TEXT_COLUMNS else
                    bool if column == "doubtful_distance" else
                    int if column in ("rank", "id", "hip") else (int, float))
            check(value is None or isinstance(value, kind),
                  f"json {row['rank']} {column}: {value!r} is no {kind}")
            same(value, row[column], f"json {row['rank']} {column}")


def check_votable(directory, rows):
    path = os.path.join(directory, "list.vot")
    # Every warning is a failure: strict parsing raises on the VOTable
    # warnings, and any other one becomes an error here.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        votable = parse(path, verify="exception")
    table = votable.get_first_table()
    statuses = [info.value for info in votable.resources[0].infos
                if info.name == "QUERY_STATUS"]
    check(statuses == ["OVERFLOW"], f"votable: QUERY_STATUS {statuses}")
    schema = os.path.join(os.path.dirname(astropy.__file__), "io", "votable",
                          "data", "VOTable.v1.4.xsd")
    lint = subprocess.run(["xmllint", "--noout", "--schema", schema, path],
                          capture_output=True, text=True)
    check(lint.returncode == 0, f"votable: xmllint: {lint.stderr.strip()}")
    names = [field.name for field in table.fields]
    check(names == COLUMNS, f"votable: fields {names}")
    units = {field.name: field.unit.to_string("vounit") if field.unit else None
             for field in table.fields}
    for name, unit in units.items():
        expected = UNITS.get(name)
        # astropy writes mas/yr as VOUnit's mas.yr**-1.
        check(unit == expected or (expected == "mas/yr" and unit == "mas.yr**-1"),
              f"votable: unit of {name}: {unit!r}, expected {expected!r}")
    for field in table.fields:
        check(field.name not in UCDS or field.ucd == UCDS[field.name],
              f"votable: UCD of {field.name}: {field.ucd!r}")
        check(field.name not in ("id", "hip") or field.datatype == "int",
              f"votable: {field.name} is {field.datatype}")
    coosys = table._votable.resources[0].coordinate_systems[0]
    check(coosys.system == "ICRS" and coosys.epoch is None,
          f"votable: COOSYS {coosys.system} {coosys.epoch}: J2000 claimed "
          "for stars of other epochs")
    data = table.array
    check(len(data) == len(rows), f"votable: {len(data)} rows")
    for i, row in enumerate(rows):
        for column in COLUMNS:
            value = data[column][i]
            masked = data.mask[column][i]
            if column in ("rank", "id", "hip"):
                value = None if masked else float(value)
            elif column == "doubtful_distance":
                value = None if masked else bool(value)
            elif column in TEXT_COLUMNS:
                value = None if masked or value == "" else str(value)
            else:
                value = None if masked or math.isnan(value) else float(value)
            expected = row[column]
            if column in TEXT_COLUMNS and expected is not None:
                # astropy strips the blanks around a cell's text, which the
                # document itself keeps (below).
                expected = in_xml(expected).strip() or None
            same(value, expected, f"votable {row['rank']} {column}")
    # The cells' texts as XML has them, every character kept.
    namespace = {"v": "http://www.ivoa.net/xml/VOTable/v1.3"}
    cells = [[td.text for td in tr.findall("v:TD", namespace)]
             for tr in ElementTree.parse(path).getroot().iterfind(".//v:TR", namespace)]
    for cell, row in zip(cells, rows):
        same(cell[COLUMNS.index("name")], in_xml(row["name"]),
             f"votable {row['rank']} name as XML")


def check_errors(directory):
    """The error of each format, read as its readers read it."""
    with open(os.path.join(directory, "error.csv"), newline="",
              encoding="utf-8") as f:
        records = list(csv.reader(f))
    check(records == [["error"], [ERROR_MESSAGE]], f"csv error: {records}")
    with open(os.path.join(directory, "error.json"), encoding="utf-8") as f:
        document = json.load(f)
    check(document == {"query_status": "ERROR", "error": ERROR_MESSAGE},
          f"json error: {document}")
    path = os.path.join(directory, "error.vot")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        votable = parse(path, verify="exception")
    infos = [(info.name, info.value, info.content)
             for info in votable.resources[0].infos]
    check(infos == [("QUERY_STATUS", "ERROR", ERROR_MESSAGE)],
          f"votable error: {infos}")
    schema = os.path.join(os.path.dirname(astropy.__file__), "io", "votable",
                          "data", "VOTable.v1.4.xsd")
    lint = subprocess.run(["xmllint", "--noout", "--schema", schema, path],
                          capture_output=True, text=True)
    check(lint.returncode == 0, f"votable error: xmllint: {lint.stderr.strip()}")


TEXT_COLUMNS = {"name", "spectral_class", "luminosity_class", "constellation",
                "distance_source", "entry_page"}


def main():
    directory = sys.argv[1]
    rows = expected_rows(directory)
    check(len(rows) == len(NAMES), f"{len(rows)} stars, expected {len(NAMES)}")
    check_csv(directory, rows)
    check_json(directory, rows)
    check_votable(directory, rows)
    check_errors(directory)
    for failure in failures:
        print("check_downloads:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
