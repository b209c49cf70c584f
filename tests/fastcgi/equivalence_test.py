#!/usr/bin/env python3
"""Each program of the site answers the same bytes as a FastCGI worker as it
does run once per request.

Usage: equivalence_test.py BUILD_DIR [--random N] [--seed S]

For each of the six programs one worker answers, one after another, a
table of requests (hostile ones among them, each followed by ordinary
ones, so that whatever a request leaves behind shows in the next) and N
random ones; each reply (standard output, byte for byte, and the exit
status) is compared with the program run as a CGI program for the same
request.  The worker is then asked the same requests again, in reverse
order, and must still answer the same.
"""

import argparse
import os
import random
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fastcgi  # noqa: E402

HOSTILE = [
    None,  # no QUERY_STRING at all
    "",
    "ID=150",
    "ID=100&ly=1e999&minLY=-1e999",
    "X=1e999&ly=1e999",
    "ly=abc&minRAHour=25",
    "minDecDeg=-91&maxDecDeg=91",
    "&&&===&ID",
    "ID=" + "9" * 400,
    "star=" + "%FF" * 200,
    "star=Sirus&size=1000&page=99999",
    "RA=abc&DEC=1e999&SR=-1",
    "RA=10&DEC=10&SR=1e308&MAXREC=-5&VERB=9",
    "name=%27%3Cscript%3E&plane=zz&sort=%00&order=up",
    "x=" + "A" * 600 + "&ly=10",
]

ORDINARY = {
    "neighbor_search": ["ID=100&ly=20", "ly=10", "X=3&Y=4&Z=5&ly=12&minLY=2",
                        "minRAHour=5&maxRAHour=6&ly=1000"],
    "entry_page.exe": ["ID=100", "ID=700", "ID=99900", "ID=abc",
                       "ID=323490000&view=sky", "ID=100&view=sky",
                       "ID=100&view=map"],
    # A search around a star it cannot name, then the bare form: nothing of
    # the one stays in the other.
    "find_star": ["name=Sirius", "name=Sun", "name=Tau+Ceti", "name=zzzz",
                  "star=Zzyzx&ly=20&minLY=5", ""],
    "neighbours": ["ID=100&ly=20&size=5&page=2", "star=Sirius&ly=15",
                   "X=1&Y=1&Z=1&ly=30&sort=name&order=desc&plane=xz",
                   "ly=20&format=csv", "ly=20&format=json",
                   "ly=20&format=votable"],
    "cone_search": ["RA=101.28&DEC=-16.7&SR=10", "RA=0&DEC=0&SR=0",
                    "RA=200&DEC=-60&SR=5&VERB=3&MAXREC=2"],
    "health": ["", "full=1"],
}

WINDOW = ["ly", "minLY", "minRAHour", "minRAMin", "minRASec", "maxRAHour",
          "maxRAMin", "maxRASec", "minDecDeg", "minDecMin", "minDecSec",
          "maxDecDeg", "maxDecMin", "maxDecSec"]
NUMBERS = ["0", "1", "2.5", "-3", "15", "20", "100", "1e3", "59.9", "23",
           "89", "-89", "", "x", "1e999", "0x10", " 7", "+4"]
NAMES = ["Sirius", "Sun", "Alpha+Centauri", "61+Cygni", "Betelguese",
         "Vega", "Procyon", "zz", "", "%C3%A9"]


DROP_POSITION_INDEX = """
DROP TRIGGER PositionIndexStaleOnInsert;
DROP TRIGGER PositionIndexStaleOnUpdate;
DROP TRIGGER PositionIndexStaleOnDelete;
DROP TABLE PositionIndexInfo;
DROP TABLE PositionIndex;
"""

