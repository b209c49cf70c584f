#!/usr/bin/env python3
"""The site's programs as resident FastCGI workers on PostgreSQL and
MariaDB: each keeps its connection from one request to the next, and still
answers every request with the bytes of the program run once at that
moment, whatever happened to the database in between.

For each server a copy of the sample is loaded into a database of the
test's own; one worker a program answers the requests of REQUESTS, twice,
after each step: the load, a reload by the loader of a changed copy, an
administrator's UPDATE of the kept star rows (twice: before and after the
position index is stale), one of the kept catalogue names, and the
reader's connections ended by the server (as a restart ends them), and
on PostgreSQL a restart.  Each
reply is compared with the program's reply run once right after it; a
step that changes the database must change some page; and within a step
each worker must keep one connection (the socket it holds after one
request is the one it holds after the next).

Usage: resident_test.py TOP BUILD WORK
  WORK: database_pages_test.sh's directory, with pg.env and my.env of its
  running servers and the data sources sample-postgresql and sample-mariadb.
"""

import os
import shutil
import sqlite3
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fastcgi"))
import equivalence_test  # noqa: E402
import fastcgi  # noqa: E402

DATABASE = "veloran_resident"

# The Sun's nearest neighbour in the sample, whose distance no other star
# has (as database_pages_test.sh picks it), and a star with catalogue
# numbers.
MOVED_STAR = 708900000
CATALOGUED_STAR = 323490000

REQUESTS = [
    ("neighbor_search", "ID=100&ly=20"),
    ("neighbor_search", "ly=1000&minRAHour=5&maxRAHour=20&minDecDeg=-40&maxDecDeg=50"),
    ("neighbours", "ID=100&ly=30"),
    ("entry_page.exe", "ID=100"),
    ("entry_page.exe", "ID=%d" % CATALOGUED_STAR),
    ("entry_page.exe", "ID=%d" % MOVED_STAR),
    ("find_star", "name=Sirius"),
    ("cone_search", "RA=101.28&DEC=-16.7&SR=10"),
    ("cone_search", "RA=219.9&DEC=-60.8&SR=10&VERB=3"),
    ("health", None),
]

MOVE = "UPDATE Positions SET Distance = Distance * 3 WHERE OwnerID = %d" % MOVED_STAR
MOVE_BACK = "UPDATE Positions SET Distance = Distance / 3 WHERE OwnerID = %d" % MOVED_STAR
RENAME = ("UPDATE CatalogNames SET LongName = 'Henry Draper Catalogue, renamed' "
          "WHERE Abbreviation = 'HD'")
# What the reloaded copy has that the server's database has not: a change
# of the rows a worker keeps.
RELOADED = "UPDATE Positions SET Distance = Distance * 2 WHERE OwnerID = %d" % MOVED_STAR


class Server:
    """One of the test's servers: its administrator's statements, its
    reader's connections, the loader's options."""

    def __init__(self, kind, settings):
        self.kind = kind
        self.settings = settings

    def admin(self, statement):
        if self.kind == "postgresql":
            command = ["psql", "-X", "-q", "-At", "-v", "ON_ERROR_STOP=1",
                       "-h", self.settings["postgresql_socket_dir"],
                       "-p", self.settings["postgresql_port"], "-U", "veloran_admin",
                       "-d", DATABASE, "-c", statement]
        else:
            command = ["mariadb", "--no-defaults", "-N", "-S", self.settings["mariadb_socket"],
                       "-uroot", DATABASE, "-e", statement]
        return subprocess.run(command, check=True, capture_output=True, text=True).stdout

    def end_reader_connections(self):
        """Ends the reader's connections to the test's database, as the
        server ends them when it stops."""
        if self.kind == "postgresql":
            self.admin("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                       "usename = 'veloran_reader' AND datname = '%s'" % DATABASE)
            return
        ids = self.admin("SELECT ID FROM information_schema.PROCESSLIST WHERE "
                         "USER = 'veloran_reader' AND DB = '%s'" % DATABASE).split()
        for number in ids:
            self.admin("KILL CONNECTION %s" % number)

    def restart(self):
        """Stops the server and starts it again, as servers.sh started it
        (PostgreSQL's pg_ctl keeps its options)."""
        command = ["/usr/lib/postgresql/15/bin/pg_ctl", "-D",
                   os.path.join(self.settings["postgresql_socket_dir"], "data"),
                   "-m", "fast", "-w", "-t", "60", "restart"]
        if os.getuid() == 0:
            command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                       "--"] + command
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)

    def load(self, top, build, source):
        if self.kind == "postgresql":
            server = ["--host", self.settings["postgresql_socket_dir"],
                      "--port", self.settings["postgresql_port"], "--user", "veloran_admin"]
        else:
            server = ["--socket", self.settings["mariadb_socket"]]
        subprocess.run(["/usr/bin/python3", os.path.join(top, "admin", "veloran-load-database"),
                        "--quiet", "--indexer", os.path.join(build, "veloran-index-database"),
                        "--target", self.kind] + server + ["--database", DATABASE, source],
                       check=True)


def read_settings(work):
    settings = {}
    for name in ("pg.env", "my.env"):
        with open(os.path.join(work, name)) as f:
            for line in f:
                key, value = line.strip().split("=", 1)
                settings[key] = value
    return settings


