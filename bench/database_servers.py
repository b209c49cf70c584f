"""Times the site's pages through the data sources that bench/database-servers
wrote (SQLite, PostgreSQL, MariaDB), each case a separate process, run once
to warm the caches and then ROUNDS times, the cases interleaved round by
round.  The processor time counts the program's own and the server's: the
PostgreSQL backends that the server process reaps (its children's time) and
MariaDB's threads (its own time).  Writes a Markdown report to standard
output.

Usage: database_servers.py BUILD WORK POSTGRES_PID MARIADB_PID CATALOGUE ROUNDS
"""

import os
import resource
import statistics
import subprocess
import sys
import time

build, work, postgres_pid, mariadb_pid, catalogue, rounds = sys.argv[1:]
rounds = int(rounds)
ticks = os.sysconf("SC_CLK_TCK")

CASES = [
    ("search-sun-20ly", "neighbor_search", "ID=100&ly=20"),
    ("search-sirius-window", "neighbor_search",
     "ID=323490000&ly=200&minRAHour=4&maxRAHour=9&minDecDeg=-40&maxDecDeg=10"),
    ("site-search-sun", "neighbours", "ID=100&ly=20"),
    ("entry-sirius", "entry_page.exe", "ID=323490000"),
    ("entry-sun", "entry_page.exe", "ID=100"),
    ("cone-orion-1deg", "cone_search", "RA=83.8&DEC=-5.4&SR=1"),
    ("find-sirius", "find_star", "name=Sirius"),
    ("find-misspelt", "find_star", "name=Siriuss"),
]
DATABASES = ["sqlite", "postgresql", "mariadb"]


def server_ticks(database):
    """The server's processor time so far, in clock ticks."""
    if database == "sqlite":
        return 0
    pid = postgres_pid if database == "postgresql" else mariadb_pid
    with open("/proc/%s/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    # utime, stime, cutime, cstime (fields 14-17 of the whole line).
    return sum(int(f) for f in fields[11:15])


def run(database, program, query):
    env = {"PATH": "/usr/bin:/bin", "ODBCSYSINI": "%s/%s" % (work, database),
           "ODBCINI": "%s/%s/odbc.ini" % (work, database), "QUERY_STRING": query,
           "REQUEST_METHOD": "GET"}
    before_server = server_ticks(database)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    page = subprocess.run(["%s/%s" % (build, program)], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL).stdout
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    # PostgreSQL's backend has ended with the connection but may not yet be
    # reaped: a moment for that.
    if database == "postgresql":
        time.sleep(0.02)
    server = (server_ticks(database) - before_server) / ticks
    own = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return page, wall * 1000, own * 1000, server * 1000


def index_state(database):
    """What the health check of the database says of its position index."""
    page = run(database, "health", "")[0]
    for line in page.split(b"\n"):
        if line.startswith(b"Veloran-Position-Index:"):
            return line.split(b":", 1)[1].strip().decode("ascii", "replace")
    return "(not said)"


results = {}
pages = {}
states = {database: index_state(database) for database in DATABASES}
for name, program, query in CASES:
    for database in DATABASES:
        pages[(name, database)] = run(database, program, query)[0]
for _ in range(rounds):
    for name, program, query in CASES:
        for database in DATABASES:
            page, wall, own, server = run(database, program, query)
            results.setdefault((name, database), []).append((wall, own, server))

load = os.getloadavg()
print("# Pages on PostgreSQL and MariaDB\n")
print("Written by `bench/database-servers` on %s; do not edit by hand.\n"
      % time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()))
print("- Catalogue: %s, loaded by veloran-load-database into PostgreSQL 15 and MariaDB"
      % catalogue)
print("  (servers of its own on loopback, Unix sockets), read through the dialect adapter")
print("  with psqlODBC and MariaDB Connector/ODBC; SQLite through the project's driver.")
print("- Each case a separate process, run once to warm the caches and then %d times,"
      % rounds)
print("  the cases and databases interleaved round by round; medians.")
print("- Position index (the health check): %s"
      % ", ".join("%s %s" % (d, states[d]) for d in DATABASES))
print("- CPU: %d cores; load average after: %.2f %.2f %.2f" % ((os.cpu_count(),) + load))
print("- Processor time: the program's own plus the server's (PostgreSQL's backend, reaped")
print("  by its server; MariaDB's threads), user + system.\n")
print("| Case | Database | Median wall (ms) | Median CPU, program (ms) | Median CPU, server (ms) | Wall vs SQLite | Page as SQLite's |")
print("|---|---|---:|---:|---:|---:|---|")
for name, _, _ in CASES:
    base = statistics.median(r[0] for r in results[(name, "sqlite")])
    for database in DATABASES:
        rows = results[(name, database)]
        wall = statistics.median(r[0] for r in rows)
        own = statistics.median(r[1] for r in rows)
        server = statistics.median(r[2] for r in rows)
        same = pages[(name, database)] == pages[(name, "sqlite")]
        print("| %s | %s | %.1f | %.1f | %.1f | %.2fx | %s |" % (
            name, database, wall, own, server, wall / base, "yes" if same else "**no**"))
