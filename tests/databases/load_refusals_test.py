"""veloran-load-database refuses, before it connects to any server, each
value that the server cannot store as it is, naming table, row, column and
value: one SQLite file a case, made without the schema's CHECKs so that
such values can be in it.  Without the index builder it refuses too,
saying what to install.

Usage: load_refusals_test.py SOURCE_DIR INDEXER
"""

import os
import sqlite3
import subprocess
import sys
import tempfile

loader = os.path.join(sys.argv[1], "admin", "veloran-load-database")
indexer = sys.argv[2]

# (target, table, column, SQL value, what the message must say).  A
# server that does not run is named, so that a load that got past the
# checks fails differently.
CASES = [
    ("postgresql", "Positions", "LastUpdated", "'0000-06-15'",
     "the value '0000-06-15' is a date before the year 1, which PostgreSQL cannot store"),
    ("mariadb", "Positions", "LastUpdated", "'0999-12-31'",
     "the value '0999-12-31' is a date before the year 1000, which MariaDB cannot store"),
    ("postgresql", "Spectra", "LastUpdated", "'2026-02-30'",
     "the value '2026-02-30' is not a date YYYY-MM-DD"),
    ("mariadb", "Positions", "Distance", "9e999",
     "the value inf is infinite, which MariaDB cannot store"),
    ("postgresql", "Positions", "RA_sec", "1e39",
     "the value 1e+39 is beyond the range of a 32-bit float"),
    ("postgresql", "Positions", "RA_hr", "70000",
     "the value 70000 does not fit the column's 16-bit integer"),
    ("mariadb", "StarFacts", "SystemID", "'100'",
     "the value '100' is not an integer"),
    ("postgresql", "ProperNames", "Name", "CAST(X'41004243' AS TEXT)",
     "the value 'A\\x00BC' holds a NUL byte, which the server cannot store"),
    ("mariadb", "StarFacts", "VMag", "'bright'",
     "the value 'bright' is not a number"),
]

SCHEMA = """
CREATE TABLE Positions (PositionID INTEGER PRIMARY KEY, OwnerID, RA_hr, RA_min, RA_sec,
  Dec_deg, Dec_arcmin, Dec_arcsec, Distance, DistanceError, DistanceSource, LastUpdated, Epoch);
CREATE TABLE Spectra (SpectrumID INTEGER PRIMARY KEY, OwnerID, SpectralClass,
  LuminosityClass, SpectrumSource, LastUpdated);
CREATE TABLE ProperNames (ProperNameID INTEGER PRIMARY KEY, OwnerID, Name, IsSystemName);
CREATE TABLE StarFacts (OwnerID INTEGER PRIMARY KEY, VMag, ColourIndex, Parallax,
  ParallaxError, Constellation, SystemID);
INSERT INTO Positions VALUES (1, 100, 0, 0, 0.0, 0, 0, 0.0, 0.0, NULL, 'Sol', '2026-12-07', 2000.0);
INSERT INTO Positions VALUES (2, 200, 1, 2, 3.5, 4, 5, 6.5, 7.25, 0.5, 'HIP', '2026-12-07', 1991.25);
INSERT INTO Positions VALUES (7, 300, 1, 2, 3.5, 4, 5, 6.5, 7.25, 0.5, 'HIP', '2026-12-07', 1991.25);
INSERT INTO Spectra VALUES (3, 201, 'G2', 'V', 'x', '2026-12-07');
INSERT INTO Spectra VALUES (7, 301, 'G2', 'V', 'x', '2026-12-07');
INSERT INTO ProperNames VALUES (7, 300, 'Sol', 1);
INSERT INTO StarFacts VALUES (100, 1.0, 0.5, 10.0, 1.0, 'CMa', NULL);
INSERT INTO StarFacts VALUES (300, 1.0, 0.5, 10.0, 1.0, 'CMa', 300);
"""

failed = 0
with tempfile.TemporaryDirectory() as work:
    for number, (target, table, column, value, expected) in enumerate(CASES):
        path = os.path.join(work, "case%d.db" % number)
        database = sqlite3.connect(path)
        database.executescript(SCHEMA)
        key = {"Positions": "PositionID", "Spectra": "SpectrumID",
               "ProperNames": "ProperNameID", "StarFacts": "OwnerID"}[table]
        row = 300 if table == "StarFacts" else 7
        database.execute("UPDATE %s SET %s = %s WHERE %s = %d" % (table, column, value, key, row))
        database.commit()
        database.close()
        server = (["--host", os.path.join(work, "no-server"), "--port", "1"]
                  if target == "postgresql" else ["--socket", os.path.join(work, "no-server")])
        result = subprocess.run(["/usr/bin/python3", loader, "--quiet", "--target", target]
                                + server + [path], capture_output=True, text=True)
        want = "%s row %d, column %s: %s" % (table, row, column, expected)
        if result.returncode != 1 or want not in result.stderr or "Traceback" in result.stderr:
            failed += 1
            print("FAILED: %s %s.%s = %s: exit %d, expected the message\n  %s\nbut got\n  %s"
                  % (target, table, column, value, result.returncode, want,
                     result.stderr.strip()), file=sys.stderr)
    # The same file without a bad value gets past the checks to the server,
    # which is not there: a message, no traceback.
    path = os.path.join(work, "good.db")
    database = sqlite3.connect(path)
    database.executescript(SCHEMA)
    database.close()
    result = subprocess.run(["/usr/bin/python3", loader, "--quiet", "--target", "postgresql",
                             "--indexer", indexer, "--host", os.path.join(work, "no-server"),
                             "--port", "1", path], capture_output=True, text=True)
    if (result.returncode != 1 or "the server refused" not in result.stderr
            or "Traceback" in result.stderr):
        failed += 1
        print("FAILED: a good file and no server: exit %d, %s"
              % (result.returncode, result.stderr.strip()), file=sys.stderr)
    # No index builder beside the loader nor on the PATH, or not where
    # --indexer says: the message says what to install or name.
    for option, expected in (([], "install veloran-site"),
                             (["--indexer", os.path.join(work, "no-indexer")],
                              "--indexer %s: no such program" % os.path.join(work, "no-indexer"))):
        result = subprocess.run(["/usr/bin/python3", loader, "--quiet", "--target", "postgresql"]
                                + option + ["--host", os.path.join(work, "no-server"),
                                            "--port", "1", path],
                                capture_output=True, text=True, env={"PATH": "/usr/bin:/bin"})
        if result.returncode != 1 or expected not in result.stderr or "Traceback" in result.stderr:
            failed += 1
            print("FAILED: no index builder %s: exit %d, %s"
                  % (option, result.returncode, result.stderr.strip()), file=sys.stderr)
    # A database or reader name that would not stay one quoted identifier.
    for option, name in (("--database", "veloran`; DROP DATABASE mysql; --"),
                         ("--reader", 'reader" SUPERUSER')):
        result = subprocess.run(["/usr/bin/python3", loader, "--quiet", "--target", "mariadb",
                                 "--socket", os.path.join(work, "no-server"), option, name,
                                 path], capture_output=True, text=True)
        if result.returncode != 2 or "only letters, digits and _" not in result.stderr:
            failed += 1
            print("FAILED: %s %s: exit %d, %s" % (option, name, result.returncode,
                                                 result.stderr.strip()), file=sys.stderr)
print("%d of %d cases failed" % (failed, len(CASES) + 5))
sys.exit(1 if failed else 0)
