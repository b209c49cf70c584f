#include "catalogue/catalogue_names.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "catalogue/fetched_text.h"
#include "catalogue/kept_connection.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

CatalogueNameTable catalogueNames;

namespace {

// The table as a resident worker read it for the database of "generation":
// each request that loads the table while that database lasts is given
// it, without reading it again.
struct KeptNames {
  CatalogueNameTable table;
  uint64_t generation = 0;
};

KeptNames kept;

void FreeKeptNames() {
  delete[] kept.table.names;
  kept = KeptNames{};
}

bool LoadFromDatabase(SQLHSTMT statement);

}  // namespace

CatalogueName::CatalogueName()
    : Description(nullptr), Abbreviation{}, LongName{}, HasNoCatNumbers(0) {}

CatalogueName::~CatalogueName() { std::free(Description); }

bool CatalogueName::SetDescription(const char* description) {
  std::free(Description);
  Description = nullptr;
  if (description == nullptr) return true;
  size_t size = std::strlen(description) + 1;
  Description = static_cast<char*>(std::malloc(size));
  if (Description == nullptr) return false;
  std::memcpy(Description, description, size);
  return true;
}

namespace {

// Copies a fetched text into a field of "size" bytes, always terminated.
void CopyField(char* field, size_t size, const char* text) {
  std::snprintf(field, size, "%s", text);
}

}  // namespace

bool LoadCatalogueNames(SQLHSTMT statement) {
  FreeCatalogueNames();
  catalogueNames.count = 0;
  uint64_t generation = KeptDatabaseGeneration();
  if (generation != 0 && generation == kept.generation) {
    catalogueNames = kept.table;
    return true;
  }
  if (kept.table.names != nullptr || kept.generation != 0) FreeKeptNames();
  bool read = LoadFromDatabase(statement);
  // Only a whole table is kept: not one that a read or the heap cut short.
  if (generation != 0 && read && catalogueNames.names != nullptr) {
    kept.table = catalogueNames;
    kept.generation = generation;
  }
  return read;
}

namespace {

bool LoadFromDatabase(SQLHSTMT statement) {
  CloseCursor(statement);
  if (!ExecuteStatement(statement, "SELECT COUNT(*) FROM CatalogNames")) {
    return !ReadFailed();
  }
  SQLLEN countIndicator;
  SQLBindCol(statement, 1, SQL_C_LONG, &catalogueNames.count, 0,
             &countIndicator);
  bool counted = FetchRow(statement);
  UnbindColumns(statement);
  if (!counted) {
    catalogueNames.count = 0;
    return !ReadFailed();
  }

  CloseCursor(statement);
  if (!ExecuteStatement(statement,
                        "SELECT Abbreviation, LongName, Description, "
                        "HasNoCatNumbers FROM CatalogNames")) {
    return !ReadFailed();
  }
  if (catalogueNames.count < 0) return true;
  // An exhausted heap leaves the table absent: every lookup then returns the
  // abbreviation it was given.
  catalogueNames.names = new (std::nothrow) CatalogueName[catalogueNames.count];
  if (catalogueNames.names == nullptr) return true;

  char abbreviation[kAbbreviationSize];
  char longName[kLongNameSize];
  char description[2048];
  unsigned char hasNoCatNumbers = 0;
  SQLLEN indicators[4];
  SQLBindCol(statement, 1, SQL_C_CHAR, abbreviation, sizeof(abbreviation),
             &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_CHAR, longName, sizeof(longName),
             &indicators[1]);
  SQLBindCol(statement, 3, SQL_C_CHAR, description, sizeof(description),
             &indicators[2]);
  SQLBindCol(statement, 4, SQL_C_BIT, &hasNoCatNumbers, 0, &indicators[3]);
  for (int32_t i = 0; i < catalogueNames.count; ++i) {
    // A NULL flag leaves the buffer unwritten: it then reads as 0.
    hasNoCatNumbers = 0;
    if (!FetchRow(statement)) break;
    TerminateFetchedText(abbreviation, indicators[0]);
    TerminateFetchedText(longName, indicators[1]);
    TerminateFetchedText(description, indicators[2]);
    CatalogueName& name = catalogueNames.names[i];
    if (indicators[0] != SQL_NULL_DATA) {
      CopyField(name.Abbreviation, sizeof(name.Abbreviation), abbreviation);
    }
    if (indicators[1] != SQL_NULL_DATA) {
      CopyField(name.LongName, sizeof(name.LongName), longName);
    }
    if (indicators[2] != SQL_NULL_DATA && !name.SetDescription(description)) {
      // Out of memory: give the table up rather than use it half-made.
      FreeCatalogueNames();
      break;
    }
    name.HasNoCatNumbers = hasNoCatNumbers;
  }
  UnbindColumns(statement);
  return !ReadFailed();
}

}  // namespace

void FreeCatalogueNames() {
  if (catalogueNames.names == nullptr) return;
  // The kept table outlives the request that is given it.
  if (catalogueNames.names != kept.table.names) delete[] catalogueNames.names;
  catalogueNames.names = nullptr;
}

const CatalogueName* FindCatalogueName(const char* abbreviation) {
  if (catalogueNames.names == nullptr || catalogueNames.count <= 0) {
    return nullptr;
  }
  for (int32_t i = 0; i < catalogueNames.count; ++i) {
    const CatalogueName& name = catalogueNames.names[i];
    if (std::strcmp(name.Abbreviation, abbreviation) == 0) return &name;
  }
  return nullptr;
}

const char* LookupCatalogueName(const char* abbreviation) {
  const CatalogueName* name = FindCatalogueName(abbreviation);
  if (name == nullptr || name->LongName[0] == '\0') return abbreviation;
  return name->LongName;
}

}  // namespace veloran
