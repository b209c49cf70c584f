#!/usr/bin/env python3
"""The site served by a real web server on loopback, with the snippets that
the packages ship, answers what each program answers run directly as a CGI
program for the same request: the same status, Content-type, Location and
Content-Disposition, and the same body, byte for byte.

Usage: served_test.py SERVER SOURCE_DIR BUILD_DIR CGI_DIR WWW_DIR
       served_test.py --installed SERVER SOURCE_DIR
  SERVER   lighttpd-fastcgi  lighttpd with its FastCGI snippet
           serve-fastcgi     scripts/serve --fastcgi (lighttpd, /cgi-bin/)
           apache-fcgid      Apache with mod_fcgid and its FastCGI snippet
           apache-cgid       Apache with mod_cgid, serve-cgi-bin and the
                             CGI snippet, as veloran-site.conf says
           nginx             nginx with its snippet, the programs started
                             on their sockets by spawn-fcgi
  CGI_DIR, WWW_DIR  the installed programs' and form's directories, as the
           snippets name them (the test puts copies of the built ones in a
           directory of its own instead)
  --installed  the installed packages' programs, form, snippets and data
           source (as root, for tests/debian/package_test.sh)

The server runs in the foreground on a configuration written into a
temporary directory, as www-data when the test runs as root (the programs
too), otherwise as the user.  Each program is asked a table of requests,
hostile ones among them, once one after another and once all at once from
eight clients; the form and its scripts, and addresses that are no program,
are asked too.  When the server has stopped, none of the programs it ran
may be left.  Skips (status 77) when the server is not installed.
"""

import concurrent.futures
import grp
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "fastcgi"))
import fastcgi  # noqa: E402

PROGRAMS = ["neighbor_search", "entry_page.exe", "find_star", "neighbours",
            "cone_search", "health"]
WEB_FILES = ["index.html", "neighbours.js", "neighbour-map-3d.js"]

# The requests of each program, as they stand in the address (None: no
# query at all).  Hostile ones are followed by ordinary ones, so that
# whatever a request leaves behind in a worker shows in the next.
REQUESTS = [
    ("neighbor_search", "ID=100&ly=12"),
    ("neighbor_search", "ID=323490000&minLY=5&ly=20"),
    ("neighbor_search", None),
    ("neighbor_search", "ID=100&ly=1e999&minLY=-1e999"),
    ("neighbor_search", "X=3&Y=4&Z=5&ly=12&minLY=2"),
    ("neighbor_search", "&&&===&ID"),
    ("neighbor_search", "minRAHour=5&maxRAHour=6&ly=1000"),
    ("neighbor_search", "ID=" + "9" * 400),
    ("neighbor_search", "ly=10"),
    ("entry_page.exe", "ID=100"),
    ("entry_page.exe", "ID=150"),
    ("entry_page.exe", "ID=700"),
    ("entry_page.exe", "ID=99900"),
    ("entry_page.exe", "ID=323490000"),
    ("find_star", "name=Sirius"),
    ("find_star", "name=Tau+Ceti"),
    ("find_star", "name=" + "%E9" * 200),
    ("find_star", "name=zzzz"),
    ("find_star", "name=%27%3Cscript%3E"),
    ("find_star", "star=Sirius&ly=20&minLY=5&minRAHour=5"),
    ("find_star", ""),
    ("neighbours", "ID=100&ly=20&size=5&page=2"),
    ("neighbours", "star=Sirius&ly=15"),
    ("neighbours", "star=Sirus&size=1000&page=99999"),
    ("neighbours", "X=1&Y=1&Z=1&ly=30&sort=name&order=desc&plane=xz"),
    ("neighbours", "name=%27%3Cscript%3E&plane=zz&sort=%3C&order=up"),
    ("neighbours", "ly=20&format=csv"),
    ("neighbours", "ly=20&format=json"),
    ("neighbours", "ly=20&format=votable"),
    ("neighbours", "star=alpha+Cen&ly=10&maxDecDeg=-10"),
    ("neighbours", "x=" + "A" * 3000 + "&ly=10"),
    ("neighbours", "ID=100&ly=12"),
    ("cone_search", "RA=217&DEC=-62&SR=3"),
    ("cone_search", "RA=abc&DEC=1e999&SR=-1"),
    ("cone_search", "RA=101.28&DEC=-16.7&SR=10"),
    ("cone_search", "RA=10&DEC=10&SR=1e308&MAXREC=-5&VERB=9"),
    ("cone_search", "RA=200&DEC=-60&SR=5&VERB=3&MAXREC=2"),
    ("cone_search", None),
    ("cone_search", "RA=0&DEC=0&SR=0"),
    ("health", None),
    ("health", "full=1"),
]

