"""Times the site's pages through the data sources that bench/database-servers
wrote (SQLite, PostgreSQL, MariaDB), in two ways: each page a process of its
own, as a web server runs the programs once per request; and each page a
request to a resident FastCGI worker, which keeps its connection and what
it read.  Each case is warmed first and then measured ROUNDS times, the
cases and databases interleaved round by round; medians.  The processor
time counts the program's own and the server's.  Writes a Markdown report
to standard output.

Usage: database_servers.py BUILD WORK POSTGRES_PID MARIADB_PID CATALOGUE ROUNDS
  BENCH_CASES: the names of the cases to time, separated by commas (default
  all); BENCH_BATCH: processes or requests a case and round (default 4 and 20).
"""

import os
import resource
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "fastcgi"))
import fastcgi  # noqa: E402

build, work, postgres_pid, mariadb_pid, catalogue, rounds = sys.argv[1:]
rounds = int(rounds)
ticks = os.sysconf("SC_CLK_TCK")

CASES = [
    ("search-sun-20ly", "neighbor_search", "ID=100&ly=20"),
    ("search-sirius-window", "neighbor_search",
     "ID=323490000&ly=200&minRAHour=4&maxRAHour=9&minDecDeg=-40&maxDecDeg=10"),
    ("site-search-sun", "neighbours", "ID=100&ly=20"),
    # The whole result read to sort it: some 550 stars.
    ("site-sun-50ly-by-mag", "neighbours", "ID=100&ly=50&sort=mag"),
    ("entry-sirius", "entry_page.exe", "ID=323490000"),
    ("entry-sun", "entry_page.exe", "ID=100"),
    ("cone-orion-1deg", "cone_search", "RA=83.8&DEC=-5.4&SR=1"),
    ("find-sirius", "find_star", "name=Sirius"),
    ("find-misspelt", "find_star", "name=Siriuss"),
]
# The pages of the resident workers' target.
RESIDENT_CASES = ["site-search-sun", "entry-sun", "cone-orion-1deg"]
DATABASES = ["sqlite", "postgresql", "mariadb"]
# PostgreSQL through pgbouncer, when bench/database-servers could start it:
# pages run once only.
RESIDENT_DATABASES = list(DATABASES)
if os.path.isdir(os.path.join(work, "postgresql-pooled")):
    DATABASES.insert(2, "postgresql-pooled")

chosen = os.environ.get("BENCH_CASES")
if chosen:
    CASES = [case for case in CASES if case[0] in chosen.split(",")]
    RESIDENT_CASES = [name for name in RESIDENT_CASES if name in chosen.split(",")]
batch = [int(n) for n in os.environ.get("BENCH_BATCH", "4,20").split(",")]
PROCESSES, REQUESTS = batch[0], batch[-1]


def environment(database):
    return {"PATH": "/usr/bin:/bin", "ODBCSYSINI": "%s/%s" % (work, database),
            "ODBCINI": "%s/%s/odbc.ini" % (work, database)}