# Failed reads, injected by the programs linked with the ODBC double (the
# worker's double reads the faults from the file VELORAN_ODBC_FAULTS_FILE
# names, which holds them for one request only), each followed by
# the same request without a fault: a worker answers a failed read as the
# program run once does, and the next request from a fresh start.  The
# faults name kinds of statements, not numbers: a worker's look-ups carry
# the number as a parameter.  Each fault comes with the first request after
# the database has changed (its file touched), which a worker reads afresh,
# as the program run once reads everything.  Texts without a terminator
# (NoTerminator) are compared with the program run once without the fault:
# the worker must read them as a driver that ends them well gives them.
FAULTS = {
    "neighbor_search": [
        ("ID=100&ly=20", "ExecFail:FROM Positions"),
        ("ly=20", "FetchFail:FROM Positions:5"),
        ("ly=20", "ExecFail:FROM CatalogNames"),
        ("ly=20", "FetchFail:FROM ProperNames:0"),
        ("ID=100&ly=20", "ExecFail:FROM Spectra"),
        ("ID=100&ly=20", "ExecInfo:FROM Positions"),
        ("ly=20", "Connect"),
        ("ly=20", "AllocStmt"),
        ("ID=100&ly=20", "NoTerminator"),
        ("ly=20", "ConnectMessage:700;NoTerminator"),
    ],
    "entry_page.exe": [
        ("ID=100", "ExecFail:FROM StarFacts WHERE OwnerID"),
        ("ID=100", "FetchFail:ProperNameID:1"),
        ("ID=100", "FetchFail:FROM Positions:2"),
        ("ID=100", "Connect"),
        ("ID=100", "NoTerminator"),
        ("ID=323490000", "NoTerminator"),
        ("ID=323490000&view=sky", "FetchFail:FROM Positions:7"),
    ],
    "find_star": [
        ("name=Sirius", "ExecFail:WHERE n.Key = ?"),
        ("name=Siriux", "ExecFail:WHERE n.Key > ?"),
        ("name=alpha+Cen", "NoTerminator"),
        ("name=Siriux", "NoTerminator"),
    ],
    "neighbours": [
        ("ID=100&ly=20", "FetchFail:FROM Positions:5"),
        ("ly=20&format=csv", "ExecFail:FROM Spectra"),
        ("ID=100&ly=20", "NoTerminator"),
    ],
    "cone_search": [
        ("RA=101.28&DEC=-16.7&SR=10", "FetchFail:FROM Positions:2"),
        ("RA=101.28&DEC=-16.7&SR=10", "Connect"),
    ],
    "health": [
        ("", "ExecFail:INT(OwnerID/100)"),
        ("", "FetchFail:FROM Spectra:0"),
        ("", "ExecFail:WHERE n.Key = ?"),
        ("", "Connect"),
        ("", "NoTerminator"),
        ("", "ConnectMessage;NoTerminator"),
    ],
}


def own_data_source(build, directory, without_index=False):
    """A copy of the sample database with a data source of its own in
    "directory" (without its position index: the pages run once then read
    Positions as a worker does); returns the environment that names it and
    the copy."""
    database = os.path.join(directory, "sample.db")
    shutil.copyfile(os.path.join(build, "sample.db"), database)
    if without_index:
        with sqlite3.connect(database) as connection:
            connection.executescript(DROP_POSITION_INDEX)
        connection.close()
    shutil.copyfile(os.path.join(build, "odbc", "odbcinst.ini"),
                    os.path.join(directory, "odbcinst.ini"))
    with open(os.path.join(build, "odbc", "odbc.ini")) as f:
        lines = f.read().splitlines()
    with open(os.path.join(directory, "odbc.ini"), "w") as f:
        for line in lines:
            if line.startswith("Database="):
                line = "Database=file:%s?mode=ro" % database
            f.write(line + "\n")
    return {"PATH": "/usr/bin:/bin", "ODBCSYSINI": directory,
            "ODBCINI": os.path.join(directory, "odbc.ini")}, database


def compare_faults(build, failures):
    """The programs linked with the ODBC double, as workers and run once,
    under the faults of FAULTS; returns the number of replies compared.  The
    database has no position index, so that both read the rows by the same
    statements."""
    holder = tempfile.TemporaryDirectory(prefix="veloran-faults-")
    env, database = own_data_source(build, holder.name, without_index=True)
    faults_file = os.path.join(holder.name, "faults")
    worker_env = dict(env, VELORAN_ODBC_FAULTS_FILE=faults_file)
    changes = 0
    compared = 0
    for program, cases in FAULTS.items():
        name = program.replace(".exe", "")
        path = os.path.join(build, "tests", name + "_double" +
                            (".exe" if program.endswith(".exe") else ""))
        worker = fastcgi.Worker(path, worker_env)
        try:
            for query, faults in cases:
                for fault in (faults, None):
                    params = cgi_params(program, query)
                    cgi_env = dict(env)
                    cgi_env.update(params)
                    cgi_env.pop("QUERY_STRING", None)
                    if fault is not None:
                        changes += 1
                        stamp = time.time_ns() + changes * 1000000
                        os.utime(database, ns=(stamp, stamp))
                        if fault != "NoTerminator":
                            cgi_env["VELORAN_ODBC_FAULTS"] = fault
                    out, status, err, _ = fastcgi.run_cgi(path, cgi_env, query)
                    with open(faults_file, "w") as f:
                        f.write(fault or "")
                    reply = worker.request(params)
                    with open(faults_file, "w") as f:
                        pass
                    compared += 1
                    if (reply.stdout, reply.status, reply.stderr) != (
                            out, status, err):
                        failures.append(
                            "FAIL %s %r with %r: status %d (CGI %d), stderr "
                            "%r (CGI %r), stdout equal: %s" % (
                                program, query, fault, reply.status, status,
                                reply.stderr, err, reply.stdout == out))
        finally:
            stopped, log = worker.stop()
        if stopped != 0:
            failures.append("FAIL %s double: the worker ended with %d: %s" %
                            (program, stopped, log[-2000:]))
    return compared


