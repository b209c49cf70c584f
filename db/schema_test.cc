// The schema's CHECK constraints: every value the program can read exactly
// is accepted, and every other is refused when it is written.

#include <sqlite3.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran {
namespace {

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    sqlite3_enable_load_extension(db_, 1);
    ASSERT_EQ(
        sqlite3_load_extension(db_, VELORAN_DIALECT_PATH, nullptr, nullptr),
        SQLITE_OK);
    std::string schema =
        testing::ReadFile(std::string(VELORAN_SOURCE_DIR) + "/db/schema.sql");
    ASSERT_FALSE(schema.empty());
    ASSERT_EQ(sqlite3_exec(db_, schema.c_str(), nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db_);
  }
  void TearDown() override { sqlite3_close(db_); }

  // SQLITE_OK, SQLITE_CONSTRAINT, or another result code.
  int Run(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  }

  sqlite3* db_ = nullptr;
};

const int kOk = SQLITE_OK;
const int kRefused = SQLITE_CONSTRAINT;

TEST_F(SchemaTest, Positions) {
  const struct {
    const char* columns;
    const char* values;
    int result;
  } cases[] = {
      {"OwnerID", "100", kOk},
      {"OwnerID", "NULL", kOk},
      {"OwnerID", "2147483647", kOk},
      {"OwnerID", "-2147483648", kOk},
      {"OwnerID", "2147483648", kRefused},
      {"OwnerID", "-2147483649", kRefused},
      {"OwnerID", "100.5", kRefused},
      {"OwnerID", "'star'", kRefused},
      {"OwnerID", "'700'", kOk},  // a numeric text becomes the integer
      {"RA_hr, RA_min, RA_sec", "0, 0, 0", kOk},
      {"RA_hr, RA_min, RA_sec", "23, 59, 59.9999", kOk},
      {"RA_hr", "24", kRefused},
      {"RA_hr", "-1", kRefused},
      {"RA_hr", "300", kRefused},
      {"RA_hr", "5.5", kRefused},
      {"RA_hr", "'5h'", kRefused},
      {"RA_min", "60", kRefused},
      {"RA_min", "-1", kRefused},
      {"RA_sec", "60", kRefused},
      {"RA_sec", "-0.001", kRefused},
      {"RA_sec", "'abc'", kRefused},
      {"RA_sec", "x'00'", kRefused},
      {"RA_sec", "30", kOk},  // an integer becomes a real
      {"Dec_deg, Dec_arcmin, Dec_arcsec", "-90, 0, 0", kOk},
      {"Dec_deg, Dec_arcmin, Dec_arcsec", "90, 0, 0", kOk},
      {"Dec_deg", "91", kRefused},
      {"Dec_deg", "-91", kRefused},
      {"Dec_deg", "32768", kRefused},
      {"Dec_arcmin", "60", kRefused},
      {"Dec_arcmin", "-1", kRefused},
      {"Dec_arcsec", "59.999", kOk},
      {"Dec_arcsec", "60", kRefused},
      // Negative arcseconds only for a declination between 0 and -1 degrees.
      {"Dec_deg, Dec_arcmin, Dec_arcsec", "0, 0, -1815", kOk},
      {"Dec_deg, Dec_arcmin, Dec_arcsec", "0, 0, -3599.99", kOk},
      {"Dec_deg, Dec_arcmin, Dec_arcsec", "0, 0, -3600", kRefused},
      {"Dec_deg, Dec_arcmin, Dec_arcsec", "0, 1, -5", kRefused},
      {"Dec_deg, Dec_arcmin, Dec_arcsec", "-5, 0, -5", kRefused},
      {"Dec_deg, Dec_arcmin, Dec_arcsec", "NULL, 0, -5", kRefused},
      {"Distance, DistanceError, Epoch", "4.244, 0.001, 2000", kOk},
      {"Distance", "'far'", kRefused},
      {"DistanceError", "x'01'", kRefused},
      {"Epoch", "'J2000'", kRefused},
      {"DistanceSource", "'GaiaDR2'", kOk},
      {"DistanceSource", "7", kOk},  // text affinity: stored as '7'
      {"DistanceSource", "x'00'", kRefused},
      {"LastUpdated", "'2024-02-29'", kOk},
      {"LastUpdated", "NULL", kOk},
      {"LastUpdated", "'2023-02-29'", kRefused},
      {"LastUpdated", "'2023-13-01'", kRefused},
      {"LastUpdated", "'2023-1-5'", kRefused},
      {"LastUpdated", "'2023-01-05 12:00'", kRefused},
      {"LastUpdated", "'yesterday'", kRefused},
      {"LastUpdated", "20230105", kRefused},
  };
  for (const auto& c : cases) {
    std::string sql = std::string("INSERT INTO Positions (") + c.columns +
                      ") VALUES (" + c.values + ")";
    EXPECT_EQ(Run(sql), c.result) << sql;
  }
}