# Requests that a server may refuse itself (lighttpd refuses control
# characters and bytes that are no text, even encoded, with a 400 of its
# own); where the program gets them, it must answer as it does directly.
REFUSABLE = [
    ("entry_page.exe", "ID=%00%FF%0D%0A"),
    ("find_star", "name=" + "%FF" * 200),
    ("neighbours", "ly=10&sort=%00&plane=%7F"),
    ("cone_search", "RA=%0D%0A1&DEC=2&SR=3"),
]

# Requests of the services beyond a GET of a program's address, which the
# server must pass on whole: (method, program, PATH_INFO, query, form body).
SERVICE_REQUESTS = [
    ("GET", "cone_search", "/capabilities", None, None),
    ("GET", "cone_search", "/availability", None, None),
    ("POST", "cone_search", "", "VERB=1", b"RA=217&DEC=-62&SR=3"),
    ("OPTIONS", "cone_search", "", None, None),
    ("OPTIONS", "cone_search", "/capabilities", None, None),
    ("OPTIONS", "neighbours", "", "ly=20&format=csv", None),
]

# What a reply must agree in besides its body and its status.
HEADERS = ["content-type", "location", "content-disposition",
           "access-control-allow-origin", "access-control-allow-methods",
           "veloran-query-status"]


class Failures:
    def __init__(self):
        self.count = 0

    def __call__(self, message):
        self.count += 1
        print("FAIL: " + message, flush=True)


fail = Failures()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get(port, target, timeout=30.0, method=b"GET", body=None):
    """One HTTP/1.0 request of target (bytes, as it goes into the request
    line), a GET unless "method" and "body" (a form) say otherwise:
    (status, {lower-case header: value}, body)."""
    form = b""
    if body is not None:
        form = (b"Content-Type: application/x-www-form-urlencoded\r\n"
                b"Content-Length: " + str(len(body)).encode() + b"\r\n")
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(method + b" " + target + b" HTTP/1.0\r\nHost: 127.0.0.1:" +
                  str(port).encode() + b"\r\n" + form + b"\r\n" +
                  (body or b""))
        received = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            received += chunk
    head, _, body = received.partition(b"\r\n\r\n")
    lines = head.split(b"\r\n")
    status = int(lines[0].split()[1])
    return status, read_headers(lines[1:]), body


def read_headers(lines):
    headers = {}
    for line in lines:
        name, _, value = line.partition(b":")
        headers[name.strip().lower().decode("latin-1")] = value.strip()
    return headers


def cgi_reply(program, env, query, body=b""):
    """The program run directly as a CGI program, as the server would run
    it for this query: (status, headers, body)."""
    out, _, _, _ = fastcgi.run_cgi(program, env, query or "", body)
    head, _, body = out.partition(b"\n\n")
    headers = read_headers(head.split(b"\n"))
    if "status" in headers:
        status = int(headers["status"].split()[0])
    else:
        status = 302 if "location" in headers else 200
    return status, headers, body


def compare(what, got, expected):
    status, headers, body = got
    want_status, want_headers, want_body = expected
    if status != want_status:
        fail("%s: status %d, the CGI program's %d" % (what, status,
                                                      want_status))
    for name in HEADERS:
        if headers.get(name) != want_headers.get(name):
            fail("%s: %s %r, the CGI program's %r" % (
                what, name, headers.get(name), want_headers.get(name)))
    if body != want_body:
        where = next((i for i, (a, b) in enumerate(zip(body, want_body))
                      if a != b), min(len(body), len(want_body)))
        fail("%s: %d bytes, the CGI program's %d; first difference at byte "
             "%d: %r / %r" % (what, len(body), len(want_body), where,
                              body[max(0, where - 40):where + 40],
                              want_body[max(0, where - 40):where + 40]))
        return False
    return status == want_status


