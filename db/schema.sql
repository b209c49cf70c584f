-- The Veloran star database.
--
-- Stars: a star's ID is a positive multiple of 100, and every row that
-- belongs to the star carries an OwnerID in the block ID .. ID+99: its
-- position row has OwnerID = ID, its spectrum OwnerID = ID + 1, its names
-- any OwnerID of the block.  Positions rows whose OwnerID is not a multiple
-- of 100 are not stars of their own.
--
-- Angles: right ascension in hours, minutes and seconds of time; declination
-- in degrees, arcminutes and arcseconds, the sign carried by the degrees
-- alone (zero counting as positive).  A declination between 0 and -1 degrees
-- is stored as 0 degrees, 0 arcminutes and a negative number of arcseconds
-- (-0 deg 30' 15" as -1815), which the position arithmetic reads exactly.
-- Distances are in light-years.
--
-- Texts are windows-1252 bytes; names are HTML fragments ("&alpha; Cen",
-- "&amp;"), since the result page writes them unchanged.
--
-- Writing to ProperNames or CatalogNumbers needs the INT function of the
-- dialect extension (veloran_dialect.so), which their block indexes use.
--
-- CHECK constraints keep out every value that the program could not read
-- exactly into the type it reads it as: integers in the range of their
-- reader's type (RA hours 0-23, minutes 0-59, degrees -90 to 90, star IDs
-- within 32 bits), numbers stored as numbers, seconds from 0 to below 60,
-- flags 0 or 1, dates as valid YYYY-MM-DD texts (the '+0 days' makes
-- date() carry an impossible day such as February 30 into March, so that
-- it no longer equals the text).  NULL is allowed wherever
-- the program reads a NULL as absent.

CREATE TABLE CatalogNames (
  Abbreviation TEXT PRIMARY KEY CHECK (typeof(Abbreviation) = 'text'),
  LongName TEXT CHECK (typeof(LongName) IN ('text', 'null')),
  Description TEXT CHECK (typeof(Description) IN ('text', 'null')),
  HasNoCatNumbers INTEGER DEFAULT 0 CHECK (HasNoCatNumbers IN (0, 1))
);

-- The statements test "IsSystemName = Yes": Yes is a column that is always 1.
CREATE TABLE CatalogNumbers (
  CatalogNumberID INTEGER PRIMARY KEY,
  OwnerID INTEGER NOT NULL CHECK (typeof(OwnerID) = 'integer'),
  CatAbbrev TEXT CHECK (typeof(CatAbbrev) IN ('text', 'null')),
  Value TEXT CHECK (typeof(Value) IN ('text', 'null')),
  IsSystemName INTEGER NOT NULL DEFAULT 0 CHECK (IsSystemName IN (0, 1)),
  Yes INTEGER GENERATED ALWAYS AS (1) VIRTUAL
);
CREATE INDEX CatalogNumbersByBlock ON CatalogNumbers(INT(OwnerID/100));

CREATE TABLE ProperNames (
  ProperNameID INTEGER PRIMARY KEY,
  OwnerID INTEGER NOT NULL CHECK (typeof(OwnerID) = 'integer'),
  Name TEXT CHECK (typeof(Name) IN ('text', 'null')),
  IsSystemName INTEGER NOT NULL DEFAULT 0 CHECK (IsSystemName IN (0, 1)),
  Yes INTEGER GENERATED ALWAYS AS (1) VIRTUAL
);
CREATE INDEX ProperNamesByBlock ON ProperNames(INT(OwnerID/100));

-- Rows are scanned in PositionID order.  Epoch is the epoch of the
-- stored position, a Julian year (2000.0 for J2000); NULL where it is not
-- known.
CREATE TABLE Positions (
  PositionID INTEGER PRIMARY KEY,
  OwnerID INTEGER CHECK (typeof(OwnerID) IN ('integer', 'null') AND
                         OwnerID BETWEEN -2147483648 AND 2147483647),
  RA_hr INTEGER CHECK (typeof(RA_hr) IN ('integer', 'null') AND
                       RA_hr BETWEEN 0 AND 23),
  RA_min INTEGER CHECK (typeof(RA_min) IN ('integer', 'null') AND
                        RA_min BETWEEN 0 AND 59),
  RA_sec REAL CHECK (typeof(RA_sec) IN ('real', 'null') AND
                     RA_sec >= 0 AND RA_sec < 60),
  Dec_deg INTEGER CHECK (typeof(Dec_deg) IN ('integer', 'null') AND
                         Dec_deg BETWEEN -90 AND 90),
  Dec_arcmin INTEGER CHECK (typeof(Dec_arcmin) IN ('integer', 'null') AND
                            Dec_arcmin BETWEEN 0 AND 59),
  -- Negative only for a declination between 0 and -1 degrees (see above).
  Dec_arcsec REAL CHECK (typeof(Dec_arcsec) IN ('real', 'null') AND
                         ((Dec_arcsec >= 0 AND Dec_arcsec < 60) OR
                          (Dec_arcsec > -3600 AND Dec_arcsec < 0 AND
                           Dec_deg IS 0 AND Dec_arcmin IS 0))),
  Distance REAL CHECK (typeof(Distance) IN ('real', 'null')),
  DistanceError REAL CHECK (typeof(DistanceError) IN ('real', 'null')),
  DistanceSource TEXT CHECK (typeof(DistanceSource) IN ('text', 'null')),
  LastUpdated DATE CHECK (LastUpdated IS NULL OR
                          (typeof(LastUpdated) = 'text' AND
                           date(LastUpdated, '+0 days') IS LastUpdated)),
  Epoch REAL CHECK (typeof(Epoch) IN ('real', 'null'))
);
CREATE INDEX PositionsByOwner ON Positions(OwnerID);

