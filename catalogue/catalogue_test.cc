// The catalogue statements against real databases, through the real driver
// manager and driver.

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "catalogue/catalogue_names.h"
#include "catalogue/display_names.h"
#include "catalogue/read_fault.h"
#include "catalogue/star_records.h"
#include "tests/test_support.h"

namespace veloran {
namespace {

using testing::CreateTestDatabase;
using testing::OdbcSession;

TEST(StarRecordsTest, Positions) {
  auto database = CreateTestDatabase("star_records_positions", R"sql(
    INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
        Dec_arcsec, Distance, DistanceError, DistanceSource, LastUpdated, Epoch)
    VALUES (100, 14, 29, 47.591, -62, 40, 52.55, 4.244, 0.001, 'GaiaDR2',
            '2021-03-04', 2000.0),
           (200, NULL, 5, 1.5, 12, 3, 4.5, 7.5, NULL, NULL, NULL, NULL),
           (300, 1, NULL, NULL, -12, NULL, NULL, NULL, 1, 'ABCDEFGHIJKL', NULL, NULL),
           (400, 1, 2, 3, 4, 5, 6, 7, 8, 'first', NULL, NULL),
           (400, 9, 9, 9, 9, 9, 9, 9, 9, 'second', NULL, NULL);
  )sql");
  OdbcSession session(database);
  PositionRecord r;

  ASSERT_TRUE(FetchPositionRecord(session.statement(), 100, &r));
  EXPECT_TRUE(r.HasRA && r.HasDec && r.HasDistance && r.HasDistanceError &&
              r.HasDistanceSource);
  EXPECT_EQ(r.RA_hr, 14);
  EXPECT_EQ(r.RA_min, 29);
  EXPECT_EQ(r.RA_sec, 47.591f);
  EXPECT_EQ(r.Dec_deg, -62);
  EXPECT_EQ(r.Dec_arcmin, 40);
  EXPECT_EQ(r.Dec_arcsec, 52.55f);
  EXPECT_EQ(r.Distance, 4.244);
  EXPECT_EQ(r.DistanceError, 0.001);
  EXPECT_STREQ(r.DistanceSource, "GaiaDR2");
  EXPECT_EQ(r.LastUpdated.year, 2021);
  EXPECT_EQ(r.LastUpdated.month, 3);
  EXPECT_EQ(r.LastUpdated.day, 4);
  EXPECT_EQ(r.Epoch, 2000.0);

  ASSERT_TRUE(FetchPositionRecord(session.statement(), 200, &r));
  EXPECT_FALSE(r.HasRA);
  EXPECT_TRUE(r.HasDec);
  EXPECT_TRUE(r.HasDistance);
  EXPECT_FALSE(r.HasDistanceError);
  EXPECT_FALSE(r.HasDistanceSource);
  EXPECT_EQ(r.Epoch, 0.0);  // NULL, and not the previous row's value

  // A NULL RA_min beside a present RA_hr: HasRA, and RA_min reads as 0.
  ASSERT_TRUE(FetchPositionRecord(session.statement(), 300, &r));
  EXPECT_TRUE(r.HasRA);
  EXPECT_EQ(r.RA_min, 0);
  EXPECT_EQ(r.RA_sec, 0.0f);
  EXPECT_EQ(r.Dec_deg, -12);
  EXPECT_FALSE(r.HasDistance);
  EXPECT_STREQ(r.DistanceSource, "ABCDEFGHIJ");  // cut, and still a row

  ASSERT_TRUE(FetchPositionRecord(session.statement(), 400, &r));
  EXPECT_STREQ(r.DistanceSource, "first");

  EXPECT_FALSE(FetchPositionRecord(session.statement(), 500, &r));
  EXPECT_FALSE(FetchPositionRecord(session.statement(), -100, &r));
}

TEST(StarRecordsTest, Spectra) {
  auto database = CreateTestDatabase("star_records_spectra", R"sql(
    INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass, SpectrumSource,
        LastUpdated)
    VALUES (101, 'M5.5', 'Ve', 'HIP', '2020-01-02'),
           (201, 'K0', NULL, NULL, NULL),
           (301, NULL, 'V', 'x', NULL),
           (401, printf('%.60c', 'A'), printf('%.55c', 'B'), 'Source1234567', NULL),
           (501, 'G2', 'V', NULL, NULL),
           (501, 'K1', 'III', NULL, NULL);
  )sql");
  OdbcSession session(database);
  SpectrumRecord s;