def data_source(work, kind):
    """A data source of the test's own: the sample's, naming DATABASE."""
    directory = os.path.join(work, "resident-" + kind)
    os.makedirs(directory, exist_ok=True)
    shutil.copyfile(os.path.join(work, "sample-" + kind, "odbcinst.ini"),
                    os.path.join(directory, "odbcinst.ini"))
    with open(os.path.join(work, "sample-" + kind, "odbc.ini")) as f:
        lines = f.read().splitlines()
    with open(os.path.join(directory, "odbc.ini"), "w") as f:
        for line in lines:
            if line.startswith("Database = "):
                line = "Database = " + DATABASE
            f.write(line + "\n")
    return {"PATH": "/usr/bin:/bin", "ODBCSYSINI": directory,
            "ODBCINI": os.path.join(directory, "odbc.ini")}


def held_sockets(worker):
    """The sockets that the worker holds open between requests: its
    listening socket and, when it keeps one, its connection to the server.
    The request's own socket may still be closing as its reply arrives: a
    moment is allowed for that."""
    end = time.time() + 5
    while True:
        sockets = worker_sockets(worker)
        if sockets is None or len(sockets) <= 2 or time.time() > end:
            return sockets
        time.sleep(0.01)


def worker_sockets(worker):
    """The sockets that the worker process (the supervisor's one child)
    holds open now."""
    pid = worker.process.pid
    with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
        children = f.read().split()
    if len(children) != 1:
        return None
    sockets = set()
    directory = "/proc/%s/fd" % children[0]
    for fd in os.listdir(directory):
        try:
            target = os.readlink(os.path.join(directory, fd))
        except OSError:
            continue
        if target.startswith("socket:"):
            sockets.add(target)
    return frozenset(sockets)


def run_step(env, build, workers, failures):
    """Each request through its worker, twice, and run once; returns the
    pages."""
    pages = {}
    held = {}
    for program, query in REQUESTS + REQUESTS:
        params = equivalence_test.cgi_params(program, query)
        reply = workers[program].request(params)
        cgi_env = dict(env)
        cgi_env.update(params)
        cgi_env.pop("QUERY_STRING", None)
        out, status, _, _ = fastcgi.run_cgi(os.path.join(build, program), cgi_env, query)
        pages[(program, query)] = out
        if (reply.stdout, reply.status) != (out, status):
            failures.append("%s?%s: the worker's reply (status %d, %d bytes) is not the "
                            "program's (status %d, %d bytes)%s" % (
                                program, query, reply.status, len(reply.stdout), status,
                                len(out), "" if status == 0 else ": " + repr(reply.stderr[:300])))
        sockets = held_sockets(workers[program])
        if sockets is None or len(sockets) < 2:
            failures.append("%s?%s: the worker holds no connection after the request"
                            % (program, query))
        elif program in held and held[program] != sockets:
            failures.append("%s?%s: the worker connected anew" % (program, query))
        held[program] = sockets
    return pages


def main():
    top, build, work = (os.path.abspath(a) for a in sys.argv[1:4])
    settings = read_settings(work)
    source = os.path.join(work, "resident-source.db")
    shutil.copyfile(os.path.join(build, "sample.db"), source)
    reloaded = os.path.join(work, "resident-reloaded.db")
    shutil.copyfile(source, reloaded)
    with sqlite3.connect(reloaded) as connection:
        assert connection.execute(RELOADED).rowcount == 1
    connection.close()
    total_failures = 0
    total_steps = 0
    for kind in ("postgresql", "mariadb"):
        server = Server(kind, settings)
        server.load(top, build, source)
        env = data_source(work, kind)
        # (name, what it does to the database, whether a page must change)
        steps = [
            ("loaded", lambda: None, False),
            # Before any other change: the count of changes is the same as
            # the first load's.
            ("after a reload", lambda: server.load(top, build, reloaded), True),
            ("after an UPDATE of Positions", lambda: server.admin(MOVE), True),
            # Now that the position index is stale, no trigger of its own
            # fires.
            ("after another UPDATE of Positions", lambda: server.admin(MOVE_BACK), True),
            ("after an UPDATE of CatalogNames", lambda: server.admin(RENAME), True),
            ("after the reader's connections ended", server.end_reader_connections, False),
        ]
        if kind == "postgresql":
            steps.append(("after a restart of the server", server.restart, False))
        total_steps += len(steps)
        workers = {}
        failures = []
        try:
            for program, _ in REQUESTS:
                if program not in workers:
                    workers[program] = fastcgi.Worker(os.path.join(build, program), env)
            before = None
            for name, change, changes in steps:
                change()
                step_failures = []
                pages = run_step(env, build, workers, step_failures)
                if changes and pages == before:
                    step_failures.append("no page changed")
                failures += ["%s %s: %s" % (kind, name, f) for f in step_failures]
                before = pages
        finally:
            for program, worker in workers.items():
                status, log = worker.stop()
                if status != 0:
                    failures.append("%s %s: the worker ended with %d: %r"
                                    % (kind, program, status, log[-1000:]))
        for line in failures:
            print("FAILED: resident workers on " + line, file=sys.stderr)
        total_failures += len(failures)
    print("resident workers: %d steps on the two servers, %d failures"
          % (total_steps, total_failures), file=sys.stderr)
    return 1 if total_failures else 0


if __name__ == "__main__":
    sys.exit(main())
