#!/usr/bin/python3
"""The dialect adapter under the ODBC clients an operator uses by hand,
isql and Python's pyodbc: the same rows through the adapter (a data source
without the INT function, a rule standing in for it) as through the
project's driver directly, and bad data sources refused with what to fix.
Usage: clients_test.py ADAPTER.so DRIVER.so DIALECT.so SAMPLE.db OUT-DIR"""

import os
import shutil
import subprocess
import sys

import pyodbc

adapter, driver, dialect, sample, out = map(os.path.abspath, sys.argv[1:6])
shutil.rmtree(out, ignore_errors=True)
os.makedirs(out)
database = "Database=file:%s?mode=ro\n" % os.path.abspath(sample)
with open(os.path.join(out, "odbcinst.ini"), "w") as f:
    f.write("[VeloranSQLite]\nDriver=%s\n" % driver)
with open(os.path.join(out, "odbc.ini"), "w") as f:
    f.write("[Direct]\nDriver=%s\n%sLoadExt=%s\n" % (driver, database, dialect))
    f.write("[Adapted]\nDriver=%s\nTarget=VeloranSQLite\nRewrite1 = INT( => (\n%s"
            % (adapter, database))
    f.write("[NoTarget]\nDriver=%s\n" % adapter)
    f.write("[BadRule]\nDriver=%s\nTarget=VeloranSQLite\nRewrite1 = INT(\n" % adapter)
os.environ["ODBCSYSINI"] = out
os.environ["ODBCINI"] = os.path.join(out, "odbc.ini")

failures = []


def check(what, ok, detail=""):
    if not ok:
        failures.append("%s: %s" % (what, detail))


# pyodbc: its wide calls reach the adapter converted by the driver manager;
# a statement without parameters goes through SQLExecDirect, one with
# parameters through SQLPrepare.
# SQLite names a column by its text: the rewritten one's name changes, the
# literal's must not.
queries = [
    ("SELECT INT(OwnerID/100), Name FROM ProperNames ORDER BY OwnerID", (), False),
    ("SELECT Name FROM ProperNames WHERE INT(OwnerID/100) = ? ORDER BY OwnerID",
     (3234900,), True),
    ("SELECT 'INT(' || Name FROM ProperNames /* INT( */ WHERE INT(OwnerID/100) = 1",
     (), True),
]
direct = pyodbc.connect("DSN=Direct")
adapted = pyodbc.connect("DSN=Adapted")
for text, parameters, same_names in queries:
    expected = [tuple(r) for r in direct.cursor().execute(text, *parameters).fetchall()]
    cursor = adapted.cursor().execute(text, *parameters)
    got = [tuple(r) for r in cursor.fetchall()]
    check("pyodbc " + text, got == expected and len(got) > 0, "%r != %r" % (got, expected))
    names = [d[0] for d in cursor.description]
    direct_names = [d[0] for d in direct.cursor().execute(text, *parameters).description]
    check("pyodbc column names " + text, (names == direct_names) == same_names,
          "%r, %r" % (names, direct_names))
# Without the rule's data source the same text fails: the rule did the work.
try:
    direct_without = pyodbc.connect("DRIVER=%s;%s" % (driver, database.strip()))
    direct_without.cursor().execute(queries[0][0])
    check("without the INT function", False, "the statement worked")
except pyodbc.Error as error:
    check("without the INT function", "INT" in str(error), str(error))
adapted.close()
direct.close()

refusals = [
    ("NoTarget", "IM002", "data source 'NoTarget' has no Target: add Target="),
    ("BadRule", "HY000", "Rewrite1 of data source 'BadRule' is 'INT(': write it as FROM => TO"),
]
for dsn, state, message in refusals:
    try:
        pyodbc.connect("DSN=" + dsn)
        check("pyodbc " + dsn, False, "connected")
    except pyodbc.Error as error:
        check("pyodbc " + dsn, error.args[0] == state and message in error.args[1],
              repr(error.args))

# isql: the rows, and the refusals, as it prints them.
def isql(dsn, text):
    run = subprocess.run(["isql", "-b", "-v", "-d|", dsn], input=text.encode(),
                         capture_output=True, timeout=60)
    return run.returncode, (run.stdout + run.stderr).decode("latin-1")


status, output = isql("Adapted", "SELECT Name FROM ProperNames WHERE INT(OwnerID/100) = 3234900\n")
check("isql rows", status == 0 and "Sirius" in output, output)
for dsn, state, message in refusals:
    status, output = isql(dsn, "")
    check("isql " + dsn, status != 0 and "[unixODBC][Veloran][Adapter]" + message in output,
          output)

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("%d pyodbc queries, %d refusals, isql: all as expected" % (len(queries), len(refusals)))
