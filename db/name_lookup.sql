-- Fills NameLookup from the names of a Veloran database; run once its
-- ProperNames and CatalogNumbers are written, with the dialect extension
-- (NAME_KEY) loaded.  A Bayer designation with a number after its letter
-- ("&alpha;1 Cen") is also found without the number, so that "alpha Cen"
-- finds both stars of the pair.  A catalogue number is keyed by its
-- abbreviation ("Grb 34 A") and named as the pages write it, with the
-- catalogue's long name ("Groombridge 34 A").

INSERT INTO NameLookup (Key, OwnerID, Name, IsProperName)
SELECT Key, OwnerID, Name, IsProperName FROM (
  SELECT NAME_KEY(Name) AS Key, OwnerID / 100 * 100 AS OwnerID, Name,
         1 AS IsProperName
  FROM ProperNames
  UNION
  SELECT NAME_KEY(substr(Name, 1, instr(Name, ';')) ||
                  ltrim(substr(Name, instr(Name, ';') + 1), '0123456789')),
         OwnerID / 100 * 100, Name, 1
  FROM ProperNames WHERE Name GLOB '&[a-zA-Z]*;[0-9]*'
  UNION
  SELECT NAME_KEY(CatAbbrev || ' ' || Value), OwnerID / 100 * 100,
         COALESCE(NULLIF(LongName, ''), CatAbbrev) || ' ' || Value, 0
  FROM CatalogNumbers LEFT JOIN CatalogNames ON Abbreviation = CatAbbrev
  WHERE CatAbbrev IS NOT NULL AND Value IS NOT NULL)
WHERE Key IS NOT NULL AND OwnerID >= 100
ORDER BY Key, OwnerID;

-- The keys that the finder's suggestions for a name not found are chosen
-- from: those of proper names and Bayer and Flamsteed designations, a few
-- thousand among the catalogue numbers' hundreds of thousands.
CREATE INDEX IF NOT EXISTS NameLookupProperKeys ON NameLookup(Key)
WHERE IsProperName = 1;