  ASSERT_TRUE(FetchSpectrumRecord(session.statement(), 101, &s));
  EXPECT_TRUE(s.HasSpectralClass && s.HasLuminosityClass &&
              s.HasSpectrumSource);
  EXPECT_STREQ(s.SpectralClass, "M5.5");
  EXPECT_STREQ(s.LuminosityClass, "Ve");
  EXPECT_EQ(s.LastUpdated.year, 2020);

  ASSERT_TRUE(FetchSpectrumRecord(session.statement(), 201, &s));
  EXPECT_TRUE(s.HasSpectralClass);
  EXPECT_FALSE(s.HasLuminosityClass);
  EXPECT_FALSE(s.HasSpectrumSource);

  ASSERT_TRUE(FetchSpectrumRecord(session.statement(), 301, &s));
  EXPECT_FALSE(s.HasSpectralClass);

  ASSERT_TRUE(FetchSpectrumRecord(session.statement(), 401, &s));
  EXPECT_EQ(std::string(s.SpectralClass), std::string(50, 'A'));
  EXPECT_EQ(std::string(s.LuminosityClass), std::string(50, 'B'));
  EXPECT_STREQ(s.SpectrumSource, "Source1234");

  ASSERT_TRUE(FetchSpectrumRecord(session.statement(), 501, &s));
  EXPECT_STREQ(s.SpectralClass, "G2");  // the first row

  EXPECT_FALSE(FetchSpectrumRecord(session.statement(), 100, &s));
}

class CatalogueNamesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    FreeCatalogueNames();
    catalogueNames.count = 0;
    ForgetReadFault();
  }
};

TEST_F(CatalogueNamesTest, Lookup) {
  auto database = CreateTestDatabase("catalogue_names_lookup", R"sql(
    INSERT INTO CatalogNames (Abbreviation, LongName, Description, HasNoCatNumbers)
    VALUES ('HD', 'Henry Draper', 'The HD catalogue', 0),
           ('Gl', NULL, NULL, NULL),
           ('Empty', '', 'd', 1),
           ('ABCDEFGHIJKL', 'Twelve', NULL, 0),
           ('Long', printf('%.100c', 'L'), printf('%.3000c', 'D'), 1);
  )sql",
                                     true);
  OdbcSession session(database);

  EXPECT_STREQ(LookupCatalogueName("HD"), "HD");  // before any load
  LoadCatalogueNames(session.statement());
  ASSERT_EQ(catalogueNames.count, 5);
  ASSERT_NE(catalogueNames.names, nullptr);

  const struct {
    const char* abbreviation;
    std::string result;
  } cases[] = {
      {"HD", "Henry Draper"},
      {"hd", "hd"},
      {"HD ", "HD "},
      {"H", "H"},
      {"Gl", "Gl"},
      {"Empty", "Empty"},
      {"ABCDEFGHIJ", "Twelve"},  // held as its first 10 characters
      {"ABCDEFGHIJKL", "ABCDEFGHIJKL"},
      {"Long", std::string(100, 'L')},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LookupCatalogueName(c.abbreviation), c.result) << c.abbreviation;
  }
  EXPECT_STREQ(catalogueNames.names[0].Description, "The HD catalogue");
  EXPECT_EQ(catalogueNames.names[1].Description, nullptr);
  EXPECT_EQ(catalogueNames.names[1].HasNoCatNumbers, 0);  // NULL reads as 0
  EXPECT_EQ(catalogueNames.names[2].HasNoCatNumbers, 1);
  EXPECT_EQ(std::strlen(catalogueNames.names[4].Description), 2047u);

  FreeCatalogueNames();
  EXPECT_EQ(catalogueNames.names, nullptr);
  EXPECT_STREQ(LookupCatalogueName("HD"), "HD");
  FreeCatalogueNames();  // twice does nothing
}

TEST_F(CatalogueNamesTest, FirstMatchDecides) {
  auto database = CreateTestDatabase("catalogue_names_first", R"sql(
    DROP TABLE CatalogNames;
    CREATE TABLE CatalogNames (Abbreviation TEXT, LongName TEXT,
                               Description TEXT, HasNoCatNumbers INTEGER);
    INSERT INTO CatalogNames VALUES ('Dup', '', NULL, 0), ('Dup', 'Second', NULL, 0);
  )sql");
  OdbcSession session(database);
  LoadCatalogueNames(session.statement());
  EXPECT_STREQ(LookupCatalogueName("Dup"), "Dup");
}