TEST_F(SchemaTest, NamesSpectraAndCatalogues) {
  const char* const accepted[] = {
      "INSERT INTO ProperNames (OwnerID, Name, IsSystemName) "
      "VALUES (100, 'Sol', 1)",
      "INSERT INTO ProperNames (OwnerID, Name) VALUES (103, NULL)",
      "INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName) "
      "VALUES (104, 'HD', '48915', 0)",
      "INSERT INTO CatalogNames (Abbreviation, LongName, HasNoCatNumbers) "
      "VALUES ('HD', 'Henry Draper', 0)",
      "INSERT INTO CatalogNames (Abbreviation, HasNoCatNumbers) "
      "VALUES ('NAME', NULL)",
      "INSERT INTO Spectra (OwnerID, SpectralClass, LuminosityClass, "
      "LastUpdated) VALUES (101, 'G2', 'V', '2026-12-07')",
  };
  for (const char* sql : accepted) EXPECT_EQ(Run(sql), kOk) << sql;

  const char* const refused[] = {
      "INSERT INTO ProperNames (OwnerID, Name, IsSystemName) "
      "VALUES (100, 'Sol', 2)",
      "INSERT INTO ProperNames (OwnerID, Name) VALUES (100.5, 'Sol')",
      "INSERT INTO ProperNames (OwnerID, Name) VALUES (100, x'536f6c')",
      "INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value, IsSystemName) "
      "VALUES (104, 'HD', '1', -1)",
      "INSERT INTO CatalogNumbers (OwnerID, CatAbbrev) VALUES ('x', 'HD')",
      "INSERT INTO CatalogNames (Abbreviation, HasNoCatNumbers) "
      "VALUES ('GJ', 2)",
      "INSERT INTO CatalogNames (Abbreviation) VALUES (x'4844')",
      "INSERT INTO Spectra (OwnerID, SpectralClass) VALUES (101, x'4732')",
      "INSERT INTO Spectra (OwnerID, LastUpdated) VALUES (101, '2026-02-30')",
  };
  for (const char* sql : refused) EXPECT_EQ(Run(sql), kRefused) << sql;
}

TEST_F(SchemaTest, NameLookup) {
  const struct {
    const char* values;
    int result;
  } cases[] = {
      {"'sirius', 323490000, 'Sirius', 1", kOk},
      {"'hd48915', 323490000, 'HD 48915', 0", kOk},
      {"'sol', 100, 'Sol', 1", kOk},
      {"'0', 2147483600, 'x', 0", kOk},
      {"'Sirius', 323490000, 'Sirius', 1", kRefused},  // not a key
      {"'alpha cma', 323490000, '&alpha; CMa', 1", kRefused},
      {"'alpha-cma', 323490000, '&alpha; CMa', 1", kRefused},
      {"'', 323490000, '', 1", kRefused},
      {"x'6162', 100, 'ab', 1", kRefused},
      {"12, 100, '12', 0", kOk},  // text affinity: stored as '12'
      {"NULL, 100, 'x', 0", kRefused},
      {"'sirius', 323490002, 'Sirius', 1", kRefused},  // not a star's ID
      {"'sirius', 0, 'Sirius', 1", kRefused},
      {"'sirius', 2147483700, 'Sirius', 1", kRefused},
      {"'sirius', 323490000, NULL, 1", kRefused},
      {"'sirius', 323490000, 7, 1", kOk},  // text affinity
      {"'sirius', 323490000, x'00', 1", kRefused},
      {"'sirius', 323490000, 'Sirius', 2", kRefused},
  };
  std::string longest(255, 'k');
  EXPECT_EQ(
      Run("INSERT INTO NameLookup VALUES ('" + longest + "', 100, 'k', 1)"),
      kOk);
  EXPECT_EQ(
      Run("INSERT INTO NameLookup VALUES ('" + longest + "k', 100, 'k', 1)"),
      kRefused);
  for (const auto& c : cases) {
    std::string sql =
        std::string("INSERT INTO NameLookup VALUES (") + c.values + ")";
    EXPECT_EQ(Run(sql), c.result) << sql;
  }
}

// The dialect's NAME_KEY is names/name_keys.h's key; what NameLookup holds
// of a database's names.
TEST_F(SchemaTest, NameLookupFill) {
  ASSERT_EQ(Run("INSERT INTO ProperNames (OwnerID, Name, IsSystemName) VALUES "
                "(716830102, 'Rigil Kentaurus', 1), "
                "(716830103, '&alpha;1 Cen', 0), "
                "(716830104, '&amp;', 0), "
                "(716810202, '&alpha;2 Cen', 1), "
                "(708900002, NULL, 1), "
                "(1108930102, 'Kruger 60 A', 1); "
                "INSERT INTO CatalogNumbers (OwnerID, CatAbbrev, Value) VALUES "
                "(716830105, 'HIP', '71683 A'), (716830106, 'HD', NULL), "
                "(1108930103, 'HD', '239960'), (1108930104, 'HD', '239960')"),
            kOk)
      << sqlite3_errmsg(db_);
  std::string fill = testing::ReadFile(std::string(VELORAN_SOURCE_DIR) +
                                       "/db/name_lookup.sql");
  ASSERT_EQ(Run(fill), kOk) << sqlite3_errmsg(db_);
  std::string rows;
  sqlite3_stmt* statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db_,
                               "SELECT Key || '|' || OwnerID || '|' || Name || "
                               "'|' || IsProperName FROM NameLookup ORDER BY "
                               "rowid",
                               -1, &statement, nullptr),
            SQLITE_OK);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    rows += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    rows += "\n";
  }
  sqlite3_finalize(statement);
  EXPECT_EQ(rows,
            "alpha1cen|716830100|&alpha;1 Cen|1\n"
            "alpha2cen|716810200|&alpha;2 Cen|1\n"
            "alphacen|716810200|&alpha;2 Cen|1\n"
            "alphacen|716830100|&alpha;1 Cen|1\n"
            "hd239960|1108930100|HD 239960|0\n"
            "hip71683a|716830100|HIP 71683 A|0\n"
            "kruger60a|1108930100|Kruger 60 A|1\n"
            "rigilkentaurus|716830100|Rigil Kentaurus|1\n");
}

}  // namespace
}  // namespace veloran