CREATE TABLE Spectra (
  SpectrumID INTEGER PRIMARY KEY,
  OwnerID INTEGER NOT NULL CHECK (typeof(OwnerID) = 'integer'),
  SpectralClass TEXT CHECK (typeof(SpectralClass) IN ('text', 'null')),
  LuminosityClass TEXT CHECK (typeof(LuminosityClass) IN ('text', 'null')),
  SpectrumSource TEXT CHECK (typeof(SpectrumSource) IN ('text', 'null')),
  LastUpdated DATE CHECK (LastUpdated IS NULL OR
                          (typeof(LastUpdated) = 'text' AND
                           date(LastUpdated, '+0 days') IS LastUpdated))
);
CREATE INDEX SpectraByOwner ON Spectra(OwnerID);

-- What the entry page tells of a star beyond its position and spectrum, one
-- row per star, OwnerID being the star's ID: VMag the apparent visual
-- magnitude, ColourIndex B-V in magnitudes, Parallax and ParallaxError in
-- milliarcseconds, Constellation the IAU abbreviation of the constellation
-- the star lies in ("CMa"), SystemID the ID of the primary (brightest
-- member) of the star's multiple system, the same for every member and the
-- primary's own ID for itself; NULL for a single star.  PmRA and PmDec
-- the proper motion in milliarcseconds a year, in right ascension times the
-- cosine of the declination and in declination (databases written before
-- they were added lack the two columns).
CREATE TABLE StarFacts (
  OwnerID INTEGER PRIMARY KEY CHECK (OwnerID BETWEEN 100 AND 2147483647 AND
                                     OwnerID % 100 = 0),
  VMag REAL CHECK (typeof(VMag) IN ('real', 'null')),
  ColourIndex REAL CHECK (typeof(ColourIndex) IN ('real', 'null')),
  Parallax REAL CHECK (typeof(Parallax) IN ('real', 'null')),
  ParallaxError REAL CHECK (typeof(ParallaxError) IN ('real', 'null')),
  Constellation TEXT CHECK (typeof(Constellation) IN ('text', 'null') AND
                            length(Constellation) BETWEEN 1 AND 3),
  SystemID INTEGER CHECK (typeof(SystemID) IN ('integer', 'null') AND
                          SystemID BETWEEN 100 AND 2147483647 AND
                          SystemID % 100 = 0),
  PmRA REAL CHECK (typeof(PmRA) IN ('real', 'null')),
  PmDec REAL CHECK (typeof(PmDec) IN ('real', 'null'))
);
CREATE INDEX StarFactsBySystem ON StarFacts(SystemID);

-- Every proper name and catalogue designation of a star by its search key
-- (names/name_keys.h), for finding a star by name: OwnerID is the star's
-- ID, Name the name as the star's other rows hold it ("HD 48915" for a
-- catalogue number), IsProperName 1 for a ProperNames row.  Keys hold only
-- a-z and 0-9, so that an index range serves a prefix search.  Filled by
-- db/name_lookup.sql from the other tables.
CREATE TABLE NameLookup (
  Key TEXT NOT NULL CHECK (typeof(Key) = 'text' AND
                           length(Key) BETWEEN 1 AND 255 AND
                           Key NOT GLOB '*[^a-z0-9]*'),
  OwnerID INTEGER NOT NULL CHECK (typeof(OwnerID) = 'integer' AND
                                  OwnerID BETWEEN 100 AND 2147483647 AND
                                  OwnerID % 100 = 0),
  Name TEXT NOT NULL CHECK (typeof(Name) = 'text'),
  IsProperName INTEGER NOT NULL CHECK (IsProperName IN (0, 1))
);
CREATE INDEX NameLookupByKey ON NameLookup(Key);

-- The nearby stars that visitors look for and the database lacks, by the
-- search keys of their names (names/name_keys.h, as NameLookup's): Name is
-- the star's name that the finder shows, Reason why the database lacks it
-- ("too faint for the Hipparcos catalogue"), both HTML fragments.  Filled
-- by the importer from db/nearby_designations.psv.
CREATE TABLE AbsentStars (
  Key TEXT NOT NULL CHECK (typeof(Key) = 'text' AND
                           length(Key) BETWEEN 1 AND 255 AND
                           Key NOT GLOB '*[^a-z0-9]*'),
  Name TEXT NOT NULL CHECK (typeof(Name) = 'text'),
  Reason TEXT NOT NULL CHECK (typeof(Reason) = 'text')
);
CREATE INDEX AbsentStarsByKey ON AbsentStars(Key);

-- What the database says of itself, a row a subject: Name 'Provenance'
-- whose Value tells, in plain windows-1252 text, what the stars' data are
-- and where they come from, for the descriptions of the site's tables.
-- Written by whatever writes the database; older databases lack it.
CREATE TABLE DatabaseInfo (
  Name TEXT PRIMARY KEY CHECK (typeof(Name) = 'text'),
  Value TEXT NOT NULL CHECK (typeof(Value) = 'text')
);
