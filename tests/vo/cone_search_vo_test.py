#!/usr/bin/python3
"""The cone search as astronomers reach it: served by lighttpd through
scripts/serve, asked by pyvo and by STILTS, every reply read by astropy's
VOTable parser in its strict mode (a warning is a failure) and checked by
xmllint against the VOTable 1.1 schema, and every table compared with an
independent computation on the same database: the positions read with
Python's sqlite3 and the angles by astropy's SkyCoord.separation.

Two sites: the sample database as scripts/serve serves it, and a copy of it
with 3,000 random stars, stars on and next to both poles and on both sides
of 0h, twins, rows that are no star's and names meant to break the XML.

The service's other faces, on the sample site: its VOSI resources and the
registry record, checked by xmllint against the VO schemas (those of
Debian's python3-gavo, read from disk, never the network) and read by
pyvo's VOSI parsers; DALI's rules (POST, RESPONSEFORMAT, a parameter given
twice, RA out of range); STILTS's votlint on tables and errors; a
browser's CORS preflight, sent by curl; and the downloads of the search
page, cut to a page (OVERFLOW) or refused, in their own formats.

Usage: cone_search_vo_test.py SOURCE_DIR BUILD_DIR.  Installs nothing:
scripts/test installs lighttpd, python3-pyvo, python3-astropy, stilts,
libxml2-utils, curl and python3-gavo; without them it fails saying what is
missing."""

import math
import os
import random
import shutil
import signal
import socket
import sqlite3
import struct
import subprocess
import sys
import time
import urllib.error
import urllib.parse
import urllib.request
import warnings

failures = []
checks = 0
synthetic_stars = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def need_tools():
    missing = []
    try:
        import astropy  # noqa: F401
    except ImportError:
        missing.append("python3-astropy")
    try:
        import pyvo  # noqa: F401
    except ImportError:
        missing.append("python3-pyvo")
    for tool, package in (("stilts", "stilts"), ("java", "default-jre-headless"),
                          ("xmllint", "libxml2-utils"), ("curl", "curl")):
        if shutil.which(tool) is None:
            missing.append(package)
    if not os.path.isdir(VO_SCHEMAS):
        missing.append("python3-gavo")
    if shutil.which("lighttpd", path=os.environ.get("PATH", "") +
                    ":/usr/sbin:/sbin") is None:
        missing.append("lighttpd")
    if missing:
        print("cone search VO test: missing " + " ".join(missing) +
              "; scripts/test installs them (or: apt-get install " +
              " ".join(missing) + ")")
        sys.exit(1)


# The VO's XML schemas as Debian's DaCHS library ships them.
VO_SCHEMAS = "/usr/lib/python3/dist-packages/gavo/resources/schemata"


# --- The databases --------------------------------------------------------

def float32(value):
    """The program reads RA_sec and Dec_arcsec as 32-bit floats."""
    return struct.unpack("f", struct.pack("f", value))[0]


def catalogue(path):
    """Every star with a direction: {id: (ra, dec)} in degrees, from the
    rows of Positions as the database documents them: a star's own row has
    an OwnerID that is a multiple of 100; the degrees carry the sign of the
    whole declination, zero degrees counting as positive."""
    stars = {}
    connection = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    for owner, hours, minutes, seconds, degrees, arcmin, arcsec in connection.execute(
            "SELECT OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, "
            "Dec_arcsec FROM Positions"):
        if owner is None or owner % 100 != 0 or hours is None or degrees is None:
            continue
        ra = (hours + (minutes or 0) / 60 + float32(seconds or 0.0) / 3600) * 15
        sign = 1 if degrees >= 0 else -1
        dec = degrees + sign * ((arcmin or 0) / 60 + float32(arcsec or 0.0) / 3600)
        stars[owner] = (ra, dec)
    connection.close()
    return stars


def sexagesimal(ra, dec):
    """The stored parts of a direction: hours, minutes, seconds to 3 places;
    degrees, arcminutes, arcseconds to 2, a declination between 0 and -1
    degree as negative arcseconds."""
    total = round(ra / 15 * 3600 * 1000) % (24 * 3600 * 1000)
    hours, rest = divmod(total, 3600 * 1000)
    minutes, milliseconds = divmod(rest, 60 * 1000)
    centi = round(abs(dec) * 3600 * 100)
    if dec < 0 and centi < 3600 * 100:
        return hours, minutes, milliseconds / 1000, 0, 0, -centi / 100
    degrees, rest = divmod(centi, 3600 * 100)
    arcmin, centiseconds = divmod(rest, 60 * 100)
    return (hours, minutes, milliseconds / 1000,
            -degrees if dec < 0 else degrees, arcmin, centiseconds / 100)


