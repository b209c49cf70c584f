#!/usr/bin/env python3
"""A worker against hostile and slow clients: a request's parameters never
stand for the worker's settings, malformed records drop only their own
connection, idle and half-sent requests stop no one else, a reply that
does not reach its client is said in the worker's log, and the workers end
with their supervisor.  After each case the same worker (its process is
not replaced) answers a plain request with the program's own page.

Usage: protocol_test.py BUILD_DIR
"""

import os
import signal
import socket
import struct
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fastcgi  # noqa: E402
from service_test import check, children, failures, wait_for  # noqa: E402


def record(kind, request_id, content, version=1):
    padding = (8 - len(content) % 8) % 8
    return (struct.pack("!BBHHBx", version, kind, request_id, len(content),
                        padding) + content + b"\0" * padding)


def begin(role=1, flags=0, request_id=1):
    return record(fastcgi.BEGIN_REQUEST, request_id,
                  struct.pack("!HB5x", role, flags))


def lengths(name_length, value_length):
    return b"".join(bytes([n]) if n < 128 else struct.pack("!I", n | 0x80000000)
                    for n in (name_length, value_length))


def params(content):
    return (record(fastcgi.PARAMS, 1, content) +
            record(fastcgi.PARAMS, 1, b""))


def exchange(path, data, seconds=10.0):
    """Sends "data" and reads until the worker closes the connection or
    "seconds" pass; returns what came back and whether it was closed."""
    connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    connection.settimeout(seconds)
    connection.connect(path)
    received = b""
    try:
        connection.sendall(data)
        while True:
            chunk = connection.recv(65536)
            if not chunk:
                return received, True
            received += chunk
    except (socket.timeout, ConnectionResetError, BrokenPipeError):
        return received, False
    finally:
        connection.close()


def record_types(data):
    kinds = []
    while len(data) >= 8:
        _, kind, _, length, padding = struct.unpack("!BBHHBx", data[:8])
        kinds.append(kind)
        data = data[8 + length + padding:]
    return kinds