# --- The site's files, and the servers --------------------------------


INSTALLED_CGI = "/usr/lib/cgi-bin"
INSTALLED_WWW = "/usr/share/veloran-site/www"

# Where the packages install the snippets that the build writes into web/.
INSTALLED_SNIPPETS = {
    "lighttpd-veloran-site-fastcgi.conf":
        "/etc/lighttpd/conf-available/50-veloran-site-fastcgi.conf",
    "apache2-veloran-site.conf": "/etc/apache2/conf-available/veloran-site.conf",
    "apache2-veloran-site-fcgid.conf":
        "/etc/apache2/conf-available/veloran-site-fcgid.conf",
    "nginx-veloran-site.conf": "/etc/nginx/snippets/veloran-site.conf",
    "nginx-veloran-site-server.conf": "/etc/nginx/sites-available/veloran-site",
}


class Site:
    """A temporary directory with copies of the built programs (cgi-bin/),
    the form (www/), the servers' configuration, sockets and logs; or, for
    the installed packages (build None), the installed programs, form,
    snippets and data source, with only the configuration, sockets and
    logs in the temporary directory."""

    def __init__(self, name, source, build, cgi_dir, www_dir):
        self.source, self.build = source, build
        self.cgi_dir, self.www_dir = cgi_dir, www_dir
        self.dir = tempfile.mkdtemp(prefix="veloran-%s-" % name)
        os.chmod(self.dir, 0o755)
        self.run = os.path.join(self.dir, "run")
        self.log = os.path.join(self.dir, "log")
        for d in (self.run, self.log):
            os.mkdir(d)
            os.chmod(d, 0o755)
        if build is None:
            self.cgi, self.www, self.programs = cgi_dir, www_dir, cgi_dir
            self.odbc = {}  # the system's data source Veloran
        else:
            self.cgi = os.path.join(self.dir, "cgi-bin")
            self.www = os.path.join(self.dir, "www")
            self.programs = build
            for d in (self.cgi, self.www):
                os.mkdir(d)
                os.chmod(d, 0o755)
            for program in PROGRAMS:
                shutil.copy2(os.path.join(build, program), self.cgi)
            for file_name in WEB_FILES:
                shutil.copy(os.path.join(source, "web", file_name), self.www)
            odbc = os.path.join(build, "odbc")
            self.odbc = {"ODBCSYSINI": odbc,
                         "ODBCINI": os.path.join(odbc, "odbc.ini")}
        # The sessions of the servers the test started (see start).
        self.sessions = set()
        self.root = os.getuid() == 0
        self.user = "www-data" if self.root else pwd.getpwuid(
            os.getuid()).pw_name
        self.group = "www-data" if self.root else grp.getgrgid(
            os.getgid()).gr_name
        if self.root:
            for d in (self.run, self.log):
                shutil.chown(d, "www-data", "www-data")

    def snippet(self, name, *replacements):
        """The snippet NAME, the build's with the installed directories
        replaced by the site's, or the installed one; and the pairs of texts
        given replaced."""
        if self.build is None:
            path = INSTALLED_SNIPPETS[name]
        else:
            path = os.path.join(self.build, "web", name)
        with open(path) as f:
            text = f.read()
        text = text.replace(self.cgi_dir + "/", self.cgi + "/")
        text = text.replace(self.www_dir, self.www)
        for old, new in replacements:
            assert old in text, "%s names no %s" % (name, old)
            text = text.replace(old, new)
        return text

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def start(self, command, **options):
        """Starts a server (or a program's spawner) of the test's own, in a
        session of its own, which every process it starts inherits: the
        test knows its programs by that session, even those left behind
        after it, and never takes another site's processes (the same
        programs, as the same user, from the same directory) for its own."""
        process = subprocess.Popen(command, start_new_session=True, **options)
        self.sessions.add(process.pid)
        return process

    def running(self):
        """The processes of the test's sessions that run a program from the
        site: (pid, user, program)."""
        found = []
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    command = f.read().split(b"\0")[0].decode("latin-1")
                with open("/proc/%s/stat" % pid, "rb") as f:
                    # The session is the fourth field after the command,
                    # which is in parentheses and may hold anything.
                    session = int(f.read().rsplit(b")", 1)[1].split()[3])
                uid = os.stat("/proc/" + pid).st_uid
            except (OSError, IndexError, ValueError):
                continue
            if session in self.sessions and command.startswith(self.cgi + "/"):
                found.append((pid, pwd.getpwuid(uid).pw_name,
                              os.path.basename(command)))
        return found

    def left_running(self):
        return ["%s %s (%s)" % (pid, program, user)
                for pid, user, program in self.running()]

    def logs(self):
        text = ""
        for name in sorted(os.listdir(self.log)):
            with open(os.path.join(self.log, name), "rb") as f:
                text += "== %s\n%s\n" % (name, f.read()[-3000:].decode(
                    "latin-1"))
        return text


