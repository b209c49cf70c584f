#!/usr/bin/env python3
"""The search as a Python script over the standard sqlite3 module: what a
user could write instead of the program.  Coordinate-centred at (0, 0, 0)
with the default RA/Dec window, the same formulas as the program, the
nearest 100 ranked, then each star's display name and spectrum looked up
with the program's statements (INT registered as a deterministic function,
so that the block indexes are used).

Usage: peer_search.py DATABASE.db RADIUS
"""
import heapq
import math
import sqlite3
import sys

ONE_SIXTIETH = 0.016666666666666666
ONE_3600TH = 0.0002777777777777778
HOURS_TO_RADIANS = 0.26179938779914913
DEGREES_TO_RADIANS = 0.017453292519943278
MAX_RA = (59.999 * ONE_3600TH + 59 * ONE_SIXTIETH) + 23
MAX_DEC = (59.999 * ONE_3600TH + 59 * ONE_SIXTIETH) + 89


def integer_part(value):
    return None if value is None else int(value)


def main():
    database, radius = sys.argv[1], float(sys.argv[2])
    db = sqlite3.connect(f"file:{database}?mode=ro", uri=True)
    db.create_function("INT", 1, integer_part, deterministic=True)
    sin, cos, sqrt = math.sin, math.cos, math.sqrt
    found = []
    for ra_h, ra_m, ra_s, dec_d, dec_m, dec_s, d, owner in db.execute(
            "SELECT RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, Dec_arcsec, "
            "Distance, OwnerID FROM Positions"):
        if owner is None or owner % 100 != 0 or d is None:
            continue
        ra = ((ra_s or 0) * ONE_3600TH + (ra_m or 0) * ONE_SIXTIETH) + (ra_h or 0)
        sign = 1 if (dec_d or 0) >= 0 else -1
        dec = ((sign * (dec_s or 0)) * ONE_3600TH
               + (sign * (dec_m or 0)) * ONE_SIXTIETH) + (dec_d or 0)
        if d == 0:
            x = y = z = 0.0
        else:
            if ra_h is None or dec_d is None:
                continue
            alpha = ra * HOURS_TO_RADIANS
            theta = (90.0 - dec) * DEGREES_TO_RADIANS
            sin_theta = sin(theta)
            x0 = (cos(alpha) * sin_theta) * d
            y0 = (sin(alpha) * sin_theta) * d
            z0 = cos(theta) * d
            x = (-0.0672 * x0 - 0.8727 * y0) - 0.4835 * z0
            y = (0.4927 * x0 - 0.4504 * y0) + 0.7445 * z0
            z = 0.4602 * z0 - (0.8676 * x0 + 0.1884 * y0)
        dist = sqrt((z * z + y * y) + x * x)
        if dist > radius or not (0 <= ra <= MAX_RA) or not (-MAX_DEC <= dec <= MAX_DEC):
            continue
        found.append((dist, owner))
    long_names = {a: (l or a) for a, l in db.execute(
        "SELECT Abbreviation, LongName FROM CatalogNames")}
    out = [f"<BR>{len(found)} stars were found."]
    for dist, owner in heapq.nsmallest(100, found):
        block = owner // 100
        row = db.execute("SELECT Name FROM ProperNames WHERE INT(OwnerID/100) = ? "
                         "AND IsSystemName = Yes", (block,)).fetchone()
        if row:
            name = row[0] or ""
        else:
            row = db.execute("SELECT CatAbbrev, Value FROM CatalogNumbers WHERE "
                             "INT(OwnerID/100) = ? AND IsSystemName = Yes",
                             (block,)).fetchone()
            name = f"{long_names.get(row[0], row[0])} {row[1]}" if row else ""
        line = f'<BR><A HREF="entry_page.exe?ID={owner}">{name}</A>: {dist:g} light-years'
        row = db.execute("SELECT SpectralClass, LuminosityClass FROM Spectra "
                         "WHERE OwnerID = ?", (owner + 1,)).fetchone()
        if row and row[0] is not None:
            line += f", class {row[0]} {row[1] or ''}"
        out.append(line)
    print("\n".join(out))


if __name__ == "__main__":
    main()