def main():
    build = os.path.abspath(sys.argv[1])
    program = os.path.join(build, "neighbor_search")
    odbc = os.path.join(build, "odbc")
    base = {"PATH": "/usr/bin:/bin", "ODBCSYSINI": odbc,
            "ODBCINI": os.path.join(odbc, "odbc.ini")}
    query = {"QUERY_STRING": "ID=100&ly=10", "REQUEST_METHOD": "GET"}
    expected, _, _, _ = fastcgi.run_cgi(program, base, "ID=100&ly=10")

    worker = fastcgi.Worker(program, base)
    pid = worker.process.pid
    check(wait_for(lambda: len(children(pid)) == 1), "the worker starts")
    first = children(pid)

    def answers_plainly(after):
        try:
            reply = worker.request(query, timeout=20)
        except (OSError, ConnectionError) as error:
            check(False, "after %s: the plain request failed: %s" % (after, error))
            return
        check(reply.stdout == expected and reply.status == 0,
              "after %s: the plain request is not answered with the page" % after)
        check(worker.process.poll() is None and children(pid) == first,
              "after %s: the worker ended" % after)

    # The first request, which makes the worker connect, names another
    # driver manager's settings: the worker's own data source answers.
    for name, value in (("ODBCSYSINI", "/nonexistent-odbc"),
                        ("ODBCINI", "/nonexistent-odbc/odbc.ini")):
        reply = worker.request(dict(query, **{name: value}), timeout=20)
        check(reply.stdout == expected,
              "a request's %s chose the data source: %r" % (name, reply.stdout[:200]))

    # Nor does any other variable of the process's environment: the ODBC
    # double, which logs its calls where VELORAN_ODBC_LOG says, logs
    # nothing for a request that names a log.
    double = fastcgi.Worker(os.path.join(build, "tests", "neighbor_search_double"), base)
    log = os.path.join(double.directory, "calls.log")
    reply = double.request(dict(query, VELORAN_ODBC_LOG=log), timeout=20)
    check(reply.stdout == expected and not os.path.exists(log),
          "a request's VELORAN_ODBC_LOG reached the worker's environment")
    double.stop()

    # Malformed records: the connection is dropped, or the request is
    # answered with what the protocol says, and the worker goes on.
    cases = [
        ("a name of 2^31 - 2 bytes", begin() + params(lengths(0x7ffffffe, 0)), [], True),
        ("a name of 2^31 - 1 bytes", begin() + params(lengths(0x7fffffff, 0)), [], True),
        ("both of 2^31 - 1 bytes",
         begin() + params(lengths(0x7fffffff, 0x7fffffff)), [], True),
        ("a value of 2^31 - 2 bytes", begin() + params(lengths(0, 0x7ffffffe)), [], True),
        ("a value of 2^31 - 1 bytes", begin() + params(lengths(1, 0x7fffffff) + b"Q"),
         [], True),
        ("a record of FastCGI 2", record(fastcgi.BEGIN_REQUEST, 1, b"\0\1" + b"\0" * 6,
                                         version=2), [], True),
        ("the body before the parameters",
         begin() + record(fastcgi.STDIN, 1, b"x"), [], True),
        ("the authorizer's role", begin(role=2), [fastcgi.END_REQUEST], False),
        ("parameters over 64 KiB",
         begin() + b"".join(record(fastcgi.PARAMS, 1, lengths(1, 60000) + b"A" +
                                   b"v" * 60000) for _ in range(2)) +
         record(fastcgi.PARAMS, 1, b"") + record(fastcgi.STDIN, 1, b""),
         [fastcgi.STDOUT, fastcgi.STDOUT, fastcgi.END_REQUEST], True),
    ]
    for what, data, kinds, closed in cases:
        received, was_closed = exchange(worker.path, data, seconds=5)
        check(record_types(received) == kinds,
              "%s: records %r back, not %r" % (what, record_types(received), kinds))
        if closed:
            check(was_closed, "%s: the connection was kept" % what)
        if what == "parameters over 64 KiB":
            check(b"Status: 431" in received, "%s: no 431 reply" % what)
        answers_plainly(what)

    # Clients that send nothing, or half a request, stop no one else; the
    # half request's connection is closed when its time is up.
    idle = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    idle.connect(worker.path)
    half = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    half.connect(worker.path)
    half.sendall(begin() + record(fastcgi.PARAMS, 1, lengths(12, 5) + b"QUERY_STRING"))
    for n in range(3):
        answers_plainly("an idle client and a half request (%d)" % n)
    half.settimeout(30)
    try:
        check(half.recv(100) == b"", "the half request's connection got bytes")
    except socket.timeout:
        check(False, "the half request's connection was not closed")
    half.close()
    idle.close()

    # A client that will not take its reply (it shut its reading down, so
    # that the worker's writes fail): said in the worker's log.
    gone = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    gone.connect(worker.path)
    gone.shutdown(socket.SHUT_RD)
    gone.sendall(begin() + params(b"".join(
        lengths(len(n), len(v)) + n + v for n, v in
        ((b"QUERY_STRING", b"ly=500"), (b"REQUEST_METHOD", b"GET")))) +
        record(fastcgi.STDIN, 1, b""))
    gone.settimeout(10)
    try:
        gone.recv(100)
    except socket.timeout:
        pass
    gone.close()
    answers_plainly("a client that went")

    status, log = worker.stop()
    check(status == 0, "the worker ended with %d" % status)
    for line in (b"neighbor_search: a client sent a parameter whose length runs past "
                 b"the end; its connection is closed",
                 b"neighbor_search: a request's parameters were too large; it is "
                 b"answered 431",
                 b"neighbor_search: a client did not send its whole request in time; "
                 b"its connection is closed",
                 b"neighbor_search: the reply did not reach the server"):
        check(line in log, "the log lacks %r: %r" % (line, log[-1500:]))

    # Workers end with their supervisor.
    worker = fastcgi.Worker(program, dict(base, VELORAN_FASTCGI_WORKERS="2"))
    check(wait_for(lambda: len(children(worker.process.pid)) == 2), "two workers start")
    workers = children(worker.process.pid)
    os.kill(worker.process.pid, signal.SIGKILL)
    worker.process.wait()

    def ended(pid):
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return True
        # A zombie, waiting for init, has ended too.
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(") ")[1].startswith("Z")
    check(wait_for(lambda: all(ended(p) for p in workers), 10),
          "workers outlive their supervisor")
    for p in workers:
        if not ended(p):
            os.kill(p, signal.SIGKILL)
    worker.stop()

    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
