// The catalogue statements against real databases, through the real driver
// manager and driver.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "catalogue/batched_lookups.h"
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

// What the look-ups gave of one star.
struct LookedUp {
  bool hasName = false;
  std::string name;
  bool properName = false;
  bool hasSpectrum = false;
  SpectrumRecord spectrum{};
  bool hasFacts = false;
  StarFacts facts{};
};

void TakeName(void* context, int index, const char* name) {
  LookedUp& star = (*static_cast<std::vector<LookedUp>*>(context))[index];
  EXPECT_FALSE(star.hasName) << index;
  star.hasName = true;
  star.name = name;
}

void TakeNameAndKind(void* context, int index, const char* name,
                     bool properName) {
  TakeName(context, index, name);
  (*static_cast<std::vector<LookedUp>*>(context))[index].properName =
      properName;
}

void TakeSpectrum(void* context, int index, const SpectrumRecord& spectrum) {
  LookedUp& star = (*static_cast<std::vector<LookedUp>*>(context))[index];
  EXPECT_FALSE(star.hasSpectrum) << index;
  star.hasSpectrum = true;
  star.spectrum = spectrum;
}

void TakeFacts(void* context, int index, const StarFacts& facts) {
  LookedUp& star = (*static_cast<std::vector<LookedUp>*>(context))[index];
  EXPECT_FALSE(star.hasFacts) << index;
  star.hasFacts = true;
  star.facts = facts;
}

// Each star's look-ups of a whole set at once.
std::vector<LookedUp> LookUpTogether(SQLHSTMT statement,
                                     const std::vector<int32_t>& ids) {
  std::vector<LookedUp> stars(ids.size());
  int count = static_cast<int>(ids.size());
  EXPECT_TRUE(ReadNamesOfStars(statement, ids.data(), count, TakeNameAndKind,
                               &stars));
  EXPECT_TRUE(
      ReadSpectraOfStars(statement, ids.data(), count, TakeSpectrum, &stars));
  EXPECT_TRUE(
      ReadFactsOfStars(statement, ids.data(), count, TakeFacts, &stars));
  EXPECT_FALSE(ReadFailed());
  return stars;
}

// The facts and spectra of a whole set, as an ordering of it reads them.
std::vector<LookedUp> FactsAndSpectraTogether(SQLHSTMT statement,
                                              const std::vector<int32_t>& ids) {
  std::vector<FactsAndSpectrum> read(ids.size());
  // Set, so that a field left as it was shows.
  std::memset(read.data(), 0x55, read.size() * sizeof(FactsAndSpectrum));
  EXPECT_TRUE(ReadFactsAndSpectra(statement, ids.data(),
                                  static_cast<int>(ids.size()), read.data()));
  EXPECT_FALSE(ReadFailed());
  std::vector<LookedUp> stars(ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    stars[i].hasSpectrum = read[i].hasSpectrum;
    stars[i].spectrum = read[i].spectrum;
    stars[i].hasFacts = read[i].hasFacts;
    stars[i].facts = read[i].facts;
  }
  return stars;
}

// The same star by star, as the classic listing looks each up.
LookedUp LookUpAlone(SQLHSTMT statement, int32_t id) {
  LookedUp star;
  char name[kDisplayNameSize] = "";
  star.hasName = GetStarDisplayName(statement, id, name, &star.properName);
  if (star.hasName) star.name = name;
  star.hasSpectrum = FetchStarSpectrum(statement, id, &star.spectrum);
  if (!star.hasSpectrum) star.spectrum = SpectrumRecord{};
  EXPECT_TRUE(FetchListedFacts(statement, id, &star.facts, &star.hasFacts));
  return star;
}

void ExpectSameSpectrum(const SpectrumRecord& a, const SpectrumRecord& b,
                        int32_t id) {
  EXPECT_EQ(a.HasSpectralClass, b.HasSpectralClass) << id;
  EXPECT_STREQ(a.SpectralClass, b.SpectralClass) << id;
  EXPECT_EQ(a.HasLuminosityClass, b.HasLuminosityClass) << id;
  EXPECT_STREQ(a.LuminosityClass, b.LuminosityClass) << id;
  EXPECT_EQ(a.HasSpectrumSource, b.HasSpectrumSource) << id;
  EXPECT_STREQ(a.SpectrumSource, b.SpectrumSource) << id;
  EXPECT_EQ(std::memcmp(&a.LastUpdated, &b.LastUpdated, sizeof(DATE_STRUCT)), 0)
      << id;
}

