<?xml version="1.0" encoding="utf-8"?>
<!-- The Veloran star database as DaCHS publishes it: one table of stars,
  queried through TAP and ADQL, with a cone search beside it.  The rows are
  copied from the PostgreSQL database that veloran-load-database wrote
  (named in the file source.dsn beside this descriptor, which
  veloran-publish-dachs writes); `dachs imp veloran/q` copies them again
  after that database changes. -->
<resource schema="veloran">
  <meta name="title">Veloran star database</meta>
  <meta name="description">
    The stars of the Veloran star database, with their positions (ICRS),
    distances from the Sun in light-years, galactic rectangular coordinates
    centred on the Sun, parallaxes, magnitudes, proper motions and spectral
    types, as the site's neighbour search reads them.  Where the database
    was imported from Debian's stellarium-data, the stars are those of the
    Hipparcos catalogue with a parallax.
  </meta>
  <meta name="creationDate">2026-12-09T00:00:00</meta>
  <meta name="subject">Stars: distances</meta>
  <meta name="subject">Solar neighborhood</meta>
  <meta name="subject">Astrometry</meta>
  <meta name="creator.name">Veloran neighbour search</meta>
  <meta name="type">Catalog</meta>
  <meta name="coverage.waveband">Optical</meta>

  <table id="stars" onDisk="True" adql="True" primary="id">
    <meta name="description">One row per star: its ID (the site's
      entry_page.exe?ID=N), names, position, distance and the facts the
      site shows of it.</meta>
    <mixin>//scs#pgs-pos-index</mixin>
    <column name="id" type="integer" required="True"
      ucd="meta.id;meta.main" tablehead="ID"
      description="The star's ID in the Veloran database (its entry page is entry_page.exe?ID= this)."/>
    <column name="name" type="text" ucd="meta.id"
      description="The star's main name: its proper name, else its main catalogue designation."/>
    <column name="hip" type="integer" ucd="meta.id.cross"
      description="Hipparcos catalogue number, where the star has one.">
      <values nullLiteral="-1"/>
    </column>
    <column name="ra" type="double precision" unit="deg"
      ucd="pos.eq.ra;meta.main" verbLevel="1"
      description="Right ascension (ICRS), at the epoch of the column epoch."/>
    <column name="dec" type="double precision" unit="deg"
      ucd="pos.eq.dec;meta.main" verbLevel="1"
      description="Declination (ICRS), at the epoch of the column epoch."/>
    <column name="epoch" type="double precision" unit="yr"
      ucd="time.epoch"
      description="Epoch of the position (Julian year), as the database stores it."/>
    <column name="dist" type="double precision" unit="lyr"
      ucd="pos.distance;pos.heliocentric" verbLevel="1"
      description="Distance from the Sun."/>
    <column name="dist_error" type="double precision" unit="lyr"
      ucd="stat.error;pos.distance"
      description="Error of the distance, where known."/>
    <column name="dist_source" type="text" ucd="meta.ref"
      description="Where the distance comes from (GaiaDR2, HIP, ...)."/>
    <column name="x" type="double precision" unit="lyr"
      ucd="pos.cartesian.x;pos.galactic"
      description="Galactic rectangular coordinate towards the Galactic centre (l = 0, b = 0), centred on the Sun, as the neighbour search computes it."/>
    <column name="y" type="double precision" unit="lyr"
      ucd="pos.cartesian.y;pos.galactic"
      description="Galactic rectangular coordinate towards l = 90 deg, b = 0, centred on the Sun."/>
    <column name="z" type="double precision" unit="lyr"
      ucd="pos.cartesian.z;pos.galactic"
      description="Galactic rectangular coordinate towards the north Galactic pole, centred on the Sun."/>
    <column name="parallax" type="double precision" unit="mas"
      ucd="pos.parallax" description="Parallax."/>
    <column name="parallax_error" type="double precision" unit="mas"
      ucd="stat.error;pos.parallax" description="Error of the parallax."/>
    <column name="pmra" type="double precision" unit="mas/yr"
      ucd="pos.pm;pos.eq.ra"
      description="Proper motion in right ascension, times the cosine of the declination."/>
    <column name="pmdec" type="double precision" unit="mas/yr"
      ucd="pos.pm;pos.eq.dec" description="Proper motion in declination."/>
    <column name="vmag" type="double precision" unit="mag"
      ucd="phot.mag;em.opt.V" description="Apparent visual magnitude."/>
    <column name="b_v" type="double precision" unit="mag"
      ucd="phot.color;em.opt.B;em.opt.V" description="Colour index B-V."/>
    <column name="spectral_class" type="text" ucd="src.spType"
      description="Spectral class (without the luminosity class)."/>
    <column name="luminosity_class" type="text" ucd="src.class.luminosity"
      description="Luminosity class."/>
    <column name="system_id" type="integer" ucd="meta.id.parent"
      description="ID of the primary of the star's multiple system; NULL for a single star.">
      <values nullLiteral="-1"/>
    </column>
  </table>

  <data id="import">
    <sources pattern="source.dsn"/>
    <embeddedGrammar>
      <iterator>
        <setup imports="html, psycopg2"/>
        <code><![CDATA[
# The DSN of the Veloran database, one line; texts are read as their
# windows-1252 bytes and their HTML entities resolved.
dsn = open(self.sourceToken, encoding="utf-8").read().strip()
with psycopg2.connect(dsn) as connection:
  cursor = connection.cursor()
  cursor.execute("SELECT column_name FROM information_schema.columns"
    " WHERE table_name = 'starfacts'")
  factColumns = {name for (name,) in cursor.fetchall()}
  motions = ("f.pmra, f.pmdec" if {"pmra", "pmdec"} <= factColumns
    else "NULL, NULL")
  cursor.execute("""
    SELECT i.ownerid, i.rahours * 15, i.decdegrees, p.epoch, i.distance,
           p.distanceerror, p.distancesource::bytea, i.x, i.y, i.z,
           f.parallax, f.parallaxerror, """ + motions + """, f.vmag,
           f.colourindex, s.spectralclass::bytea, s.luminosityclass::bytea,
           f.systemid,
           (SELECT n.name::bytea FROM propernames n
            WHERE n.ownerid BETWEEN i.ownerid AND i.ownerid + 99
              AND n.issystemname = 1 ORDER BY n.propernameid LIMIT 1),
           (SELECT coalesce(nullif(c.longname, ''), c.abbreviation)::bytea
                   || ' '::bytea || m.value::bytea
            FROM catalognumbers m
            LEFT JOIN catalognames c ON c.abbreviation = m.catabbrev
            WHERE m.ownerid BETWEEN i.ownerid AND i.ownerid + 99
              AND m.issystemname = 1 ORDER BY m.catalognumberid LIMIT 1),
           (SELECT m.value::bytea FROM catalognumbers m
            WHERE m.ownerid BETWEEN i.ownerid AND i.ownerid + 99
              AND m.catabbrev = 'HIP' ORDER BY m.catalognumberid LIMIT 1)
    FROM positionindex i
    JOIN (SELECT epoch, distanceerror, distancesource,
                 row_number() OVER (ORDER BY positionid) - 1 AS roworder
          FROM positions WHERE ownerid % 100 = 0) p
      ON p.roworder = i.roworder
    LEFT JOIN starfacts f ON f.ownerid = i.ownerid
    LEFT JOIN spectra s ON s.ownerid = i.ownerid + 1
    ORDER BY i.roworder""")

  def text(value):
    if value is None:
      return None
    return html.unescape(bytes(value).decode("cp1252", "replace"))

  def hipNumber(value):
    digits = (text(value) or "").split(" ")[0]
    return int(digits) if digits.isdigit() else None

  for row in cursor:
    yield {"id": row[0], "ra": row[1], "dec": row[2], "epoch": row[3],
      "dist": row[4], "dist_error": row[5],
      "dist_source": text(row[6]), "x": row[7], "y": row[8],
      "z": row[9], "parallax": row[10], "parallax_error": row[11],
      "pmra": row[12], "pmdec": row[13], "vmag": row[14], "b_v": row[15],
      "spectral_class": text(row[16]), "luminosity_class": text(row[17]),
      "system_id": row[18], "name": text(row[19]) or text(row[20]),
      "hip": hipNumber(row[21])}
]]></code>
      </iterator>
    </embeddedGrammar>
    <make table="stars"/>
  </data>

  <service id="cone" allowed="scs.xml,form">
    <meta name="shortName">Veloran cone</meta>
    <meta name="testQuery.ra">101.287</meta>
    <meta name="testQuery.dec">-16.716</meta>
    <meta name="testQuery.sr">0.1</meta>
    <scsCore queriedTable="stars">
      <FEED source="//scs#coreDescs"/>
    </scsCore>
  </service>
</resource>