def wait_for(port, process, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if process.poll() is not None:
            return False
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def depends(snippet_text):
    for line in snippet_text.splitlines():
        if line.startswith("# -*- depends:") and line.endswith("-*-"):
            return line[len("# -*- depends:"):-3].split()
    return []


def start_lighttpd(site, port):
    """lighttpd on the FastCGI snippet, enabled as lighty-enable-mod does:
    with the Debian set-ups that its "depends" line names."""
    lighttpd = shutil.which("lighttpd", path="/usr/sbin:/usr/bin:/sbin")
    if lighttpd is None:
        return None
    text = site.snippet("lighttpd-veloran-site-fastcgi.conf",
                        ("/run/lighttpd/", site.run + "/"))
    includes = ""
    for dep in depends(text):
        includes += 'include "/etc/lighttpd/conf-available/10-%s.conf"\n' % dep
    snippet = site.write("50-veloran-site-fastcgi.conf", text)
    user = ('server.username = "www-data"\nserver.groupname = "www-data"\n'
            if site.root else "")
    conf = site.write("lighttpd.conf", """\
server.modules = ("mod_indexfile", "mod_access", "mod_alias", "mod_redirect")
server.document-root = "%(www)s"
server.bind = "127.0.0.1"
server.port = %(port)d
server.errorlog = "%(log)s/error.log"
server.pid-file = "%(dir)s/lighttpd.pid"
%(user)sindex-file.names = ("index.html")
mimetype.assign = (".html" => "text/html", ".js" => "text/javascript")
%(includes)sinclude "%(snippet)s"
""" % {"www": site.www, "port": port, "log": site.log, "dir": site.dir,
       "user": user, "includes": includes, "snippet": snippet})
    env = {"PATH": "/usr/bin:/bin"}
    env.update(site.odbc)
    return site.start([lighttpd, "-D", "-f", conf], env=env,
                            stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(site.dir, "stderr"),
                                        "wb"))


def start_serve(site, port):
    """scripts/serve --fastcgi on the build directory."""
    if shutil.which("lighttpd", path="/usr/sbin:/usr/bin:/sbin") is None:
        return None
    env = dict(os.environ)
    env["VELORAN_BUILD_DIR"] = site.build
    site.cgi = os.path.join(os.path.realpath(site.build), "site", "cgi-bin")
    return site.start(
        [os.path.join(site.source, "scripts", "serve"), "--port", str(port),
         "--fastcgi"], env=env, stdout=subprocess.DEVNULL,
        stderr=open(os.path.join(site.log, "serve.log"), "wb"))


