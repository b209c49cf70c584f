#!/usr/bin/python3
"""Python's pyodbc on the driver: through the data source and through a
DRIVER=...;Database=... string, numbers exactly, a parameterised query, a
refused write, the query time-out, and files that are no database.  Usage: pyodbc_test.py DRIVER.so OUT-DIR"""
import os
import shutil
import sqlite3
import sys

import pyodbc

driver, out = sys.argv[1], sys.argv[2]
shutil.rmtree(out, ignore_errors=True)
os.makedirs(out + "/odbc")
path = out + "/stars.db"
db = sqlite3.connect(path)
db.executescript("""
CREATE TABLE Stars(ID INTEGER, Name TEXT, Distance REAL, Seen DATE);
INSERT INTO Stars VALUES (100, 'Sol', 0.0, '2024-02-29'),
  (200, 'Sirius', 8.6, NULL), (300, 'Proxima', 10.000000000000002, NULL),
  (400, 'Tau Ceti', 10.0, NULL), (500, 'Big', 9007199254740993, NULL);
""")
db.commit()
db.close()
with open(out + "/odbc/odbc.ini", "w") as ini:
    ini.write("[Veloran]\nDriver=%s\nDatabase=%s\n" % (driver, path))
open(out + "/odbc/odbcinst.ini", "w").close()
os.environ["ODBCSYSINI"] = out + "/odbc"
os.environ["ODBCINI"] = out + "/odbc/odbc.ini"

failures = []


def check(what, got, expected):
    if got != expected:
        failures.append("%s: got %r, expected %r" % (what, got, expected))


import datetime  # noqa: E402

for how in ("DSN=Veloran", "DRIVER={%s};Database=%s" % (driver, path)):
    connection = pyodbc.connect(how)
    cursor = connection.cursor()
    rows = cursor.execute(
        "SELECT ID, Name, Distance, Seen FROM Stars ORDER BY ID").fetchall()
    check(how + " rows", [tuple(r) for r in rows], [
        (100, "Sol", 0.0, datetime.date(2024, 2, 29)),
        (200, "Sirius", 8.6, None),
        (300, "Proxima", 10.000000000000002, None),
        (400, "Tau Ceti", 10.0, None),
        (500, "Big", 9007199254740992, None)])
    # Two stars 10.000000000000002 and 10.0 ly away do not tie.
    check(how + " exact", rows[2][2] > rows[3][2], True)
    found = cursor.execute(
        "SELECT ID FROM Stars WHERE Name = ? OR Distance > ?",
        "Sirius", 10.0).fetchall()
    check(how + " parameters", [r[0] for r in found], [200, 300, 500])
    try:
        cursor.execute("UPDATE Stars SET Name = 'Sun' WHERE ID = 100")
        failures.append(how + ": the UPDATE was not refused")
    except pyodbc.Error as error:
        check(how + " refusal", error.args[0], "25000")
    connection.close()

# A column name too long for ODBC's 16-bit lengths comes cut, not as a
# MemoryError; PRAGMA journal_mode without a value is a read.
connection = pyodbc.connect("DSN=Veloran")
for length in (32766, 32767, 40000):
    cursor = connection.cursor().execute(
        'SELECT 1 AS "%s"' % ("a" * length))
    check("name of %d" % length, len(cursor.description[0][0]),
          min(length, 32766))
    check("row under a name of %d" % length, tuple(cursor.fetchone()), (1,))
check("journal_mode", connection.cursor().execute(
    "PRAGMA journal_mode").fetchone()[0], "delete")
connection.close()

# The query time-out pyodbc sets ends an endless query.
connection = pyodbc.connect("DSN=Veloran")
connection.timeout = 1
try:
    connection.cursor().execute(
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c) "
        "SELECT max(i) FROM c")
    failures.append("the endless query was not ended")
except pyodbc.Error as error:
    check("query time-out", error.args[0], "HYT00")
connection.close()

# Files that are no database are refused (a FIFO without a hang), their
# path not named, nothing created beside them.
os.mkfifo(out + "/fifo.db")
open(out + "/empty.db", "w").close()
wal = sqlite3.connect(out + "/wal.db")
wal.execute("PRAGMA journal_mode=WAL")
wal.execute("CREATE TABLE t(x)")
wal.close()
for name in ("fifo.db", "empty.db", "wal.db"):
    listing = sorted(os.listdir(out))
    try:
        pyodbc.connect("DRIVER={%s};Database=%s/%s" % (driver, out, name))
        failures.append(name + ": connected")
    except pyodbc.Error as error:
        check(name + " state", error.args[0], "08001")
        check(name + " no path", out in error.args[1], False)
    check(name + " nothing created", sorted(os.listdir(out)), listing)

if failures:
    print("\n".join(failures), file=sys.stderr)
    print("0 passed, 1 failed")
    sys.exit(1)
print("1 passed, 0 failed")
