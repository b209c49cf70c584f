-- The search as one SQL query in the sqlite3 shell: what a user could run
-- instead of the program.  Coordinate-centred at (0, 0, 0) with the default
-- RA/Dec window and the radius @r (.parameter set @r RADIUS), the same
-- decimal-angle, radian and galactic formulas as the program, the nearest
-- 100 first, each with its display name and spectrum looked up as the
-- program does (the dialect extension loaded, so that the name lookups use
-- the block indexes).  Unlike the program it does not count all matches.
WITH p AS (
  SELECT OwnerID AS id, Distance AS d,
         (IFNULL(RA_sec, 0) * 0.0002777777777777778
          + IFNULL(RA_min, 0) * 0.016666666666666666) + IFNULL(RA_hr, 0) AS ra,
         ((CASE WHEN IFNULL(Dec_deg, 0) >= 0 THEN 1 ELSE -1 END * IFNULL(Dec_arcsec, 0))
            * 0.0002777777777777778
          + (CASE WHEN IFNULL(Dec_deg, 0) >= 0 THEN 1 ELSE -1 END * IFNULL(Dec_arcmin, 0))
            * 0.016666666666666666) + IFNULL(Dec_deg, 0) AS dec
  FROM Positions
  WHERE OwnerID % 100 = 0 AND Distance IS NOT NULL
    AND (Distance = 0 OR (RA_hr IS NOT NULL AND Dec_deg IS NOT NULL))
), e AS (
  SELECT id, ra, dec,
         cos(ra * 0.26179938779914913) * sin((90.0 - dec) * 0.017453292519943278) * d AS x0,
         sin(ra * 0.26179938779914913) * sin((90.0 - dec) * 0.017453292519943278) * d AS y0,
         cos((90.0 - dec) * 0.017453292519943278) * d AS z0
  FROM p
), g AS (
  SELECT id, ra, dec,
         (-0.0672 * x0 - 0.8727 * y0) - 0.4835 * z0 AS x,
         (0.4927 * x0 - 0.4504 * y0) + 0.7445 * z0 AS y,
         0.4602 * z0 - (0.8676 * x0 + 0.1884 * y0) AS z
  FROM e
), n AS (
  SELECT id, sqrt((z * z + y * y) + x * x) AS dist FROM g
  WHERE ra BETWEEN 0 AND 23 + 59 * 0.016666666666666666 + 59.999 * 0.0002777777777777778
    AND dec BETWEEN -(89 + 59 * 0.016666666666666666 + 59.999 * 0.0002777777777777778)
                AND 89 + 59 * 0.016666666666666666 + 59.999 * 0.0002777777777777778
  ORDER BY dist
)
SELECT printf('<BR><A HREF="entry_page.exe?ID=%d">%s</A>: %s light-years%s', n.id,
         COALESCE(
           (SELECT Name FROM ProperNames
            WHERE INT(OwnerID/100) = n.id / 100 AND IsSystemName = Yes),
           (SELECT COALESCE(NULLIF(k.LongName, ''), c.CatAbbrev) || ' ' || c.Value
            FROM CatalogNumbers AS c LEFT JOIN CatalogNames AS k
              ON k.Abbreviation = c.CatAbbrev
            WHERE INT(c.OwnerID/100) = n.id / 100 AND c.IsSystemName = c.Yes),
           ''),
         printf('%g', n.dist),
         IFNULL((SELECT ', class ' || SpectralClass || ' ' || IFNULL(LuminosityClass, '')
                 FROM Spectra WHERE OwnerID = n.id + 1 AND SpectralClass IS NOT NULL), ''))
FROM (SELECT id, dist FROM n WHERE dist <= @r ORDER BY dist LIMIT 100) AS n
ORDER BY n.dist;
