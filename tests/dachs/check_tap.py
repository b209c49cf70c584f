#!/usr/bin/python3
"""Asks the Veloran table that DaCHS serves, through pyvo and `stilts
tapquery`, for the stars within 10 pc of stars and for a cross-match of an
uploaded table, and compares the stars with those of the site's own
`neighbours` and `cone_search` on the same database.

Usage: check_tap.py TAP_URL BUILD_DIR   (ODBCSYSINI and ODBCINI name the
data source of the programs)"""

import csv
import io
import os
import subprocess
import sys

import pyvo
from astropy.io.votable import parse_single_table
from astropy.table import Table

TEN_PARSECS_LY = 32.6156
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def run_program(build, program, query):
    environment = dict(os.environ, REQUEST_METHOD="GET", QUERY_STRING=query)
    output = subprocess.run([os.path.join(build, program)], env=environment,
                            capture_output=True, check=True).stdout
    head, _, body = output.partition(b"\r\n\r\n")
    if not body:
        head, _, body = output.partition(b"\n\n")
    return body


def neighbour_ids(build, star, ly):
    body = run_program(build, "neighbours", "ID=%d&ly=%r&format=csv" % (star, ly))
    return {int(row["id"]) for row in csv.DictReader(io.StringIO(body.decode("utf-8")))}


def cone_ids(build, ra, dec, radius):
    body = run_program(build, "cone_search", "RA=%r&DEC=%r&SR=%r" % (ra, dec, radius))
    table = parse_single_table(io.BytesIO(body)).to_table()
    column = next(name for name in table.colnames
                  if table[name].info.meta.get("ucd", "") == "meta.id;meta.main"
                  or name.lower() == "id")
    return {int(value) for value in table[column]}


def within_query(star, ly):
    return ("SELECT o.id FROM veloran.stars AS c, veloran.stars AS o "
            "WHERE c.id = %d AND "
            "SQRT(POWER(o.x - c.x, 2) + POWER(o.y - c.y, 2) + "
            "POWER(o.z - c.z, 2)) <= %r" % (star, ly))


def main():
    tap_url, build = sys.argv[1], sys.argv[2]
    service = pyvo.dal.TAPService(tap_url)

    count = service.run_sync("SELECT COUNT(*) AS n FROM veloran.stars").to_table()
    check(int(count["n"][0]) > 0, "the table holds %d stars" % int(count["n"][0]))

    # The Sun and four stars spread through the table.
    ids = service.run_sync("SELECT id FROM veloran.stars WHERE dist IS NOT NULL "
                           "ORDER BY id").to_table()["id"]
    centres = [100] + [int(ids[i * len(ids) // 4]) for i in range(1, 4)] + [int(ids[-1])]
    total = 0
    for star in centres:
        tap = {int(i) for i in service.run_sync(within_query(star, TEN_PARSECS_LY)).to_table()["id"]}
        tap.discard(star)  # the site does not list the centre
        site = neighbour_ids(build, star, TEN_PARSECS_LY)
        total += len(site)
        check(tap == site,
              "within 10 pc of %d: %d stars through TAP, %d on the site"
              % (star, len(tap), len(site)))

    check(total > 0, "%d neighbours found in all" % total)

    stilts = subprocess.run(
        ["stilts", "tapquery", "tapurl=" + tap_url, "ofmt=csv", "out=-",
         "adql=" + within_query(centres[1], TEN_PARSECS_LY)],
        capture_output=True, text=True)
    check(stilts.returncode == 0, "stilts tapquery answers" +
          ("" if stilts.returncode == 0 else ": " + stilts.stderr.strip()[-300:]))
    if stilts.returncode == 0:
        ids = {int(row["id"]) for row in csv.DictReader(io.StringIO(stilts.stdout))}
        ids.discard(centres[1])
        check(ids == neighbour_ids(build, centres[1], TEN_PARSECS_LY),
              "stilts tapquery: the same %d stars" % len(ids))

    # A cross-match of an uploaded table of positions: about sixty stars'
    # places moved by a few tenths of a degree, and places with no star.
    stars = service.run_sync("SELECT id, ra, dec FROM veloran.stars "
                             "WHERE ra IS NOT NULL ORDER BY id").to_table()
    step = max(1, len(stars) // 60)
    positions = [(float(ra) + 0.3, max(-89.0, min(89.0, float(dec) - 0.2)))
                 for ra, dec in zip(stars["ra"][::step], stars["dec"][::step])]
    positions += [(10.0, 80.0), (200.0, -5.0), (359.9, 0.1)]
    upload = Table({"pos": list(range(len(positions))),
                    "ra": [p[0] % 360.0 for p in positions],
                    "dec": [p[1] for p in positions]})
    radius = 2.0
    matches = service.run_sync(
        "SELECT u.pos, s.id FROM TAP_UPLOAD.mine AS u JOIN veloran.stars AS s "
        "ON 1 = CONTAINS(POINT('ICRS', s.ra, s.dec), "
        "CIRCLE('ICRS', u.ra, u.dec, %r))" % radius,
        uploads={"mine": upload}).to_table()
    found = {}
    for pos, star in zip(matches["pos"], matches["id"]):
        found.setdefault(int(pos), set()).add(int(star))
    differing = [pos for pos in range(len(upload))
                 if found.get(pos, set()) != cone_ids(build, float(upload["ra"][pos]),
                                                      float(upload["dec"][pos]), radius)]
    check(not differing and len(matches) > 0,
          "cross-match of %d uploaded positions: %d matches, as the cone "
          "search finds them (differing at %s)" % (len(upload), len(matches), differing))

    if failures:
        print("%d checks failed" % len(failures))
        sys.exit(1)


if __name__ == "__main__":
    main()