void ExpectSameFacts(const StarFacts& a, const StarFacts& b, int32_t id) {
  EXPECT_EQ(a.hasVMag, b.hasVMag) << id;
  EXPECT_EQ(a.vMag, b.vMag) << id;
  EXPECT_EQ(a.hasColourIndex, b.hasColourIndex) << id;
  EXPECT_EQ(a.colourIndex, b.colourIndex) << id;
  EXPECT_EQ(a.hasParallax, b.hasParallax) << id;
  EXPECT_EQ(a.parallax, b.parallax) << id;
  EXPECT_EQ(a.hasParallaxError, b.hasParallaxError) << id;
  EXPECT_EQ(a.parallaxError, b.parallaxError) << id;
  EXPECT_EQ(a.hasConstellation, b.hasConstellation) << id;
  EXPECT_STREQ(a.constellation, b.constellation) << id;
  EXPECT_EQ(a.hasSystem, b.hasSystem) << id;
  EXPECT_EQ(a.systemId, b.systemId) << id;
}

class BatchedLookupsTest : public CatalogueNamesTest {};

// Every star of a set is given what its own look-ups give it: the first
// row where a key has several, NULLs and texts cut to their buffers as
// they read, in sets larger than one batch and with a star twice.
TEST_F(BatchedLookupsTest, EachStarAsItsOwnLookUps) {
  auto database = CreateTestDatabase("batched_lookups", R"sql(
    INSERT INTO CatalogNames (Abbreviation, LongName)
    VALUES ('HD', 'Henry Draper'), ('HIP', ''), ('ABCDEFGHIJKL', 'Twelve');
    INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
    VALUES (102, 'Sirius', 1), (103, 'Not the system name', 0),
           -- Several system names: differing, equal, NULL before a name,
           -- equal only as far as the buffer holds them.
           (610, 'First', 1), (620, 'Second', 1),
           (1310, 'Twin', 1), (1320, 'Twin', 1),
           (1400, NULL, 1), (1401, 'After a NULL', 1),
           (1500, printf('%.50cx', 'N'), 1), (1501, printf('%.50cy', 'N'), 1),
           (799, 'Block', 1), (900, NULL, 1), (-100, 'Below zero', 1),
           (1200, CAST(X'416C6E69E96D' AS TEXT), 1),
           (44900, 'In the third batch', 1);
    INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName)
    VALUES (104, 'HD', '48915', 1), (201, 'HD', '1326', 0),
           (299, 'HD', '217987', 1), (300, 'HIP', '92403', 1),
           (400, 'SAO', '151881', 1), (800, 'HD', printf('%.60c', 'V'), 1),
           (1000, 'ABCDEFGHIJKL', '7', 1), (1100, NULL, NULL, 1),
           (1600, 'HD', '1', 1), (1601, 'HD', '2', 1),
           (1700, 'HD', '9', 1), (1701, 'HD', '9', 1),
           (1800, 'HD', '5', 1), (1801, NULL, '5', 1);
    INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass,
                         SpectrumSource, LastUpdated)
    VALUES (101, 'M5.5', 'Ve', 'HIP', '2020-01-02'),
           (201, 'K0', NULL, NULL, NULL),
           (301, NULL, 'V', 'x', NULL),
           (401, printf('%.60c', 'A'), printf('%.55c', 'B'), 'Source1234567',
            NULL),
           (501, 'G2', 'V', NULL, NULL), (501, 'K1', 'III', NULL, NULL),
           (601, 'A0', 'V', 'HIP', '2001-02-03'),
           (601, 'A0', 'V', 'HIP', '2001-02-03'),
           (701, 'F5', 'IV', NULL, '2001-02-03'),
           (701, 'F5', 'IV', NULL, '2001-02-04'),
           (1301, 'B1', NULL, 'Source1234567', NULL),
           (1301, 'B1', NULL, 'Source1234568', NULL),
           (1401, NULL, NULL, NULL, NULL), (1401, '', NULL, NULL, NULL),
           (30001, 'M0', 'V', NULL, NULL);
    INSERT INTO StarFacts (OwnerID, VMag, ColourIndex, Parallax,
                           ParallaxError, Constellation, SystemID)
    VALUES (100, -1.46, 0.009, 379.21, 1.58, 'CMa', 100),
           (200, NULL, NULL, NULL, NULL, NULL, NULL),
           (300, 0.0, -0.0, 1e-300, 1e300, 'Ori', 300),
           (400, 5.5, NULL, 12.5, NULL, 'UMa', 100),
           (44800, 9.0, 1.0, 2.0, 3.0, 'Cen', NULL);
  )sql");
  OdbcSession session(database);
  LoadCatalogueNames(session.statement());

  std::vector<int32_t> ids = {100,  200,  300,  400,  500,  600,  700,  745,
                              800,  900,  1000, 1100, 1200, 1300, 1400, 1500,
                              1600, 1700, 1800, 1900, -100, 100};
  for (int32_t id = 100; id <= 45000; id += 100) ids.push_back(id);
  std::vector<LookedUp> together = LookUpTogether(session.statement(), ids);
  std::vector<LookedUp> ordering =
      FactsAndSpectraTogether(session.statement(), ids);
  for (size_t i = 0; i < ids.size(); ++i) {
    LookedUp alone = LookUpAlone(session.statement(), ids[i]);
    const LookedUp& star = together[i];
    EXPECT_EQ(star.hasName, alone.hasName) << ids[i];
    EXPECT_EQ(star.name, alone.name) << ids[i];
    EXPECT_EQ(star.properName, alone.properName) << ids[i];
    const LookedUp* reads[] = {&star, &ordering[i]};
    for (const LookedUp* read : reads) {
      EXPECT_EQ(read->hasSpectrum, alone.hasSpectrum) << ids[i];
      ExpectSameSpectrum(read->spectrum, alone.spectrum, ids[i]);
      EXPECT_EQ(read->hasFacts, alone.hasFacts) << ids[i];
      ExpectSameFacts(read->facts, alone.facts, ids[i]);
    }
  }

  // What the look-ups give, so that a fault shared by both shows.
  const struct {
    int32_t id;
    const char* name;           // nullptr: none
    bool proper;                // a proper name, not a designation
    const char* spectralClass;  // nullptr: no spectrum
  } cases[] = {
      {100, "Sirius", true, "M5.5"},
      {200, "Henry Draper 217987", false, "K0"},
      {600, "First", true, "A0"},
      {700, "Block", true, "F5"},
      {1300, "Twin", true, "B1"},
      {1400, "", true, ""},
      {1500, "NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN", true,
       nullptr},
      {1600, "Henry Draper 1", false, nullptr},
      {1700, "Henry Draper 9", false, nullptr},
      {1800, "Henry Draper 5", false, nullptr},
      {1900, nullptr, false, nullptr},
      {500, nullptr, false, "G2"},
      {30000, nullptr, false, "M0"},
      {44900, "In the third batch", true, nullptr},
  };
  for (const auto& c : cases) {
    size_t at = std::find(ids.begin(), ids.end(), c.id) - ids.begin();
    ASSERT_LT(at, ids.size()) << c.id;
    const LookedUp& star = together[at];
    EXPECT_EQ(star.hasName, c.name != nullptr) << c.id;
    if (c.name != nullptr) {
      EXPECT_EQ(star.name, c.name) << c.id;
    }
    EXPECT_EQ(star.properName, c.proper) << c.id;
    EXPECT_EQ(star.hasSpectrum, c.spectralClass != nullptr) << c.id;
    if (c.spectralClass != nullptr) {
      EXPECT_STREQ(star.spectrum.SpectralClass, c.spectralClass) << c.id;
    }
  }
}