def apache_tree(site, port, modules, confs):
    """A copy of Debian's Apache configuration that listens on the port,
    with the modules and the snippets enabled as a2enmod and a2enconf
    enable them and the programs' directories replaced by the site's; the
    environment that apache2ctl would give it."""
    tree = os.path.join(site.dir, "apache2")
    shutil.copytree("/etc/apache2", tree, symlinks=True)
    for name in os.listdir(os.path.join(tree, "sites-enabled")):
        os.unlink(os.path.join(tree, "sites-enabled", name))
    with open(os.path.join(tree, "ports.conf"), "w") as f:
        f.write("Listen 127.0.0.1:%d\nServerName 127.0.0.1\n"
                "DocumentRoot %s\n" % (port, site.www))
    serve_cgi_bin = os.path.join(tree, "conf-available", "serve-cgi-bin.conf")
    with open(serve_cgi_bin) as f:
        text = f.read()
    with open(serve_cgi_bin, "w") as f:
        f.write(text.replace("/usr/lib/cgi-bin/", site.cgi + "/")
                .replace('"/usr/lib/cgi-bin"', '"%s"' % site.cgi))
    for module in modules:
        for suffix in (".load", ".conf"):
            if os.path.exists(os.path.join(tree, "mods-available",
                                           module + suffix)):
                link = os.path.join(tree, "mods-enabled", module + suffix)
                if not os.path.lexists(link):
                    os.symlink("../mods-available/" + module + suffix, link)
    for name, text in confs:
        with open(os.path.join(tree, "conf-available", name + ".conf"),
                  "w") as f:
            f.write(text)
        link = os.path.join(tree, "conf-enabled", name + ".conf")
        if not os.path.lexists(link):
            os.symlink("../conf-available/" + name + ".conf", link)
    # The directory of mod_cgid's socket, as apache2ctl makes it.
    socks = os.path.join(site.run, "socks")
    os.mkdir(socks)
    if site.root:
        shutil.chown(socks, "www-data", "www-data")
    env = {"PATH": "/usr/bin:/bin:/usr/sbin:/sbin", "LANG": "C",
           "APACHE_RUN_USER": site.user,
           "APACHE_RUN_GROUP": site.group,
           "APACHE_PID_FILE": os.path.join(site.dir, "apache2.pid"),
           "APACHE_RUN_DIR": site.run, "APACHE_LOCK_DIR": site.run,
           "APACHE_LOG_DIR": site.log}
    return tree, env


def start_apache(site, port, tree, env):
    command = ["/usr/sbin/apache2", "-d", tree, "-f",
               os.path.join(tree, "apache2.conf"), "-DFOREGROUND"]
    check = subprocess.run(command[:-1] + ["-t"], env=env,
                           capture_output=True)
    if check.returncode != 0:
        fail("Apache does not take the configuration: %s" %
             check.stderr.decode("latin-1"))
        return None
    return site.start(command, env=env, stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(site.log, "stderr"),
                                        "wb"))


def start_apache_fcgid(site, port):
    if not (os.path.exists("/usr/sbin/apache2") and os.path.exists(
            "/usr/lib/apache2/modules/mod_fcgid.so")):
        return None
    fcgid = os.path.join(site.run, "fcgid")
    # The data source, which the installed site has in /etc/odbc.ini, in
    # the environment that mod_fcgid gives the programs it starts (each
    # program's own line replaces FcgidInitialEnv).
    workers = "InitialEnv VELORAN_FASTCGI_WORKERS=1"
    initial = workers + "".join(" InitialEnv %s=%s" % pair
                                for pair in sorted(site.odbc.items()))
    tree, env = apache_tree(site, port, ["fcgid"], [
        ("veloran-site-fcgid", site.snippet("apache2-veloran-site-fcgid.conf",
                                            (workers, initial))),
        ("zz-test-fcgid", "FcgidIPCDir %s\nFcgidProcessTableFile %s/shm\n"
         % (fcgid, fcgid))])
    os.mkdir(fcgid)
    if site.root:
        shutil.chown(fcgid, "www-data", "www-data")
    return start_apache(site, port, tree, env)