def tree_nanoseconds(pid):
    """The processor time so far of the process "pid", its threads and its
    live child processes, in nanoseconds (the scheduler's count, finer than
    clock ticks), and of the children it has reaped."""
    total = 0
    try:
        for task in os.listdir("/proc/%s/task" % pid):
            with open("/proc/%s/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
            with open("/proc/%s/task/%s/children" % (pid, task)) as f:
                for child in f.read().split():
                    total += tree_nanoseconds(child)
    except (FileNotFoundError, ProcessLookupError):
        pass
    return total


def server_nanoseconds(database):
    """The server's processor time so far: MariaDB's threads; PostgreSQL's
    processes, those it has reaped counted in clock ticks (cutime, cstime),
    and the pooler's."""
    if database == "sqlite":
        return 0
    if database == "mariadb":
        return tree_nanoseconds(mariadb_pid)
    with open("/proc/%s/stat" % postgres_pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    total = tree_nanoseconds(postgres_pid) + (int(fields[13]) + int(fields[14])) * 10**9 // ticks
    if database == "postgresql-pooled":
        with open(os.path.join(work, "pooler", "pid")) as f:
            total += tree_nanoseconds(f.read().strip())
    return total


def run(database, program, query):
    """One page as a process; its page, wall and own processor time (ms)."""
    env = dict(environment(database), QUERY_STRING=query, REQUEST_METHOD="GET")
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    page = subprocess.run(["%s/%s" % (build, program)], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL).stdout
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    own = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return page, wall * 1000, own * 1000


def run_batch(database, program, query):
    """PROCESSES pages as processes; each one's wall and own processor time,
    and the server's per page (ms), counted over the batch: what the server
    reaps is counted in clock ticks."""
    before_server = server_nanoseconds(database)
    runs = [run(database, program, query)[1:] for _ in range(PROCESSES)]
    # PostgreSQL's last backend has ended with its connection but may not
    # yet be reaped: a moment for that.
    if database == "postgresql":
        time.sleep(0.02)
    server = (server_nanoseconds(database) - before_server) / 1e6 / PROCESSES
    return [(wall, own, server) for wall, own in runs]


def index_state(database):
    """What the health check of the database says of its position index."""
    page = run(database, "health", "")[0]
    for line in page.split(b"\n"):
        if line.startswith(b"Veloran-Position-Index:"):
            return line.split(b":", 1)[1].strip().decode("ascii", "replace")
    return "(not said)"


def connections_made(database):
    """How many connections the server has accepted so far (this one
    among them)."""
    if database == "postgresql":
        command = ["psql", "-X", "-At", "-h", "%s/pg" % work, "-p", postgres_port(),
                   "-U", "veloran_admin", "-d", "postgres", "-c",
                   "SELECT sum(sessions) FROM pg_stat_database"]
    else:
        command = ["mariadb", "--no-defaults", "-N", "-S", "%s/my/sock" % work, "-uroot",
                   "-e", "SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS "
                   "WHERE VARIABLE_NAME = 'CONNECTIONS'"]
    return int(subprocess.run(command, check=True, capture_output=True,
                              text=True).stdout.strip())


def postgres_port():
    with open("%s/pg.env" % work) as f:
        for line in f:
            if line.startswith("postgresql_port="):
                return line.strip().split("=", 1)[1]
    raise RuntimeError("no postgresql_port in pg.env")


def worker_pid(worker):
    pid = worker.process.pid
    with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
        return f.read().split()[0]


def params(program, query):
    return {"GATEWAY_INTERFACE": "CGI/1.1", "REQUEST_METHOD": "GET",
            "SCRIPT_NAME": "/cgi-bin/" + program, "SERVER_NAME": "127.0.0.1",
            "SERVER_PORT": "8080", "SERVER_PROTOCOL": "HTTP/1.1", "QUERY_STRING": query}


def resident_batch(worker, database, program, query):
    """REQUESTS pages from the worker; the wall time, the worker's and the
    server's processor time per page (ms), and the last reply."""
    pid = worker_pid(worker)
    before = (tree_nanoseconds(pid), server_nanoseconds(database))
    start = time.perf_counter()
    for _ in range(REQUESTS):
        reply = worker.request(params(program, query))
    wall = time.perf_counter() - start
    after = (tree_nanoseconds(pid), server_nanoseconds(database))
    return (wall * 1000 / REQUESTS, (after[0] - before[0]) / 1e6 / REQUESTS,
            (after[1] - before[1]) / 1e6 / REQUESTS, reply)


def one_shot():
    results, pages = {}, {}
    for name, program, query in CASES:
        for database in DATABASES:
            pages[(name, database)] = run(database, program, query)[0]
    for _ in range(rounds):
        for name, program, query in CASES:
            for database in DATABASES:
                results.setdefault((name, database), []).extend(
                    run_batch(database, program, query))
    return results, pages


def resident(one_shot_pages):
    cases = [case for case in CASES if case[0] in RESIDENT_CASES]
    workers, results, same = {}, {}, {}
    made = {database: connections_made(database) for database in RESIDENT_DATABASES[1:]}
    try:
        for name, program, query in cases:
            for database in RESIDENT_DATABASES:
                worker = fastcgi.Worker("%s/%s" % (build, program), environment(database))
                workers[(name, database)] = worker
                for _ in range(3):
                    reply = worker.request(params(program, query))
                same[(name, database)] = reply.stdout == one_shot_pages[(name, database)]
        for _ in range(rounds):
            for name, program, query in cases:
                for database in RESIDENT_DATABASES:
                    *numbers, reply = resident_batch(workers[(name, database)], database,
                                                     program, query)
                    results.setdefault((name, database), []).append(numbers)
                    if reply.stdout != one_shot_pages[(name, database)]:
                        same[(name, database)] = False
    finally:
        for worker in workers.values():
            worker.stop()
    pages = len(cases) * (rounds * REQUESTS + 3)
    # Less the one that counted: its own.
    connections = {database: connections_made(database) - made[database] - 1
                   for database in RESIDENT_DATABASES[1:]}
    return cases, results, same, connections, pages


def print_table(cases, databases, results, same):
    print("| Case | Database | Median wall (ms) | Median CPU, program (ms) | "
          "Median CPU, server (ms) | CPU vs SQLite | Wall vs SQLite | Page as SQLite's |")
    print("|---|---|---:|---:|---:|---:|---:|---|")
    for name in cases:
        base = results[(name, "sqlite")]
        base_wall = statistics.median(r[0] for r in base)
        base_cpu = statistics.median(r[1] + r[2] for r in base)
        for database in databases:
            rows = results[(name, database)]
            wall = statistics.median(r[0] for r in rows)
            own = statistics.median(r[1] for r in rows)
            server = statistics.median(r[2] for r in rows)
            cpu = statistics.median(r[1] + r[2] for r in rows)
            print("| %s | %s | %.2f | %.2f | %.2f | %.2fx | %.2fx | %s |" % (
                name, database, wall, own, server, cpu / base_cpu, wall / base_wall,
                "yes" if same[(name, database)] else "**no**"))


def main():
    states = {database: index_state(database) for database in DATABASES}
    results, pages = one_shot()
    same = {key: pages[key] == pages[(key[0], "sqlite")] for key in pages}
    cases, resident_results, resident_same, connections, resident_pages = resident(pages)
    resident_same = {key: value and same[key] for key, value in resident_same.items()}
    load = os.getloadavg()
    print("# Pages on PostgreSQL and MariaDB\n")
    print("Written by `bench/database-servers` on %s; do not edit by hand.\n"
          % time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()))
    print("- Catalogue: %s, loaded by veloran-load-database into PostgreSQL 15 and MariaDB"
          % catalogue)
    print("  (servers of its own on loopback, Unix sockets), read through the dialect adapter")
    print("  with psqlODBC and MariaDB Connector/ODBC; SQLite through the project's driver.")
    print("- Position index (the health check): %s"
          % ", ".join("%s %s" % (d, states[d]) for d in DATABASES))
    print("- CPU: %d cores; load average after: %.2f %.2f %.2f" % ((os.cpu_count(),) + load))
    print("- CPU vs SQLite: the median of the program's and the server's processor time")
    print("  together, against SQLite's.\n")
    print("## Each page a process\n")
    print("Each case run once to warm the caches, then %d rounds of %d processes, the cases"
          % (rounds, PROCESSES))
    print("and databases interleaved round by round; medians of the processes.  Processor")
    print("time: the program's own, user + system, and the server's (PostgreSQL's processes,")
    print("its backends counted in clock ticks as the server reaps them, and pgbouncer's;")
    print("MariaDB's threads) over a round's %d processes, shared among them." % PROCESSES)
    if "postgresql-pooled" in DATABASES:
        print("postgresql-pooled: PostgreSQL through Debian's pgbouncer (session pooling, the")
        print("server's connections kept open), the data source's Servername and Port its own.")
    print()
    print_table([c[0] for c in CASES], DATABASES, results, same)
    if not cases:
        return
    print("\n## Resident FastCGI workers\n")
    print("One worker a case and database, which keeps its connection and its rows")
    print("(`veloran_data_version()`), asked 3 times to warm it, then %d rounds of %d"
          % (rounds, REQUESTS))
    print("requests in a row, the cases and databases interleaved round by round; medians of")
    print("the rounds, per page.  Processor time: the worker's and the whole server's (its")
    print("processes or threads), by the scheduler's count in nanoseconds.  Wall: a request")
    print("sent and its reply read by the bench's FastCGI client on a Unix socket.")
    print("Connections the workers made in all %d pages: %s.\n" % (
        resident_pages, ", ".join("%s %d" % item for item in connections.items())))
    print_table([c[0] for c in cases], RESIDENT_DATABASES, resident_results, resident_same)


main()