// A database without StarFacts has no facts, and that is no fault; a
// missing table of names is.
TEST_F(BatchedLookupsTest, MissingTables) {
  auto database = CreateTestDatabase("batched_lookups_tables", R"sql(
    DROP TABLE StarFacts;
    INSERT INTO Spectra (OwnerID, SpectralClass) VALUES (101, 'G2');
  )sql");
  OdbcSession session(database);
  LoadCatalogueNames(session.statement());
  const int32_t ids[] = {100, 200};
  std::vector<LookedUp> stars(2);
  EXPECT_TRUE(ReadFactsOfStars(session.statement(), ids, 2, TakeFacts, &stars));
  EXPECT_FALSE(ReadFailed());
  EXPECT_TRUE(
      ReadSpectraOfStars(session.statement(), ids, 2, TakeSpectrum, &stars));
  EXPECT_TRUE(stars[0].hasSpectrum);
  EXPECT_FALSE(stars[0].hasFacts || stars[1].hasFacts);
  FactsAndSpectrum read[2];
  EXPECT_TRUE(ReadFactsAndSpectra(session.statement(), ids, 2, read));
  EXPECT_FALSE(ReadFailed());
  EXPECT_TRUE(read[0].hasSpectrum && !read[1].hasSpectrum);
  EXPECT_FALSE(read[0].hasFacts || read[1].hasFacts);

  auto without =
      CreateTestDatabase("batched_lookups_no_names", "DROP TABLE ProperNames;");
  OdbcSession other(without);
  EXPECT_FALSE(ReadNamesOfStars(other.statement(), ids, 2, TakeName, &stars));
  EXPECT_TRUE(ReadFailed());
}

}  // namespace
}  // namespace veloran