def start_apache_cgid(site, port):
    if not (os.path.exists("/usr/sbin/apache2") and os.path.exists(
            "/usr/lib/apache2/modules/mod_cgid.so")):
        return None
    setenv = "".join("SetEnv %s %s\n" % pair
                     for pair in sorted(site.odbc.items()))
    tree, env = apache_tree(site, port, ["cgid", "env"], [
        ("veloran-site", site.snippet("apache2-veloran-site.conf")),
        ("zz-test-cgid", setenv)])
    # a2enconf serve-cgi-bin, which the snippet asks for.
    link = os.path.join(tree, "conf-enabled", "serve-cgi-bin.conf")
    if not os.path.lexists(link):
        os.symlink("../conf-available/serve-cgi-bin.conf", link)
    return start_apache(site, port, tree, env)


class Group:
    """The server and the spawn-fcgi services beside it, stopped together."""

    def __init__(self, server, others):
        self.server, self.others = server, others

    def poll(self):
        return self.server.poll()

    def stop(self):
        for process in [self.server] + self.others:
            stop(process)


def start_nginx(site, port):
    nginx = shutil.which("nginx", path="/usr/sbin:/usr/bin:/sbin")
    spawn = shutil.which("spawn-fcgi", path="/usr/bin:/usr/sbin")
    if nginx is None or spawn is None:
        return None
    site.write("fastcgi_params", open("/etc/nginx/fastcgi_params").read())
    site.write("veloran-site.conf", site.snippet(
        "nginx-veloran-site.conf", ("/run/veloran/", site.run + "/")))
    temp = os.path.join(site.run, "temp")
    os.mkdir(temp)
    if site.root:
        shutil.chown(temp, "www-data", "www-data")
    conf = site.write("nginx.conf", """\
%(user)sworker_processes 2;
pid %(dir)s/nginx.pid;
error_log %(log)s/error.log;
events { }
http {
	include /etc/nginx/mime.types;
	default_type application/octet-stream;
	access_log off;
	client_body_temp_path %(temp)s/body;
	fastcgi_temp_path %(temp)s/fastcgi;
	proxy_temp_path %(temp)s/proxy;
	scgi_temp_path %(temp)s/scgi;
	uwsgi_temp_path %(temp)s/uwsgi;
	include veloran-site-server.conf;
}
""" % {"user": "user www-data;\n" if site.root else "", "dir": site.dir,
       "log": site.log, "temp": temp})
    # The site as the package ships it, on the test's own port.
    site.write("veloran-site-server.conf", site.snippet(
        "nginx-veloran-site-server.conf",
        ("listen 80 default_server;", "listen 127.0.0.1:%d;" % port),
        ("\tlisten [::]:80 default_server;\n", ""),
        ("server_name _;", "server_name 127.0.0.1;"),
        ("root /var/www/html;", "root %s;" % site.www),
        ("include snippets/veloran-site.conf;", "include veloran-site.conf;")))
    env = {"PATH": "/usr/bin:/bin", "VELORAN_FASTCGI_WORKERS": "2"}
    env.update(site.odbc)
    # The programs on their sockets, as veloran-fastcgi@.socket and
    # veloran-fastcgi@.service start them where there is systemd.
    workers = []
    for program in PROGRAMS:
        command = [spawn, "-n", "-s", os.path.join(site.run, program + ".sock"),
                   "-M", "0660"]
        if site.root:
            command += ["-u", "www-data", "-g", "www-data",
                        "-U", "www-data", "-G", "www-data"]
        workers.append(site.start(
            command + ["--", os.path.join(site.cgi, program)], env=env,
            stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(site.log, program + ".log"), "wb")))
    server = site.start(
        [nginx, "-p", site.dir, "-c", conf, "-g", "daemon off;"],
        env={"PATH": "/usr/bin:/bin"}, stdout=subprocess.DEVNULL,
        stderr=open(os.path.join(site.log, "stderr"), "wb"))
    return Group(server, workers)


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=20)
    except subprocess.TimeoutExpired:
        fail("the server did not stop within 20 s of SIGTERM")
        process.kill()
        process.wait()


SERVERS = {
    # name: (start, the programs' address prefixes, whether the programs
    # stay between requests)
    "lighttpd-fastcgi": (start_lighttpd, ["/veloran/cgi-bin/"], True),
    "serve-fastcgi": (start_serve, ["/cgi-bin/"], True),
    "apache-fcgid": (start_apache_fcgid, ["/veloran/cgi-bin/"], True),
    "apache-cgid": (start_apache_cgid, ["/veloran/cgi-bin/", "/cgi-bin/"],
                    False),
    "nginx": (start_nginx, ["/veloran/cgi-bin/"], True),
}


