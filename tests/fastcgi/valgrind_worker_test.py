#!/usr/bin/env python3
"""Workers under valgrind's memcheck: requests of every kind, hostile ones
among them, answered by one worker of each program, and no memory error
and no leak in any process when the service stops.

Usage: valgrind_worker_test.py BUILD_DIR
"""

import glob
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import equivalence_test  # noqa: E402
import fastcgi  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1])
    odbc = os.path.join(build, "odbc")
    env = {"PATH": "/usr/bin:/bin", "ODBCSYSINI": odbc,
           "ODBCINI": os.path.join(odbc, "odbc.ini")}
    failures = 0
    for program, ordinary in equivalence_test.ORDINARY.items():
        holder = tempfile.TemporaryDirectory(prefix="veloran-valgrind-")
        directory = holder.name
        logs = os.path.join(directory, "valgrind-%p.log")
        worker = fastcgi.Worker(
            os.path.join(build, program), env, directory,
            wrapper=("valgrind", "--quiet", "--error-exitcode=99",
                     "--leak-check=full", "--errors-for-leak-kinds=definite",
                     "--log-file=" + logs))
        for query in equivalence_test.HOSTILE[:8] + ordinary * 2:
            worker.request(equivalence_test.cgi_params(program, query),
                           timeout=120)
        status, log = worker.stop()
        for path in glob.glob(os.path.join(worker.directory, "valgrind-*.log")):
            with open(path) as f:
                text = f.read()
            if text.strip():
                failures += 1
                print("FAIL %s: %s\n%s" % (program, path, text[-4000:]))
        if status != 0:
            failures += 1
            print("FAIL %s: the service ended with %d: %r" % (program, status,
                                                             log[-2000:]))
    print("%d failed" % failures)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
