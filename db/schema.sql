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

CREATE TABLE CatalogNames (
  Abbreviation TEXT PRIMARY KEY,
  LongName TEXT,
  Description TEXT,
  HasNoCatNumbers INTEGER DEFAULT 0
);

-- The statements test "IsSystemName = Yes": Yes is a column that is always 1.
CREATE TABLE CatalogNumbers (
  CatalogNumberID INTEGER PRIMARY KEY,
  OwnerID INTEGER NOT NULL,
  CatAbbrev TEXT,
  Value TEXT,
  IsSystemName INTEGER NOT NULL DEFAULT 0,
  Yes INTEGER GENERATED ALWAYS AS (1) VIRTUAL
);
CREATE INDEX CatalogNumbersByBlock ON CatalogNumbers(INT(OwnerID/100));

CREATE TABLE ProperNames (
  ProperNameID INTEGER PRIMARY KEY,
  OwnerID INTEGER NOT NULL,
  Name TEXT,
  IsSystemName INTEGER NOT NULL DEFAULT 0,
  Yes INTEGER GENERATED ALWAYS AS (1) VIRTUAL
);
CREATE INDEX ProperNamesByBlock ON ProperNames(INT(OwnerID/100));

-- Rows are scanned in PositionID order.
CREATE TABLE Positions (
  PositionID INTEGER PRIMARY KEY,
  OwnerID INTEGER,
  RA_hr INTEGER,
  RA_min INTEGER,
  RA_sec REAL,
  Dec_deg INTEGER,
  Dec_arcmin INTEGER,
  Dec_arcsec REAL,
  Distance REAL,
  DistanceError REAL,
  DistanceSource TEXT,
  LastUpdated DATE,
  Epoch REAL
);
CREATE INDEX PositionsByOwner ON Positions(OwnerID);

CREATE TABLE Spectra (
  SpectrumID INTEGER PRIMARY KEY,
  OwnerID INTEGER NOT NULL,
  SpectralClass TEXT,
  LuminosityClass TEXT,
  SpectrumSource TEXT,
  LastUpdated DATE
);
CREATE INDEX SpectraByOwner ON Spectra(OwnerID);