def compare_health_across_renames(build, failures):
    """The health check as a worker, which keeps its connection, while its
    database is renamed away and back: each reply the one the program run
    once gives, 503 while the file is away; returns the replies compared."""
    holder = tempfile.TemporaryDirectory(prefix="veloran-health-")
    env, database = own_data_source(build, holder.name)
    path = os.path.join(build, "health")
    worker = fastcgi.Worker(path, env)
    compared = 0
    try:
        for step, expected in (("there", 0), ("away", 255), ("still away", 255),
                               ("back", 0)):
            if step == "away":
                os.rename(database, database + ".away")
            elif step == "back":
                os.rename(database + ".away", database)
            params = cgi_params("health", None)
            cgi_env = dict(env)
            cgi_env.update(params)
            # The driver's own complaint too goes with the request's
            # standard error, as it does from the program run once.
            out, status, err = fastcgi.run_cgi(path, cgi_env, None)[:3]
            reply = worker.request(params)
            compared += 1
            if (reply.stdout, reply.status, reply.stderr) != (out, status, err) \
                    or status != expected:
                failures.append(
                    "FAIL health with the database %s: status %d (CGI %d, "
                    "expected %d), stderr %r (CGI %r), stdout equal: %s" % (
                        step, reply.status, status, expected, reply.stderr,
                        err, reply.stdout == out))
    finally:
        stopped, log = worker.stop()
    if stopped != 0:
        failures.append("FAIL health: the worker ended with %d: %s" %
                        (stopped, log[-2000:]))
    return compared


# A sample whose kept tables hold what the plain sample's do not: a
# catalogue whose long name is not its abbreviation, names, spectra and
# facts that are NULL, and blocks and stars with two rows that differ (a worker
# leaves those to the database's look-up, which says which comes first).
KEPT_VARIANT = """
UPDATE CatalogNames SET LongName = 'Henry Draper' WHERE Abbreviation = 'HD';
UPDATE CatalogNames SET LongName = 'Hipparcos' WHERE Abbreviation = 'HIP';
UPDATE ProperNames SET Name = NULL WHERE ProperNameID =
  (SELECT MAX(ProperNameID) FROM ProperNames WHERE IsSystemName = 1);
UPDATE CatalogNumbers SET CatAbbrev = NULL WHERE CatalogNumberID =
  (SELECT MIN(CatalogNumberID) FROM CatalogNumbers WHERE IsSystemName = 1);
UPDATE Spectra SET SpectralClass = NULL WHERE SpectrumID =
  (SELECT MIN(SpectrumID) FROM Spectra);
UPDATE StarFacts SET VMag = NULL, Constellation = NULL WHERE OwnerID =
  (SELECT MIN(OwnerID) FROM StarFacts WHERE OwnerID > 100);
INSERT INTO ProperNames (ProperNameID, OwnerID, Name, IsSystemName)
  SELECT -ProperNameID, OwnerID + 1, 'Other ' || Name, 1 FROM ProperNames
  WHERE IsSystemName = 1 ORDER BY ProperNameID LIMIT 2;
INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
  SELECT OwnerID + 1, 'Later ' || Name, 1 FROM ProperNames
  WHERE IsSystemName = 1 AND ProperNameID > 0 ORDER BY ProperNameID DESC
  LIMIT 2;
INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
  SELECT OwnerID + 1, 'HD', Value || '0', 1 FROM CatalogNumbers
  WHERE IsSystemName = 1 ORDER BY CatalogNumberID LIMIT 3;
INSERT INTO Spectra (SpectrumID, OwnerID, SpectralClass, LuminosityClass)
  SELECT -SpectrumID, OwnerID, 'X9', NULL FROM Spectra
  ORDER BY SpectrumID LIMIT 3;
"""