# --- The checks ----------------------------------------------------------


def check_programs(site, port, prefix):
    """Each request of the tables, one after another and then eight at a
    time, against the program run directly."""
    expected = {}
    for program, query in REQUESTS + REFUSABLE:
        env = {"PATH": "/usr/bin:/bin", "GATEWAY_INTERFACE": "CGI/1.1",
               "REQUEST_METHOD": "GET", "SERVER_NAME": "127.0.0.1",
               "SERVER_PORT": str(port), "SERVER_PROTOCOL": "HTTP/1.0",
               "SCRIPT_NAME": prefix + program}
        env.update(site.odbc)
        expected[(program, query)] = cgi_reply(
            os.path.join(site.programs, program), env, query)

    def target(program, query):
        path = prefix + program
        return (path if query is None else path + "?" + query).encode()

    def check(what, request, got):
        """1 when the reply is the program's, 0 when the server refused a
        request that it may refuse, and the failure otherwise."""
        want = expected[request]
        if (request in REFUSABLE and got[0] == 400 and
                got[1].get("content-type") != want[1].get("content-type")):
            return 0
        return 1 if compare(what, got, want) else None

    requests = REQUESTS + REFUSABLE
    same = refused = 0
    for request in requests:
        what = "%s %r" % (prefix + request[0], request[1])
        try:
            result = check(what, request, get(port, target(*request)))
        except (OSError, ValueError, IndexError) as error:
            fail("%s: no reply: %s" % (what, error))
            continue
        same += result == 1
        refused += result == 0
    print("ok: %d of %d requests under %s answered as the CGI programs "
          "answer them, %d refused by the server itself" % (
              same, len(requests), prefix, refused), flush=True)

    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        futures = [(request, pool.submit(get, port, target(*request)))
                   for request in requests * 2]
        same = 0
        for request, future in futures:
            what = "at once: %s %r" % (prefix + request[0], request[1])
            try:
                same += check(what, request, future.result()) is not None
            except (OSError, ValueError, IndexError) as error:
                fail("%s: no reply: %s" % (what, error))
    print("ok: %d of %d requests at once, 8 clients" % (same,
                                                       len(requests) * 2),
          flush=True)


def check_services(site, port, prefix):
    """Each of SERVICE_REQUESTS against the program run directly with the
    method, PATH_INFO and body that the server should pass on."""
    same = 0
    for method, program, path_info, query, body in SERVICE_REQUESTS:
        env = {"PATH": "/usr/bin:/bin", "GATEWAY_INTERFACE": "CGI/1.1",
               "REQUEST_METHOD": method, "SERVER_NAME": "127.0.0.1",
               "SERVER_PORT": str(port), "SERVER_PROTOCOL": "HTTP/1.0",
               "SCRIPT_NAME": prefix + program}
        if path_info:
            env["PATH_INFO"] = path_info
        if body is not None:
            env["CONTENT_TYPE"] = "application/x-www-form-urlencoded"
            env["CONTENT_LENGTH"] = str(len(body))
        env.update(site.odbc)
        want = cgi_reply(os.path.join(site.programs, program), env, query,
                         body or b"")
        target = (prefix + program + path_info +
                  ("" if query is None else "?" + query)).encode()
        what = "%s %s" % (method, target.decode())
        try:
            got = get(port, target, method=method.encode(), body=body)
        except (OSError, ValueError, IndexError) as error:
            fail("%s: no reply: %s" % (what, error))
            continue
        same += compare(what, got, want)
    print("ok: %d of %d requests of the services (VOSI, POST, OPTIONS) "
          "passed on whole" % (same, len(SERVICE_REQUESTS)), flush=True)


