-- Fills a new Veloran database from the staging table SampleStars (one row
-- per line of sample_stars.psv); run after schema.sql with the dialect
-- extension loaded.

INSERT INTO CatalogNames (Abbreviation, LongName, Description, HasNoCatNumbers)
VALUES ('HIP', 'HIP', 'Hipparcos Catalogue (ESA 1997)', 0),
       ('HD', 'HD', 'Henry Draper Catalogue', 0);

INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                       Dec_arcsec, Distance, DistanceError, DistanceSource,
                       LastUpdated, Epoch)
SELECT ID, NULLIF(RaH, ''), NULLIF(RaM, ''), NULLIF(RaS, ''), NULLIF(DecD, ''),
       NULLIF(DecM, ''), NULLIF(DecS, ''), NULLIF(Ly, ''), NULLIF(LyError, ''),
       'Sample', '2026-12-07', CAST(NULLIF(Epoch, '') AS REAL)
FROM SampleStars ORDER BY CAST(Ly AS REAL), ID;

INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass, SpectrumSource,
                     LastUpdated)
SELECT ID + 1, SpectralClass, NULLIF(LuminosityClass, ''), 'Sample', '2026-12-07'
FROM SampleStars WHERE SpectralClass <> '';

-- The system name is the proper name, failing that the Bayer or Flamsteed
-- designation, failing that the HD number, failing that the HIP number.
INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
SELECT ID + 2, ProperName, 1 FROM SampleStars WHERE ProperName <> '';
INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
SELECT ID + 3, Bayer, ProperName = '' FROM SampleStars WHERE Bayer <> '';
-- The Sun is found as "Sun" too, but shown as "Sol".
INSERT INTO ProperNames (OwnerID, Name, IsSystemName) VALUES (103, 'Sun', 0);

INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
SELECT ID + 4, 'HD', HD, ProperName = '' AND Bayer = ''
FROM SampleStars WHERE HD <> '';
INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
SELECT ID + 5, 'HIP',
       HIP || CASE (ID / 100) % 100 WHEN 1 THEN ' A' WHEN 2 THEN ' B' ELSE '' END,
       ProperName = '' AND Bayer = '' AND HD = ''
FROM SampleStars WHERE HIP <> '';

INSERT INTO StarFacts (OwnerID, VMag, ColourIndex, Parallax, ParallaxError,
                       Constellation, SystemID, PmRA, PmDec)
SELECT ID, CAST(NULLIF(VMag, '') AS REAL), CAST(NULLIF(ColourIndex, '') AS REAL),
       CAST(NULLIF(Parallax, '') AS REAL), CAST(NULLIF(ParallaxError, '') AS REAL),
       NULLIF(Constellation, ''), CAST(NULLIF(SystemID, '') AS INTEGER),
       CAST(NULLIF(PmRA, '') AS REAL), CAST(NULLIF(PmDec, '') AS REAL)
FROM SampleStars;

INSERT INTO DatabaseInfo (Name, Value)
VALUES ('Provenance', 'A sample of 32 stars and the Sun, for trying the site: '
        || 'Hipparcos stars (ESA 1997) as Debian''s stellarium-data package '
        || 'holds them, with parallaxes from Gaia DR2 or Hipparcos and '
        || 'proper motions from Hipparcos, and the package''s positions, '
        || 'some at an epoch before J2000');

DROP TABLE SampleStars;