def compare_kept_variant(build, failures):
    """A worker on KEPT_VARIANT against the program run once, for the
    ordinary requests of the programs that list stars; returns the replies
    compared."""
    holder = tempfile.TemporaryDirectory(prefix="veloran-kept-")
    env, database = own_data_source(build, holder.name)
    # The name indexes use INT(): the dialect extension is loaded first.
    changed = subprocess.run(
        ["sqlite3", "-batch", "-bail", database],
        input=".load %s\n%s" % (os.path.join(build, "veloran_dialect.so"),
                                 KEPT_VARIANT),
        text=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if changed.returncode != 0:
        failures.append("FAIL the kept variant could not be written: %s" %
                        changed.stderr)
        return 0
    compared = 0
    for program in ("neighbor_search", "neighbours", "entry_page.exe",
                    "cone_search", "find_star"):
        path = os.path.join(build, program)
        worker = fastcgi.Worker(path, env)
        try:
            for query in ORDINARY[program] + ORDINARY[program]:
                params = cgi_params(program, query)
                cgi_env = dict(env)
                cgi_env.update(params)
                cgi_env.pop("QUERY_STRING", None)
                out, status, _, _ = fastcgi.run_cgi(path, cgi_env, query)
                reply = worker.request(params)
                compared += 1
                if (reply.stdout, reply.status) != (out, status):
                    failures.append("FAIL %s %r on the kept variant: status %d "
                                    "(CGI %d), stdout equal: %s" % (
                                        program, query, reply.status, status,
                                        reply.stdout == out))
        finally:
            stopped, log = worker.stop()
        if stopped != 0:
            failures.append("FAIL %s on the kept variant: the worker ended "
                            "with %d: %s" % (program, stopped, log[-2000:]))
    return compared


def random_query(program, chance):
    parts = []
    if program == "cone_search":
        for name in ("RA", "DEC", "SR"):
            if chance.random() < 0.9:
                parts.append(name + "=" + chance.choice(
                    NUMBERS + [str(chance.uniform(0, 360))]))
        if chance.random() < 0.3:
            parts.append("VERB=" + chance.choice(["1", "2", "3", "0", "x"]))
        if chance.random() < 0.3:
            parts.append("MAXREC=" + chance.choice(["0", "1", "5", "-1"]))
        return "&".join(parts)
    if program == "find_star":
        return "name=" + chance.choice(NAMES)
    if program == "entry_page.exe":
        return "ID=" + chance.choice([str(100 * chance.randint(0, 40)),
                                      "x", "", "150", "-100"])
    if chance.random() < 0.5:
        parts.append("ID=" + str(100 * chance.randint(0, 40)))
    elif program == "neighbours" and chance.random() < 0.3:
        parts.append("star=" + chance.choice(NAMES))
    else:
        for axis in ("X", "Y", "Z"):
            if chance.random() < 0.7:
                parts.append(axis + "=" + chance.choice(NUMBERS))
    for name in chance.sample(WINDOW, chance.randint(0, 5)):
        parts.append(name + "=" + chance.choice(NUMBERS))
    if program == "neighbours":
        for name, values in (("size", ["1", "10", "1000", "0", "x"]),
                             ("page", ["1", "2", "40", "-1"]),
                             ("sort", ["name", "distance", "ra", "zz"]),
                             ("order", ["asc", "desc"]),
                             ("plane", ["xy", "xz", "yz", "sky", "q"]),
                             ("format", ["csv", "json", "votable", "html"])):
            if chance.random() < 0.25:
                parts.append(name + "=" + chance.choice(values))
    chance.shuffle(parts)
    return "&".join(parts)


# Requests beyond a GET of a program's address: (program, method, PATH_INFO,
# query, form body).  A form after a request without one shows a body left
# behind; the cone search's resources read the database and the address.
SERVICE_REQUESTS = [
    ("cone_search", "POST", None, None, b"RA=217&DEC=-62&SR=3&VERB=3"),
    ("cone_search", "POST", None, "VERB=1", b"RA=217&DEC=-62&SR=3"),
    ("cone_search", "POST", None, "RA=1", b"RA=217&DEC=-62&SR=3"),
    ("cone_search", "POST", None, None, b"RA=217&DEC=-62&SR=3&RA=" + b"9" * 5000),
    ("cone_search", "POST", None, None, b""),
    ("cone_search", "GET", "/capabilities", None, None),
    ("cone_search", "GET", "/availability", None, None),
    ("cone_search", "GET", "/tables", None, None),
    ("cone_search", "DELETE", None, "RA=1&DEC=1&SR=1", None),
    ("cone_search", "OPTIONS", None, None, None),
    ("cone_search", "GET", None, "RA=217&DEC=-62&SR=3&RESPONSEFORMAT=csv", None),
    ("neighbours", "OPTIONS", None, "ly=20&format=csv", None),
    ("neighbours", "GET", None, "ly=abc&format=json", None),
]


def compare_service_requests(build, env, failures):
    """Each of SERVICE_REQUESTS, twice over, from one worker and from the
    program run once per request."""
    compared = 0
    for program in sorted({request[0] for request in SERVICE_REQUESTS}):
        path = os.path.join(build, program)
        worker = fastcgi.Worker(path, env)
        try:
            for _, method, path_info, query, body in [
                    r for r in SERVICE_REQUESTS if r[0] == program] * 2:
                params = cgi_params(program, query)
                params["REQUEST_METHOD"] = method
                if path_info is not None:
                    params["PATH_INFO"] = path_info
                if body is not None:
                    params["CONTENT_TYPE"] = "application/x-www-form-urlencoded"
                    params["CONTENT_LENGTH"] = str(len(body))
                cgi_env = dict(env)
                cgi_env.update(params)
                cgi_env.pop("QUERY_STRING", None)
                out, status, _, _ = fastcgi.run_cgi(path, cgi_env, query,
                                                    body or b"")
                reply = worker.request(params, body=body or b"")
                compared += 1
                if reply.stdout != out or reply.status != status:
                    failures.append("FAIL %s %s %s %r: status %d (CGI %d): "
                                    "%r / %r" % (program, method, path_info,
                                                 query, reply.status, status,
                                                 reply.stdout[:300], out[:300]))
        finally:
            stopped, log = worker.stop()
        if stopped != 0:
            failures.append("FAIL %s: the worker ended with %d: %s" % (
                program, stopped, log[-2000:]))
    return compared


def cgi_params(program, query):
    params = {"GATEWAY_INTERFACE": "CGI/1.1", "REQUEST_METHOD": "GET",
              "SCRIPT_NAME": "/cgi-bin/" + program,
              "SERVER_NAME": "127.0.0.1", "SERVER_PORT": "8080",
              "SERVER_PROTOCOL": "HTTP/1.1"}
    if query is not None:
        params["QUERY_STRING"] = query
    return params


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--random", type=int, default=60)
    parser.add_argument("--seed", type=int, default=23)
    parser.add_argument("--data-source", default="odbc",
                        help="the data source directory in BUILD_DIR "
                        "(odbc-hipparcos: the imported catalogue)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    odbc = os.path.join(build, args.data_source)
    env = {"PATH": "/usr/bin:/bin", "ODBCSYSINI": odbc,
           "ODBCINI": os.path.join(odbc, "odbc.ini"),
           "VELORAN_FASTCGI_WORKERS": "1"}
    chance = random.Random(args.seed)
    failures = 0
    compared = 0
    for program, ordinary in ORDINARY.items():
        requests = []
        for hostile in HOSTILE:
            requests.append(hostile)
            requests.append(chance.choice(ordinary))
        requests += ordinary
        requests += [random_query(program, chance) for _ in range(args.random)]
        path = os.path.join(build, program)
        worker = fastcgi.Worker(path, env)
        try:
            expected = {}
            for round_requests in (requests, list(reversed(requests))):
                for query in round_requests:
                    params = cgi_params(program, query)
                    if query not in expected:
                        cgi_env = dict(env)
                        cgi_env.update(params)
                        cgi_env.pop("QUERY_STRING", None)
                        out, status, _, _ = fastcgi.run_cgi(path, cgi_env,
                                                            query)
                        expected[query] = (out, status)
                    reply = worker.request(params)
                    compared += 1
                    out, status = expected[query]
                    if reply.stdout != out or reply.status != status:
                        failures += 1
                        where = next((i for i, (a, b) in enumerate(
                            zip(reply.stdout, out)) if a != b),
                            min(len(reply.stdout), len(out)))
                        print("FAIL %s %r: status %d (CGI %d), %d bytes (CGI "
                              "%d), first difference at byte %d: %r / %r" % (
                                  program, query, reply.status, status,
                                  len(reply.stdout), len(out), where,
                                  reply.stdout[max(0, where - 40):where + 40],
                                  out[max(0, where - 40):where + 40]))
        finally:
            stopped, log = worker.stop()
        if stopped != 0:
            failures += 1
            print("FAIL %s: the worker ended with %d: %s" % (program, stopped,
                                                            log[-2000:]))
    faulty = []
    compared += compare_service_requests(build, env, faulty)
    compared += compare_faults(build, faulty)
    compared += compare_health_across_renames(build, faulty)
    compared += compare_kept_variant(build, faulty)
    for line in faulty:
        print(line)
    failures += len(faulty)
    print("%d replies compared, %d failed" % (compared, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