def check_form(site, port, name):
    """The form and its scripts; the programs' addresses run nothing else."""
    if name != "serve-fastcgi":
        status, headers, _ = get(port, b"/veloran")
        if status != 301 or not headers.get("location", b"").endswith(
                b"/veloran/"):
            fail("/veloran: status %d, Location %r: not sent to /veloran/" %
                 (status, headers.get("location")))
        base = b"/veloran/"
    else:
        base = b"/"
    for file_name in WEB_FILES:
        with open(os.path.join(site.source, "web", file_name), "rb") as f:
            want = f.read()
        target = base + (b"" if file_name == "index.html" else
                         file_name.encode())
        status, headers, body = get(port, target)
        kind = b"text/html" if file_name.endswith(".html") else b"javascript"
        if status != 200 or body != want or kind not in headers.get(
                "content-type", b""):
            fail("%s: status %d, %s, %d bytes (%d in web/)" % (
                target.decode(), status, headers.get("content-type"),
                len(body), len(want)))
    for target in [b"neighbor_search/x", b"neighbor_searchx", b"",
                   b"find_star.sh", b"../cgi-bin/neighbours/"]:
        target = (b"/cgi-bin/" if name == "serve-fastcgi"
                  else b"/veloran/cgi-bin/") + target
        status, _, _ = get(port, target)
        if status not in (403, 404):
            fail("%s: status %d, not refused" % (target.decode(), status))
    print("ok: the form and its scripts; no other address runs a program",
          flush=True)


def check_processes(site, resident):
    """Who runs the programs: the server's user, never root; a FastCGI
    server keeps each program running, its supervisor and a worker at
    least; a CGI program ends with its request."""
    running = site.running()
    for pid, user, program in running:
        if user != site.user:
            fail("%s (pid %s) runs as %s, not %s" % (program, pid, user,
                                                     site.user))
    counts = {program: 0 for program in PROGRAMS}
    for _, _, program in running:
        counts[program] += 1
    if resident:
        fewer = [p for p, n in counts.items() if n < 2]
        if fewer:
            fail("no resident workers of %s: %s" % (", ".join(fewer), counts))
    elif running:
        fail("programs still running between requests: %s" % counts)
    print("ok: %d processes of the programs run as %s%s" % (
        len(running), site.user,
        " (a supervisor and its workers each)" if resident else ""),
        flush=True)


def main():
    args = sys.argv[1:]
    installed = args[:1] == ["--installed"]
    if installed and len(args) == 3 and args[1] in SERVERS and \
            args[1] != "serve-fastcgi":
        name, source = args[1:]
        build, cgi_dir, www_dir = None, INSTALLED_CGI, INSTALLED_WWW
    elif not installed and len(args) == 5 and args[0] in SERVERS:
        name, source, build, cgi_dir, www_dir = args
        build = os.path.abspath(build)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    source = os.path.abspath(source)
    start, prefixes, resident = SERVERS[name]
    site = Site(name, source, build, cgi_dir.rstrip("/"), www_dir.rstrip("/"))
    port = free_port()
    started = time.time()
    server = None
    try:
        server = start(site, port)
        if server is None:
            if fail.count:
                print(site.logs())
                return 1
            print("SKIP: %s is not installed" % name)
            shutil.rmtree(site.dir)
            return 77
        if not wait_for(port, server):
            fail("%s did not start listening on port %d" % (name, port))
        else:
            for prefix in prefixes:
                check_programs(site, port, prefix)
                check_services(site, port, prefix)
            check_form(site, port, name)
            check_processes(site, resident)
    finally:
        if isinstance(server, Group):
            server.stop()
        elif server is not None:
            stop(server)
    # The programs end with the server (or, under spawn-fcgi, with their
    # own SIGTERM) within the supervisor's five seconds.
    deadline = time.time() + 8
    while site.left_running() and time.time() < deadline:
        time.sleep(0.1)
    left = site.left_running()
    if left:
        fail("programs left running after the server stopped: %s" %
             ", ".join(left))
    print("%s: %d failed (%.1f s)" % (name, fail.count, time.time() - started))
    if fail.count:
        print(site.logs())
        print("(the site is in %s)" % site.dir)
        return 1
    shutil.rmtree(site.dir)
    return 0


if __name__ == "__main__":
    sys.exit(main())