def build_synthetic(source, build, directory):
    """A build directory that scripts/serve serves as it is: the programs,
    the driver and the extension, and the sample database with more stars
    under the name sample.db."""
    if os.path.exists(directory):
        shutil.rmtree(directory)
    os.makedirs(directory)
    os.chmod(directory, 0o755)
    for name in ("neighbor_search", "entry_page.exe", "find_star", "cone_search",
                 "veloran_dialect.so", "veloran_odbc.so", "sample.db"):
        shutil.copy2(os.path.join(build, name), directory)
    database = os.path.join(directory, "sample.db")
    connection = sqlite3.connect(database)
    connection.enable_load_extension(True)
    connection.load_extension(os.path.join(directory, "veloran_dialect.so"))
    insert = ("INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, "
              "Dec_arcmin, Dec_arcsec, Distance) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
    generator = random.Random(20261208)
    star = 2000000000
    for _ in range(3000):
        ra = generator.uniform(0, 360)
        dec = math.degrees(math.asin(generator.uniform(-1, 1)))
        distance = None if generator.random() < 0.1 else generator.uniform(1, 1000)
        connection.execute(insert, (star, *sexagesimal(ra, dec), distance))
        star += 100
    edges = [
        (0, 0, 0.0, 90, 0, 0.0),        # the north pole
        (12, 0, 0.0, 89, 59, 59.99),    # beside it, across the pole
        (6, 0, 0.0, -90, 0, 0.0),       # the south pole
        (18, 0, 0.0, -89, 59, 59.99),
        (0, 0, 0.001, 0, 0, 0.0),       # both sides of 0h
        (23, 59, 59.999, 0, 0, 0.0),
        (23, 59, 59.999, 0, 0, -0.5),   # and just south of the equator
        (0, 0, 30.0, 0, 0, -1800.0),    # -0.5 degrees, as the database stores it
    ]
    # Six stars at one place, the first four with the names below.
    edges += [(10, 0, 0.0, 45, 0, 0.0)] * 6
    named = star + (len(edges) - 6) * 100
    for parts in edges:
        connection.execute(insert, (star, *parts, 10.0))
        star += 100
    # Rows that are in no cone: no RA, no Dec, no owner, no star's own row.
    connection.execute(insert, (star, None, None, None, 45, 0, 0.0, 5.0))
    connection.execute(insert, (star + 100, 10, 0, 0.0, None, None, None, 5.0))
    connection.execute(insert, (None, 10, 0, 0.0, 45, 0, 0.0, 5.0))
    connection.execute(insert, (star + 250, 10, 0, 0.0, 45, 0, 0.0, 5.0))
    # Names as the database holds them: windows-1252 HTML fragments.
    names = [b"<b>R&amp;D</b> \"q\" 'a' &lt;x&gt;", b"\x01\x1f&#1;&#xFFFE; \x81\x92\x80",
             b"&alpha;&Omega; &eacute;\xe9 &foo; & ]]> <![CDATA[", b"<script>alert(1)</script>"]
    for i, name in enumerate(names):
        connection.execute("INSERT INTO ProperNames (OwnerID, Name, IsSystemName) "
                           "VALUES (?, CAST(? AS TEXT), 1)",
                           (named + i * 100, name))
    connection.commit()
    connection.close()
    global synthetic_stars
    synthetic_stars = 32 + 3000 + len(edges)
    subprocess.run([os.path.join(source, "scripts", "write-dsn"), database,
                    os.path.join(directory, "odbc"),
                    os.path.join(directory, "veloran_dialect.so")], check=True,
                   stdout=subprocess.DEVNULL)
    return database


# --- The servers ----------------------------------------------------------

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Site:
    """scripts/serve on a free port for the build directory "build"."""

    def __init__(self, source, build, log):
        self.port = free_port()
        self.log = open(log, "w")
        self.process = subprocess.Popen(
            [os.path.join(source, "scripts", "serve"), "--port", str(self.port)],
            env=dict(os.environ, VELORAN_BUILD_DIR=build),
            stdout=self.log, stderr=subprocess.STDOUT)
        for _ in range(600):
            if self.process.poll() is not None:
                raise RuntimeError(f"scripts/serve ended; see {log}")
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                break
            except OSError:
                time.sleep(0.1)
        else:
            raise RuntimeError(f"scripts/serve did not answer; see {log}")
        self.url = f"http://127.0.0.1:{self.port}/cgi-bin/cone_search?"

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(30)
        self.log.close()


# --- The checks -----------------------------------------------------------

def fetch(url):
    try:
        with urllib.request.urlopen(url, timeout=60) as reply:
            return reply.status, reply.headers.get("Content-Type"), reply.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers.get("Content-Type"), error.read()


schema = None
replies = 0


def strict_parse(body, directory):
    """The reply parsed by astropy in its strict mode, any warning an
    error, after xmllint has checked it against the VOTable 1.1 schema."""
    global replies
    from astropy.io.votable import parse
    replies += 1
    path = os.path.join(directory, f"reply-{replies}.xml")
    with open(path, "wb") as f:
        f.write(body)
    lint = subprocess.run(["xmllint", "--noout", "--schema", schema, path],
                          capture_output=True, text=True)
    check(lint.returncode == 0, f"{path}: xmllint: {lint.stderr.strip()}")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        return parse(path, verify="exception")


def status_of(votable):
    resource = votable.resources[0]
    statuses = [info.value for info in resource.infos if info.name == "QUERY_STATUS"]
    return statuses[0] if statuses else None


def compare_cone(site, stars, ra, dec, radius, directory, label):
    """The stars of one cone, through pyvo and as fetched, against the
    independent computation."""
    import pyvo
    from astropy import units as u
    from astropy.coordinates import SkyCoord
    centre = SkyCoord(ra * u.deg, dec * u.deg)
    ids = list(stars)
    places = SkyCoord([stars[i][0] for i in ids] * u.deg,
                      [stars[i][1] for i in ids] * u.deg)
    separations = dict(zip(ids, centre.separation(places).deg))
    inside = {i for i in ids if separations[i] <= radius - 1e-9}
    edge = {i for i in ids if abs(separations[i] - radius) < 1e-9}

    results = pyvo.dal.SCSService(site.url).search(pos=centre, radius=radius)
    table = results.to_table()
    got = [int(i) for i in table["id"]]
    check(len(got) == len(set(got)), f"{label}: an ID listed twice")
    check(inside <= set(got) <= inside | edge,
          f"{label}: {sorted(set(got) - inside - edge)} listed outside the cone, "
          f"{sorted(inside - set(got))} inside it left out")
    column = [float(s) for s in table["separation_deg"]]
    check(column == sorted(column), f"{label}: not nearest first")
    for i, separation, star_ra, star_dec in zip(got, column, table["ra_deg"],
                                                table["dec_deg"]):
        if i not in stars:
            continue
        # Written to 0.000001 degree.
        check(abs(separation - separations[i]) <= 5e-7 + 1e-12,
              f"{label}: star {i} at {separation}, astropy says {separations[i]}")
        check(abs(float(star_ra) - stars[i][0]) <= 5e-7 + 1e-12 and
              abs(float(star_dec) - stars[i][1]) <= 5e-7 + 1e-12,
              f"{label}: star {i} at ({star_ra}, {star_dec}), the database says {stars[i]}")
    # pyvo's own view of each record: the UCDs of Simple Cone Search 1.03.
    for record in results:
        check(int(record.id) in stars and
              abs(record.pos.separation(centre).deg - separations[int(record.id)]) < 1e-6,
              f"{label}: pyvo's record {record.id} at {record.pos}")
    # The same reply as fetched, strictly parsed and checked by the schema.
    query = urllib.parse.urlencode({"RA": repr(ra), "DEC": repr(dec), "SR": repr(radius)})
    status, content_type, body = fetch(site.url + query)
    check(status == 200 and content_type == "text/xml; charset=UTF-8",
          f"{label}: status {status}, type {content_type}")
    votable = strict_parse(body, directory)
    check(status_of(votable) == "OK", f"{label}: QUERY_STATUS {status_of(votable)}")
    return got, separations


def check_verbosity(site, directory):
    import pyvo
    columns = {
        1: ["id", "ra_deg", "dec_deg"],
        2: ["id", "hip", "name", "ra_deg", "dec_deg", "epoch",
            "pm_ra_cosdec_mas_yr", "pm_dec_mas_yr", "separation_deg",
            "distance_ly", "spectral_class", "v_mag"],
        3: ["id", "hip", "name", "ra_deg", "dec_deg", "epoch",
            "pm_ra_cosdec_mas_yr", "pm_dec_mas_yr", "separation_deg",
            "distance_ly", "spectral_class", "luminosity_class", "v_mag", "b_v",
            "parallax_mas", "parallax_error_mas", "distance_source",
            "constellation", "entry_page"],
    }
    for verbosity, names in columns.items():
        results = pyvo.dal.SCSService(site.url).search(
            pos=(217.0, -62.0), radius=3.0, verbosity=verbosity)
        check(list(results.fieldnames) == names,
              f"VERB={verbosity}: columns {results.fieldnames}")
        check(len(results) == 3, f"VERB={verbosity}: {len(results)} rows")
    votable = strict_parse(fetch(site.url + "RA=217&DEC=-62&SR=3&VERB=3")[2], directory)
    fields = {f.name: f for f in votable.get_first_table().fields}
    check(fields["id"].ucd == "ID_MAIN" and fields["ra_deg"].ucd == "POS_EQ_RA_MAIN"
          and fields["dec_deg"].ucd == "POS_EQ_DEC_MAIN",
          "the UCDs of the ID, RA and Dec")
    check(fields["ra_deg"].datatype == "double" and str(fields["ra_deg"].unit) == "deg",
          "RA is a double in degrees")
    check(str(fields["distance_ly"].unit) == "lyr" and
          str(fields["parallax_mas"].unit) == "mas" and
          fields["pm_ra_cosdec_mas_yr"].unit.to_string("vounit") == "mas.yr**-1" and
          fields["pm_ra_cosdec_mas_yr"].ucd == "pos.pm;pos.eq.ra" and
          fields["pm_dec_mas_yr"].ucd == "pos.pm;pos.eq.dec" and
          str(fields["epoch"].unit) == "yr", "the units and UCDs")
    # Proxima is at the sample's epoch 1991.54, so no epoch for the whole
    # table; each row has its own.
    system = votable.resources[0].coordinate_systems[0]
    check(system.system == "ICRS" and system.epoch is None,
          f"COOSYS {system.system} {system.epoch}, expected ICRS without an epoch")
    table = votable.get_first_table().array
    epochs = {int(i): float(e) for i, e in zip(table["id"], table["epoch"])}
    check(epochs == {708900000: 1991.54, 716810200: 2000.0, 716830100: 2000.0},
          f"the rows' epochs {epochs}")
    check(float(table["v_mag"][0]) == 11.0 and
          fields["v_mag"].datatype == "double", "V of Proxima")
    row = votable.get_first_table().array[0]
    check(row["entry_page"] ==
          f"http://127.0.0.1:{site.port}/cgi-bin/entry_page.exe?ID={row['id']}",
          f"the entry page's address {row['entry_page']}")
    check(fetch(row["entry_page"])[0] == 200, "the entry page answers")


def check_metadata_and_limits(site, stars, directory):
    import pyvo
    from astropy.coordinates import SkyCoord
    # SR=0: the columns, no rows.
    for query in ("RA=0&DEC=90&SR=0", "RA=10&DEC=-5&SR=0.0"):
        votable = strict_parse(fetch(site.url + query)[2], directory)
        table = votable.get_first_table()
        check(len(table.array) == 0 and len(table.fields) == 12 and
              status_of(votable) == "OK", f"{query}: metadata")
    results = pyvo.dal.SCSService(site.url).search(pos=(0.0, 90.0), radius=0)
    check(len(results) == 0 and "ra_deg" in results.fieldnames, "pyvo: SR=0")
    # MAXREC: the nearest N, and an overflow indicator.
    votable = strict_parse(fetch(site.url + "RA=0&DEC=90&SR=10&MAXREC=7")[2], directory)
    table = votable.get_first_table().to_table()
    centre = SkyCoord(0, 90, unit="deg")
    nearest = sorted(centre.separation(SkyCoord(ra, dec, unit="deg")).deg
                     for ra, dec in stars.values())[:7]
    check(len(table) == 7 and status_of(votable) == "OVERFLOW" and
          all(abs(a - b) <= 5e-7 + 1e-12
              for a, b in zip(table["separation_deg"], nearest)),
          f"MAXREC=7: {len(table)} rows, {status_of(votable)}")
    votable = strict_parse(fetch(site.url + "RA=0&DEC=90&SR=10&MAXREC=0")[2], directory)
    check(len(votable.get_first_table().array) == 0 and status_of(votable) == "OVERFLOW",
          "MAXREC=0: the columns, OVERFLOW")


def check_errors(site, directory):
    """Each error as the Recommendation writes it: status 200, an Error INFO
    below the root that pyvo reports, QUERY_STATUS ERROR, every reflected
    byte escaped."""
    import pyvo
    from pyvo.dal import DALQueryError
    cases = [
        ("DEC=10&SR=1", "The parameter RA is missing"),
        ("RA=10&SR=1", "The parameter DEC is missing"),
        ("RA=10&DEC=10", "The parameter SR is missing"),
        ("RA=as3f&DEC=10&SR=1", "RA 'as3f' is no number"),
        ("RA=10&DEC=91&SR=1", "DEC '91' is out of range"),
        ("RA=10&DEC=-90.5&SR=1", "DEC '-90.5' is out of range"),
        ("RA=10&DEC=10&SR=-1", "SR '-1' is out of range"),
        ("RA=10&DEC=10&SR=10.000001", "is larger than the largest radius of this service, 10 degrees"),
        ("RA=10&DEC=10&SR=1&VERB=9", "VERB '9' is not 1, 2 or 3"),
        ("RA=nan&DEC=10&SR=1", "RA 'nan' is no number"),
        ("RA=%3Cscript%3Ealert(1)%3C%2Fscript%3E&DEC=10&SR=1",
         "RA '<script>alert(1)</script>' is no number"),
        ("RA=%22%3E%3Cx%3E%26amp%3B%27&DEC=10&SR=1", "RA '\"><x>&amp;'' is no number"),
        # (lighttpd refuses control characters and bytes that are no UTF-8
        # in the query itself: the program's own tests send them.)
        ("RA=%E2%82%AC%25+1%C3%A9&DEC=10&SR=1", "RA '%E2%82%AC%25 1%C3%A9' is no number"),
    ]
    for query, words in cases:
        status, content_type, body = fetch(site.url + query)
        check(status == 200 and content_type == "text/xml; charset=UTF-8",
              f"{query}: status {status}, type {content_type}")
        check(b"<script" not in body and b"<x>" not in body, f"{query}: markup came back")
        votable = strict_parse(body, directory)
        errors = [info.value for info in votable.infos if info.name == "Error"]
        check(len(errors) == 1 and words in errors[0], f"{query}: Error INFO {errors}")
        check(status_of(votable) == "ERROR", f"{query}: QUERY_STATUS {status_of(votable)}")
    try:
        pyvo.dal.SCSService(site.url).search(pos=(10.0, 10.0), radius=20.0)
        check(False, "pyvo: SR=20 gave no error")
    except DALQueryError as error:
        check("larger than the largest radius" in str(error), f"pyvo: {error}")


def fetch_full(url, method="GET", data=None, headers=None):
    """(status, headers, body) of one request, whatever its status."""
    request = urllib.request.Request(url, data=data, method=method,
                                     headers=headers or {})
    try:
        with urllib.request.urlopen(request, timeout=60) as reply:
            return reply.status, reply.headers, reply.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers, error.read()


vo_lint = None


def vo_schema_lint(body, directory, name):
    """xmllint with the VO's schemas (VOSI, VOResource, VODataService,
    SimpleDALRegExt, RegistryInterface), their imports read from disk."""
    global vo_lint
    if vo_lint is None:
        catalog = os.path.join(directory, "vo-catalog.xml")
        rewrites = "".join(
            f'<{kind} {attribute}="{prefix}" rewritePrefix="file://{VO_SCHEMAS}/"/>'
            for prefix in ("http://docs.g-vo.org/schemata/",
                           "http://vo.ari.uni-heidelberg.de/docs/schemata/")
            for kind, attribute in (("rewriteURI", "uriStartString"),
                                    ("rewriteSystem", "systemIdStartString")))
        with open(catalog, "w") as f:
            f.write('<?xml version="1.0"?>\n<catalog xmlns="urn:oasis:names:'
                    f'tc:entity:xmlns:xml:catalog">{rewrites}</catalog>\n')
        wrapper = os.path.join(directory, "vo-schemas.xsd")
        imports = "".join(
            f'<xs:import namespace="http://www.ivoa.net/xml/{ns}" '
            f'schemaLocation="file://{VO_SCHEMAS}/{file}"/>'
            for ns, file in (("VOResource/v1.0", "VOResource.xsd"),
                             ("VODataService/v1.1", "VODataService.xsd"),
                             ("ConeSearch/v1.0", "ConeSearch.xsd"),
                             ("VOSICapabilities/v1.0", "VOSICapabilities.xsd"),
                             ("VOSIAvailability/v1.0", "VOSIAvailability.xsd"),
                             ("RegistryInterface/v1.0", "RegistryInterface.xsd")))
        with open(wrapper, "w") as f:
            f.write('<?xml version="1.0"?>\n<xs:schema xmlns:xs="http://www.w3.org'
                    '/2001/XMLSchema" targetNamespace="urn:veloran:vo-test">'
                    f'{imports}</xs:schema>\n')
        vo_lint = (catalog, wrapper)
    path = os.path.join(directory, name)
    with open(path, "wb") as f:
        f.write(body)
    lint = subprocess.run(["xmllint", "--nonet", "--noout", "--schema", vo_lint[1], path],
                          capture_output=True, text=True,
                          env=dict(os.environ, XML_CATALOG_FILES=vo_lint[0]))
    errors = [line for line in lint.stderr.splitlines()
              if "parser warning" not in line and not line.endswith(" validates")]
    check(lint.returncode == 0 and not errors, f"{name}: xmllint: {errors}")
    return path


def votlint(location, label):
    run = subprocess.run(["stilts", "votlint", f"votable={location}"],
                         capture_output=True, text=True, timeout=120)
    check(run.returncode == 0 and run.stdout.strip() == "" and
          run.stderr.strip() == "",
          f"votlint {label}: {run.stdout.strip()} {run.stderr.strip()}")


def check_vosi(site, build, directory):
    """capabilities and availability below the service's address, and the
    registry record, as the VO's schemas and pyvo read them."""
    from pyvo.io import vosi
    base = site.url.rstrip("?")
    status, headers, body = fetch_full(base + "/capabilities")
    check(status == 200 and headers["Content-Type"] == "text/xml; charset=UTF-8",
          f"capabilities: {status} {headers['Content-Type']}")
    path = vo_schema_lint(body, directory, "capabilities.xml")
    # pyvo 1.2.1 reads the capabilities but not the cone search's own
    # elements (it warns of them): those are read as XML.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        capabilities = vosi.parse_capabilities(path)
    from xml.etree import ElementTree
    cone = ElementTree.parse(path).getroot().find("capability")
    check(cone.findtext("maxSR") == "10" and cone.findtext("maxRecords") == "10000" and
          cone.findtext("interface/accessURL") == site.url,
          f"capabilities: the cone search {ElementTree.tostring(cone)[:300]}")
    standards = sorted(c.standardid for c in capabilities)
    check(standards == ["ivo://ivoa.net/std/ConeSearch",
                        "ivo://ivoa.net/std/VOSI#availability",
                        "ivo://ivoa.net/std/VOSI#capabilities"],
          f"capabilities: {standards}")
    # Every address it gives answers.
    for capability in capabilities:
        url = capability.interfaces[0].accessurls[0].content
        if capability.standardid == "ivo://ivoa.net/std/ConeSearch":
            url += "RA=217.4&DEC=-62.7&SR=0.1"
        check(fetch(url)[0] == 200, f"capabilities: {url} does not answer")
    status, headers, body = fetch_full(base + "/availability")
    path = vo_schema_lint(body, directory, "availability.xml")
    availability = vosi.parse_availability(path)
    check(status == 200 and availability.available is True and
          headers["Cache-Control"] == "no-store",
          f"availability: {status}, {availability.available}")
    check(fetch(base + "/tables")[0] == 404, "an unknown resource is not 404")
    # The registry record of the same service, from the command.
    run = subprocess.run(
        [os.path.join(build, "veloran-registry-record"),
         "--identifier", "ivo://example.org/veloran/cone",
         "--publisher", "Example & <Observatory>", "--contact-name", "Site operator",
         "--contact-email", "vo@example.org", "--url", base.rsplit("/", 1)[0] + "/"],
        capture_output=True, timeout=60)
    check(run.returncode == 0, f"veloran-registry-record: {run.stderr}")
    path = vo_schema_lint(run.stdout, directory, "record.xml")
    root = ElementTree.parse(path).getroot()
    columns = [c.findtext("name") for c in root.iter("column")]
    check(columns == ["id", "hip", "name", "ra_deg", "dec_deg", "epoch",
                      "pm_ra_cosdec_mas_yr", "pm_dec_mas_yr", "separation_deg",
                      "distance_ly", "spectral_class", "luminosity_class", "v_mag",
                      "b_v", "parallax_mas", "parallax_error_mas", "distance_source",
                      "constellation", "entry_page"], f"record: columns {columns}")
    check(root.find("curation/publisher").text == "Example & <Observatory>",
          "record: the publisher")
    check(root.find("capability/interface/accessURL").text == site.url,
          "record: the service's address")
    # What the command refuses, with its reason.
    command = [os.path.join(build, "veloran-registry-record"), "--publisher", "P",
               "--contact-name", "N", "--contact-email", "vo@example.org"]
    for extra, words in [([], "--identifier"),
                         (["--identifier", "example.org/x", "--url",
                           "https://stars.example/"], "IVOA identifier"),
                         (["--identifier", "ivo://example.org/x", "--url",
                           "https://stars.example/cgi-bin"], "--url"),
                         (["--identifier", "ivo://example.org/x", "--url",
                           "https://stars.example/", "--created", "2025-01-31"],
                          "UTC times")]:
        run = subprocess.run(command + extra, capture_output=True, text=True,
                             env=dict(os.environ, VELORAN_PUBLIC_URL=""), timeout=60)
        check(run.returncode == 2 and words in run.stderr and run.stdout == "",
              f"veloran-registry-record {extra}: {run.returncode} {run.stderr}")


def check_dali_rules(site, directory):
    """POST, RESPONSEFORMAT, the parameters' letter case and repetition, RA
    out of range; each error strictly parsed and linted."""
    get_body = fetch(site.url + "RA=217&DEC=-62&SR=3&VERB=3")[2]
    status, _, post_body = fetch_full(site.url.rstrip("?"), "POST",
                                      b"ra=217&Dec=-62&SR=3&verb=3")
    check(status == 200 and post_body == get_body, "POST: not the GET's table")
    votlint(site.url + "RA=217&DEC=-62&SR=3&VERB=3", "a table")
    status, headers, body = fetch_full(site.url + "RA=217&DEC=-62&SR=3&RESPONSEFORMAT=csv")
    import csv
    import io
    rows = list(csv.reader(io.StringIO(body.decode())))
    check(status == 200 and headers["Content-Type"].startswith("text/csv") and
          rows[0][:4] == ["id", "hip", "name", "ra_deg"] and len(rows) == 4 and
          headers["Veloran-Query-Status"] == "OK", f"csv: {status} {rows[:1]}")
    status, headers, body = fetch_full(
        site.url + "RA=217&DEC=-62&SR=3&RESPONSEFORMAT=application/x-votable%2Bxml")
    check(headers["Content-Type"] == "application/x-votable+xml; charset=UTF-8" and
          status_of(strict_parse(body, directory)) == "OK",
          f"RESPONSEFORMAT=application/x-votable+xml: {headers['Content-Type']}")
    for query, words in [
            ("RA=217&DEC=-62&SR=3&RA=217", "The parameter RA is given 2 times"),
            ("RA=217&DEC=-62&SR=3&sr=3", "The parameter SR is given 2 times"),
            ("RA=370&DEC=-62&SR=3", "RA '370' is out of range"),
            ("RA=-1&DEC=-62&SR=3", "RA '-1' is out of range"),
            ("RA=217&DEC=-62&SR=3&RESPONSEFORMAT=fits", "RESPONSEFORMAT 'fits' is not offered")]:
        status, _, body = fetch_full(site.url + query)
        votable = strict_parse(body, directory)
        errors = [info.value for info in votable.infos if info.name == "Error"]
        check(status == 200 and len(errors) == 1 and words in errors[0] and
              status_of(votable) == "ERROR", f"{query}: {status} {errors}")
    votlint(site.url + "RA=217&DEC=-62&SR=3&RA=217", "an error")
    status, _, body = fetch_full(site.url + "RA=370&DEC=-62&SR=3&RESPONSEFORMAT=csv")
    check(status == 400 and body.startswith(b"Error: RA '370' is out of range"),
          f"a CSV request's error: {status} {body[:80]}")


def check_cors(site):
    """A browser's preflight, as curl sends it, and the header of a reply."""
    for url, methods in [(site.url.rstrip("?"), "GET, POST, OPTIONS"),
                         (site.url.rstrip("?") + "/capabilities", "GET, OPTIONS"),
                         (site.url.replace("cone_search?", "neighbours?ly=20&format=json"),
                          "GET, OPTIONS")]:
        run = subprocess.run(
            ["curl", "-s", "-i", "-X", "OPTIONS", "-H", "Origin: https://aladin.example",
             "-H", "Access-Control-Request-Method: GET",
             "-H", "Access-Control-Request-Headers: content-type", url],
            capture_output=True, text=True, timeout=60)
        lines = run.stdout.replace("\r", "").split("\n")
        head = {line.split(":", 1)[0].lower(): line.split(":", 1)[1].strip()
                for line in lines[1:] if ":" in line}
        check(lines[0].split()[1:2] == ["204"] and
              head.get("access-control-allow-origin") == "*" and
              head.get("access-control-allow-methods") == methods and
              "content-type" in head.get("access-control-allow-headers", "").lower() and
              head.get("access-control-max-age") == "86400",
              f"preflight of {url}: {lines[:8]}")
    for url in (site.url + "RA=217&DEC=-62&SR=3", site.url + "RA=as3f&DEC=1&SR=1",
                site.url.replace("cone_search?", "neighbours?ly=20&format=csv")):
        _, headers, _ = fetch_full(url, headers={"Origin": "https://aladin.example"})
        check(headers["Access-Control-Allow-Origin"] == "*", f"{url}: no CORS header")


def check_downloads(site, directory):
    """A page of a longer list says OVERFLOW in each format; a download
    that cannot be made answers in its format."""
    import csv
    import io
    import json
    from astropy.table import Table
    page = site.url.replace("cone_search?", "neighbours?ID=100&ly=20&size=5&")
    status, headers, body = fetch_full(page + "format=json")
    document = json.loads(body)
    check(status == 200 and document["query_status"] == "OVERFLOW" and
          len(document["stars"]) == 5 and headers["Veloran-Query-Status"] == "OVERFLOW",
          f"json page: {document.get('query_status')}")
    status, headers, body = fetch_full(page + "format=csv")
    path = os.path.join(directory, "page.csv")
    with open(path, "wb") as f:
        f.write(body)
    table = Table.read(path, format="ascii.csv")
    check(len(table) == 5 and headers["Veloran-Query-Status"] == "OVERFLOW",
          f"csv page: {len(table)} rows, {headers['Veloran-Query-Status']}")
    body = fetch(page + "format=votable")[2]
    path = os.path.join(directory, "page.vot")
    with open(path, "wb") as f:
        f.write(body)
    from astropy.io.votable import parse
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        votable = parse(path, verify="exception")
    check(status_of(votable) == "OVERFLOW", f"votable page: {status_of(votable)}")
    votlint(page + "format=votable", "a download")
    whole = site.url.replace("cone_search?", "neighbours?ID=100&ly=5&format=json")
    check(json.loads(fetch(whole)[2])["query_status"] == "OK", "the whole list: not OK")
    bad = site.url.replace("cone_search?", "neighbours?ID=100&ly=abc&")
    status, headers, body = fetch_full(bad + "format=json")
    check(status == 400 and json.loads(body)["query_status"] == "ERROR",
          f"json error: {status} {body[:80]}")
    status, headers, body = fetch_full(bad + "format=csv")
    rows = list(csv.reader(io.StringIO(body.decode())))
    check(status == 400 and rows[0] == ["error"] and "not a number" in rows[1][0],
          f"csv error: {status} {rows}")
    status, headers, body = fetch_full(bad + "format=votable")
    path = os.path.join(directory, "error.vot")
    with open(path, "wb") as f:
        f.write(body)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        votable = parse(path, verify="exception")
    check(status == 400 and status_of(votable) == "ERROR", f"votable error: {status}")


def stilts_cone(site, ra, dec, radius):
    run = subprocess.run(["stilts", "cone", f"serviceurl={site.url}", f"lon={ra}",
                          f"lat={dec}", f"radius={radius}", "verb=3", "ofmt=csv"],
                         capture_output=True, text=True, timeout=120)
    return run


def check_stilts(site, ra, dec, radius, expected, label):
    run = stilts_cone(site, ra, dec, radius)
    check(run.returncode == 0, f"stilts {label}: {run.stderr.strip()}")
    lines = run.stdout.splitlines()
    check(lines and lines[0].startswith("id,hip,name,ra_deg,dec_deg,epoch,"),
          f"stilts {label}: header {lines[:1]}")
    got = [int(line.split(",")[0]) for line in lines[1:]]
    check(got == expected, f"stilts {label}: {got[:10]}..., pyvo {expected[:10]}...")


def check_names(site, directory):
    """The hostile names of the synthetic stars, as the strict parser reads
    them: references decoded, tags left out, controls as U+FFFD."""
    votable = strict_parse(fetch(site.url + "RA=150&DEC=45&SR=0.001&VERB=3")[2], directory)
    names = sorted(str(n) for n in votable.get_first_table().array["name"] if n)
    expected = sorted([
        "R&D \"q\" 'a' <x>",
        "\ufffd\ufffd\ufffd\ufffd \ufffd\u2019\u20ac",
        "\u03b1\u03a9 \u00e9\u00e9 &foo; & ]]>",
        "alert(1)",
    ])
    check(names == expected, f"the hostile names: {names}")


def main():
    source, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    need_tools()
    global schema
    import astropy
    schema = os.path.join(os.path.dirname(astropy.__file__), "io", "votable",
                          "data", "VOTable.v1.1.xsd")
    work = os.path.join(build, "test-data", "cone-vo")
    replies_dir = os.path.join(work, "replies")
    os.makedirs(work, exist_ok=True)
    os.chmod(work, 0o755)
    shutil.rmtree(replies_dir, ignore_errors=True)
    os.makedirs(replies_dir)
    synthetic_build = os.path.join(work, "build")
    synthetic_db = build_synthetic(source, build, synthetic_build)

    sample = Site(source, build, os.path.join(work, "serve-sample.log"))
    try:
        synthetic = Site(source, synthetic_build, os.path.join(work, "serve-synthetic.log"))
    except Exception:
        sample.stop()
        raise
    try:
        stars = catalogue(os.path.join(build, "sample.db"))
        check(len(stars) == 32, f"{len(stars)} stars of the sample with a direction")
        for ra, dec, radius in [(217.0, -62.0, 3.0), (101.287, -16.716, 0.5),
                                (0.0, 0.0, 10.0), (180.0, 45.0, 10.0),
                                (350.0, -30.0, 10.0), (0.0, -90.0, 10.0),
                                (270.0, 66.56, 10.0)]:
            got, _ = compare_cone(sample, stars, ra, dec, radius, replies_dir,
                                  f"sample ({ra}, {dec}) {radius}")
            if (ra, dec) == (217.0, -62.0):
                check(got == [708900000, 716810200, 716830100],
                      f"Proxima, Toliman, Rigil Kentaurus: {got}")
                check_stilts(sample, ra, dec, radius, got, "sample")
        check_verbosity(sample, replies_dir)
        check_errors(sample, replies_dir)
        check_vosi(sample, build, replies_dir)
        check_dali_rules(sample, replies_dir)
        check_cors(sample)
        check_downloads(sample, replies_dir)

        stars = catalogue(synthetic_db)
        check(len(stars) == synthetic_stars, f"{len(stars)} synthetic stars")
        cones = [(0.0, 90.0, 5.0), (200.0, 90.0, 0.001), (123.0, 89.9, 0.2),
                 (77.0, -90.0, 3.0), (0.0, -89.99, 0.05), (0.0, 0.0, 1.0),
                 (359.99, 0.0, 0.5), (0.01, 0.0, 0.05), (359.999, 0.0, 0.01),
                 (180.0, -0.3, 2.0), (45.0, 60.0, 10.0), (300.0, -45.0, 7.5),
                 (150.0, 45.0, 0.0001), (0.125, -0.5, 0.01)]
        generator = random.Random(7)
        cones += [(generator.uniform(0, 360), generator.uniform(-90, 90),
                   generator.uniform(0.01, 10)) for _ in range(10)]
        for ra, dec, radius in cones:
            got, _ = compare_cone(synthetic, stars, ra, dec, radius, replies_dir,
                                  f"synthetic ({ra}, {dec}) {radius}")
            if (ra, dec, radius) == (0.0, 90.0, 5.0):
                check_stilts(synthetic, ra, dec, radius, got, "the north pole")
            if (ra, dec, radius) == (150.0, 45.0, 0.0001):
                # The twins and the names' stars, in the order of their rows.
                check(len(got) == 6 and got == sorted(got), f"one place: {got}")
        check_metadata_and_limits(synthetic, stars, replies_dir)
        check_names(synthetic, replies_dir)
        run = stilts_cone(synthetic, 10, 10, 30)
        check(run.returncode != 0 and "larger than the largest radius" in run.stderr,
              f"stilts: SR=30 gave {run.returncode}: {run.stderr.strip()}")
    finally:
        sample.stop()
        synthetic.stop()
    print(f"cone search VO test: {checks} checks, {replies} replies parsed strictly, "
          f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
