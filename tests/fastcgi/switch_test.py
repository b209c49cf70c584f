#!/usr/bin/env python3
"""Workers under load while the database is switched: every reply is one
database's whole page, never a mix, no request fails, and a request sent
after a switch has finished is answered from the new database.

Two copies of the sample differ in one star's class.  The data source is
switched between them by rewriting odbc.ini under a new name and renaming
it into place (as veloran-use-database does), and the file it names is
replaced by renaming the other copy over it (as an import does).

Usage: switch_test.py BUILD_DIR
"""

import os
import shutil
import sqlite3
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import equivalence_test  # noqa: E402
import fastcgi  # noqa: E402

QUERIES = ["ID=100&ly=10", "ly=5", "X=1&Y=1&Z=1&ly=8"]
SWITCHES = 12


def write_atomically(path, text):
    new = path + ".new"
    with open(new, "w") as f:
        f.write(text)
        f.flush()
        os.fsync(f.fileno())
    os.rename(new, path)


def main():
    build = os.path.abspath(sys.argv[1])
    holder = tempfile.TemporaryDirectory(prefix="veloran-switch-")
    directory = holder.name
    env, first = equivalence_test.own_data_source(build, directory)
    second = os.path.join(directory, "other.db")
    shutil.copyfile(first, second)
    connection = sqlite3.connect(second)
    connection.execute("UPDATE Spectra SET SpectralClass = 'Q9' "
                       "WHERE OwnerID = 708900001")
    connection.commit()
    connection.close()
    ini = os.path.join(directory, "odbc.ini")
    with open(ini) as f:
        template = f.read()
    # The pristine copies, by the content they hold.
    contents = {"A": os.path.join(directory, "a.db"),
                "B": os.path.join(directory, "b.db")}
    shutil.copyfile(first, contents["A"])
    shutil.copyfile(second, contents["B"])
    holds = {first: "A", second: "B"}  # what each served path holds now

    def use(path):
        write_atomically(ini, template.replace(first, path, 1))

    program = os.path.join(build, "neighbor_search")
    expected = {}
    for path in (first, second):
        use(path)
        for query in QUERIES:
            out, _, _, _ = fastcgi.run_cgi(program, env, query)
            expected[(holds[path], query)] = out
    assert all(expected[("A", q)] != expected[("B", q)] for q in QUERIES)
    use(first)

    worker = fastcgi.Worker(program, dict(env, VELORAN_FASTCGI_WORKERS="2"))
    # "epoch" is odd while a switch is made; a reply is judged only when it
    # was sent and received within one even epoch.
    state = {"named": first, "since": 0.0, "epoch": 0}
    failures = []
    stop = threading.Event()
    counts = [0]
    lock = threading.Lock()

    def client(number):
        i = number
        while not stop.is_set():
            query = QUERIES[i % len(QUERIES)]
            i += 1
            with lock:
                current, since = holds[state["named"]], state["since"]
                epoch = state["epoch"]
            sent = time.time()
            try:
                reply = worker.request(equivalence_test.cgi_params(
                    "neighbor_search", query))
            except OSError as error:
                failures.append("request %r failed: %s" % (query, error))
                continue
            with lock:
                counts[0] += 1
                judged = epoch == state["epoch"] and epoch % 2 == 0
            if reply.status != 0:
                failures.append("%r: status %d" % (query, reply.status))
            pages = [c for c in "AB" if expected[(c, query)] == reply.stdout]
            if not pages:
                failures.append("%r: a page of neither database" % query)
            elif judged and sent > since and pages[0] != current:
                failures.append("%r sent %.3f s after a switch: the old "
                                "database" % (query, sent - since))

    threads = [threading.Thread(target=client, args=(n,)) for n in range(4)]
    for thread in threads:
        thread.start()
    latencies = []
    for switch in range(SWITCHES):
        time.sleep(0.3)
        with lock:
            state["epoch"] += 1
        named = state["named"]
        if switch % 2 == 0:
            # veloran-use-database: the data source names the other file.
            named = second if named == first else first
            use(named)
        else:
            # An import: the other content renamed over the named file.
            other = "B" if holds[named] == "A" else "A"
            replacement = os.path.join(directory, "replacement.db")
            shutil.copyfile(contents[other], replacement)
            os.rename(replacement, named)
            with lock:
                holds[named] = other
        with lock:
            state["named"] = named
            state["since"] = time.time()
            state["epoch"] += 1
        started = time.time()
        query = QUERIES[0]
        reply = worker.request(equivalence_test.cgi_params(
            "neighbor_search", query))
        latencies.append(time.time() - started)
        if reply.stdout != expected[(holds[named], query)]:
            failures.append("the first request after switch %d: the old "
                            "database" % switch)
    stop.set()
    for thread in threads:
        thread.join()
    status, log = worker.stop()
    for line in failures[:20]:
        print("FAIL " + line)
    if status != 0:
        failures.append("the service ended with %d" % status)
        print("FAIL the service ended with %d: %r" % (status, log[-2000:]))
    print("%d requests during %d switches, %d failed; first request after a "
          "switch: at most %.3f s" % (counts[0], SWITCHES, len(failures),
                                      max(latencies)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
