#!/usr/bin/env python3
"""The FastCGI service's own behaviour: its settings, the limits that end a
worker and the supervisor that replaces it, and how it stops.

Usage: service_test.py BUILD_DIR
"""

import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fastcgi  # noqa: E402

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL " + what)


def children(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            return sorted(int(p) for p in f.read().split())
    except FileNotFoundError:
        return []


def wait_for(condition, seconds=10.0):
    end = time.time() + seconds
    while time.time() < end:
        if condition():
            return True
        time.sleep(0.05)
    return condition()


def main():
    build = os.path.abspath(sys.argv[1])
    program = os.path.join(build, "neighbor_search")
    odbc = os.path.join(build, "odbc")
    base = {"PATH": "/usr/bin:/bin", "ODBCSYSINI": odbc,
            "ODBCINI": os.path.join(odbc, "odbc.ini")}
    query = {"QUERY_STRING": "ID=100&ly=10", "REQUEST_METHOD": "GET"}
    expected, _, _, _ = fastcgi.run_cgi(program, base, "ID=100&ly=10")

    # Settings that are no number in their range stop the service with a
    # message that names the variable.
    for name, value in (("VELORAN_FASTCGI_WORKERS", "0"),
                        ("VELORAN_FASTCGI_WORKERS", "65"),
                        ("VELORAN_FASTCGI_WORKERS", "two"),
                        ("VELORAN_FASTCGI_WORKERS", "02"),
                        ("VELORAN_FASTCGI_WORKERS", "+2"),
                        ("VELORAN_FASTCGI_MAX_REQUESTS", "-1"),
                        ("VELORAN_FASTCGI_MAX_REQUESTS", "10x"),
                        ("VELORAN_FASTCGI_IDLE_SECONDS", " 5"),
                        ("VELORAN_FASTCGI_IDLE_SECONDS", ""),
                        ("VELORAN_FASTCGI_KEPT_ROWS", "-1"),
                        ("VELORAN_FASTCGI_KEPT_ROWS", "3000000000"),
                        ("VELORAN_FASTCGI_KEPT_ROWS", "lots")):
        env = dict(base)
        env[name] = value
        worker = fastcgi.Worker(program, env)
        status = worker.process.wait(timeout=10)
        _, log = worker.stop()
        check(status == 1 and name.encode() in log,
              "%s=%r: status %d, log %r" % (name, value, status, log))

    # A worker that may keep fewer rows than the catalogue has reads them
    # for each request (the ODBC double logs every statement), after one
    # reading that finds them too many, and answers the same; one that may
    # keep them reads them once.
    double = os.path.join(build, "tests", "neighbor_search_double")
    log = os.path.join(build, "test-data", "service-kept-rows.log")
    os.makedirs(os.path.dirname(log), exist_ok=True)
    for kept, scans in (("10", 4), ("0", 3), ("1000", 1)):
        if os.path.exists(log):
            os.remove(log)
        worker = fastcgi.Worker(double, dict(base, VELORAN_FASTCGI_KEPT_ROWS=kept,
                                             VELORAN_ODBC_LOG=log))
        for i in range(3):
            reply = worker.request(query)
            check(reply.stdout == expected and reply.status == 0,
                  "request %d keeping at most %s rows" % (i, kept))
        worker.stop()
        with open(log) as f:
            read = sum("OwnerID FROM Positions" in line for line in f)
        check(read == scans, "keeping at most %s rows: %d scans of Positions "
              "in 3 requests, not %d" % (kept, read, scans))

    # Two workers answer; one that reaches its request limit is replaced,
    # and every request is answered.
    env = dict(base, VELORAN_FASTCGI_WORKERS="2",
               VELORAN_FASTCGI_MAX_REQUESTS="3")
    worker = fastcgi.Worker(program, env)
    check(wait_for(lambda: len(children(worker.process.pid)) == 2),
          "two workers start")
    first = children(worker.process.pid)
    for i in range(12):
        reply = worker.request(query)
        check(reply.stdout == expected and reply.status == 0,
              "request %d under a request limit" % i)
    check(wait_for(lambda: len(children(worker.process.pid)) == 2 and
                   not set(first) & set(children(worker.process.pid))),
          "workers that reached their limit are replaced: %s, then %s" %
          (first, children(worker.process.pid)))
    # SIGTERM ends the service and its workers.
    workers = children(worker.process.pid)
    worker.process.send_signal(signal.SIGTERM)
    status = worker.process.wait(timeout=10)
    check(status == 0, "SIGTERM ends the service with 0, not %d" % status)
    check(all(not os.path.exists("/proc/%d" % p) or
              open("/proc/%d/stat" % p).read().split()[2] == "Z"
              for p in workers), "no worker outlives the service")
    worker.stop()

    # A worker idle for longer than its limit ends and is replaced; the new
    # one answers.
    env = dict(base, VELORAN_FASTCGI_IDLE_SECONDS="1")
    worker = fastcgi.Worker(program, env)
    check(wait_for(lambda: len(children(worker.process.pid)) == 1),
          "one worker starts")
    first = children(worker.process.pid)
    check(worker.request(query).stdout == expected, "the first worker answers")
    check(wait_for(lambda: children(worker.process.pid) not in ([], first)),
          "an idle worker is replaced")
    check(worker.request(query).stdout == expected, "its successor answers")
    status, log = worker.stop()
    check(status == 0, "the idle service stops with 0, not %d: %r" %
          (status, log))

    # Started as a CGI program, with no socket, it is one.
    out, status, _, _ = fastcgi.run_cgi(program, base, "ID=100&ly=10")
    check(out == expected and status == 0, "run as CGI it answers as CGI")

    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
