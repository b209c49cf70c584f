"""A small FastCGI client and a way to start a program as a FastCGI worker,
for the tests of the resident service.

The client speaks the responder role of FastCGI 1.0 over a Unix socket: one
request per connection, its parameters, an empty standard input, and it
collects what the worker writes on standard output and standard error and
the application status of its end record.
"""

import os
import shutil
import socket
import struct
import subprocess
import tempfile
import time

VERSION = 1
BEGIN_REQUEST, END_REQUEST, PARAMS, STDIN, STDOUT, STDERR = 1, 3, 4, 5, 6, 7
RESPONDER = 1


def _record(kind, request_id, content):
    padding = (8 - len(content) % 8) % 8
    header = struct.pack("!BBHHBx", VERSION, kind, request_id, len(content),
                         padding)
    return header + content + b"\0" * padding


def _length(n):
    return bytes([n]) if n < 128 else struct.pack("!I", n | 0x80000000)


def _pairs(params):
    out = b""
    for name, value in params.items():
        name = name.encode() if isinstance(name, str) else name
        value = value.encode("latin-1") if isinstance(value, str) else value
        out += _length(len(name)) + _length(len(value)) + name + value
    return out


def _records(content):
    """Splits content into records of at most 65535 bytes."""
    for start in range(0, len(content), 65535):
        yield content[start:start + 65535]


class Reply:
    def __init__(self, stdout, stderr, status):
        self.stdout = stdout
        self.stderr = stderr
        self.status = status


def request(path, params, timeout=30.0, body=b""):
    """Sends one request (with "body" as its standard input) to the worker
    listening on the Unix socket "path" and returns its Reply."""
    connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    connection.settimeout(timeout)
    connection.connect(path)
    try:
        data = _record(BEGIN_REQUEST, 1, struct.pack("!HB5x", RESPONDER, 0))
        for piece in _records(_pairs(params)):
            data += _record(PARAMS, 1, piece)
        data += _record(PARAMS, 1, b"")
        for piece in _records(body):
            data += _record(STDIN, 1, piece)
        data += _record(STDIN, 1, b"")
        connection.sendall(data)
        received = b""
        stdout, stderr = [], []
        while True:
            while len(received) < 8:
                chunk = connection.recv(65536)
                if not chunk:
                    raise ConnectionError("the worker closed the connection "
                                          "before its end record")
                received += chunk
            _, kind, _, length, padding = struct.unpack("!BBHHBx",
                                                        received[:8])
            while len(received) < 8 + length + padding:
                chunk = connection.recv(65536)
                if not chunk:
                    raise ConnectionError("the worker closed the connection "
                                          "within a record")
                received += chunk
            content = received[8:8 + length]
            received = received[8 + length + padding:]
            if kind == STDOUT:
                stdout.append(content)
            elif kind == STDERR:
                stderr.append(content)
            elif kind == END_REQUEST:
                status = struct.unpack("!I", content[:4])[0]
                return Reply(b"".join(stdout), b"".join(stderr), status)
    finally:
        connection.close()


class Worker:
    """A program started as a FastCGI worker on a Unix socket of its own, as
    spawn-fcgi starts it: the listening socket is its standard input."""

    def __init__(self, program, env, directory=None, wrapper=()):
        # A directory of its own is removed when the worker stops.
        self.own_directory = directory is None
        self.directory = directory or tempfile.mkdtemp(prefix="veloran-fcgi-")
        self.path = os.path.join(self.directory,
                                 os.path.basename(program) + ".sock")
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        listener.bind(self.path)
        listener.listen(64)
        self.log = open(os.path.join(self.directory, "worker.log"), "w+b")
        self.process = subprocess.Popen(list(wrapper) + [program],
                                        stdin=listener.fileno(),
                                        stdout=subprocess.DEVNULL,
                                        stderr=self.log, env=env)
        listener.close()

    def request(self, params, timeout=30.0, body=b""):
        return request(self.path, params, timeout, body)

    def stop(self):
        self.process.terminate()
        try:
            status = self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            status = self.process.wait()
        self.log.seek(0)
        log = self.log.read()
        self.log.close()
        if self.own_directory:
            shutil.rmtree(self.directory, ignore_errors=True)
        return status, log


def run_cgi(program, env, query, body=b""):
    """Runs the program once as a web server runs a CGI program, with
    "body" as its standard input."""
    own = dict(env)
    if query is not None:
        own["QUERY_STRING"] = query
    started = time.time()
    result = subprocess.run([program], env=own, input=body,
                            capture_output=True, timeout=60)
    return result.stdout, result.returncode, result.stderr, time.time() - started