TEST_F(CatalogueNamesTest, EmptyAndMissingTables) {
  auto empty = CreateTestDatabase("catalogue_names_empty", "");
  {
    OdbcSession session(empty);
    EXPECT_TRUE(LoadCatalogueNames(session.statement()));
    EXPECT_FALSE(ReadFailed());
    EXPECT_EQ(catalogueNames.count, 0);
    EXPECT_STREQ(LookupCatalogueName("HD"), "HD");
    FreeCatalogueNames();
  }
  auto missing = CreateTestDatabase("catalogue_names_missing",
                                    "CREATE TABLE Other(x);", false);
  OdbcSession session(missing);
  // A missing table is a failed read, not an empty one.
  EXPECT_FALSE(LoadCatalogueNames(session.statement()));
  EXPECT_TRUE(ReadFailed());
  EXPECT_EQ(catalogueNames.count, 0);
  EXPECT_EQ(catalogueNames.names, nullptr);
}

class DisplayNamesTest : public CatalogueNamesTest {};

TEST_F(DisplayNamesTest, Names) {
  auto database = CreateTestDatabase("display_names", R"sql(
    INSERT INTO CatalogNames (Abbreviation, LongName)
    VALUES ('HD', 'Henry Draper'), ('HIP', ''), ('ABCDEFGHIJKL', 'Twelve');
    -- 100: proper name and catalogue number; the proper name wins.
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
    VALUES (102, 'Sirius', 1), (103, 'Not the system name', 0);
    INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
    VALUES (104, 'HD', '48915', 1);
    -- 200: catalogue number only, with a long name.
    INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
    VALUES (201, 'HD', '1326', 0), (299, 'HD', '217987', 1);
    -- 300: an abbreviation whose long name is empty; 400: not in the table.
    INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
    VALUES (300, 'HIP', '92403', 1), (400, 'SAO', '151881', 1);
    -- 500: neither name is a system name.
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName) VALUES (500, 'x', 0);
    -- 600: several system names, the first row wins.
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
    VALUES (610, 'First', 1), (620, 'Second', 1);
    -- 700: rows anywhere in the block 700..799.
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName) VALUES (799, 'Block', 1);
    -- 800: over-long texts; 900: NULL name; 1000: 12-character abbreviation.
    INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
    VALUES (800, 'HD', printf('%.60c', 'V'), 1);
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName) VALUES (900, NULL, 1);
    INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
    VALUES (1000, 'ABCDEFGHIJKL', '7', 1), (1100, NULL, NULL, 1);
    -- windows-1252 bytes come back unchanged.
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
    VALUES (1200, CAST(X'416C6E69E96D' AS TEXT), 1);
  )sql");
  OdbcSession session(database);
  LoadCatalogueNames(session.statement());

  const struct {
    int starId;
    bool found;
    std::string name;
  } cases[] = {
      {100, true, "Sirius"},
      {200, true, "Henry Draper 217987"},
      {300, true, "HIP 92403"},
      {400, true, "SAO 151881"},
      {500, false, "untouched"},
      {600, true, "First"},
      {700, true, "Block"},
      {745, true, "Block"},
      {800, true, "Henry Draper " + std::string(50, 'V')},
      {900, true, ""},
      {1000, true, "Twelve 7"},
      {1100, true, " "},
      {1200, true, "Alni\xE9m"},
      {1300, false, "untouched"},
  };
  for (const auto& c : cases) {
    char name[kDisplayNameSize] = "untouched";
    EXPECT_EQ(GetStarDisplayName(session.statement(), c.starId, name), c.found)
        << c.starId;
    EXPECT_EQ(name, c.name) << c.starId;
  }

  // Without the table, designations are spelled with their abbreviation.
  FreeCatalogueNames();
  char name[kDisplayNameSize];
  ASSERT_TRUE(GetStarDisplayName(session.statement(), 200, name));
  EXPECT_STREQ(name, "HD 217987");
}

}  // namespace
}  // namespace veloran
