#include "catalogue/star_records.h"

#include "catalogue/fetched_text.h"
#include "catalogue/kept_lookups.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

bool FetchPositionRecord(SQLHSTMT statement, int32_t ownerId,
                         PositionRecord* record) {
  SQLHSTMT rows = ExecuteLookup(
      statement,
      "SELECT RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, Dec_arcsec, "
      "Distance, DistanceError, DistanceSource, LastUpdated, Epoch FROM "
      "Positions WHERE OwnerID = %ld",
      ownerId);
  if (rows == SQL_NULL_HSTMT) {
    return false;
  }
  *record = PositionRecord{};
  SQLLEN indicators[11];
  SQLBindCol(rows, 1, SQL_C_UTINYINT, &record->RA_hr, 0, &indicators[0]);
  SQLBindCol(rows, 2, SQL_C_UTINYINT, &record->RA_min, 0, &indicators[1]);
  SQLBindCol(rows, 3, SQL_C_FLOAT, &record->RA_sec, 0, &indicators[2]);
  SQLBindCol(rows, 4, SQL_C_SHORT, &record->Dec_deg, 0, &indicators[3]);
  SQLBindCol(rows, 5, SQL_C_UTINYINT, &record->Dec_arcmin, 0, &indicators[4]);
  SQLBindCol(rows, 6, SQL_C_FLOAT, &record->Dec_arcsec, 0, &indicators[5]);
  SQLBindCol(rows, 7, SQL_C_DOUBLE, &record->Distance, 0, &indicators[6]);
  SQLBindCol(rows, 8, SQL_C_DOUBLE, &record->DistanceError, 0, &indicators[7]);
  SQLBindCol(rows, 9, SQL_C_CHAR, record->DistanceSource,
             sizeof(record->DistanceSource), &indicators[8]);
  SQLBindCol(rows, 10, SQL_C_DATE, &record->LastUpdated, 0, &indicators[9]);
  SQLBindCol(rows, 11, SQL_C_DOUBLE, &record->Epoch, 0, &indicators[10]);
  bool fetched = FetchRow(rows);
  UnbindColumns(rows);
  if (!fetched) return false;
  TerminateFetchedText(record->DistanceSource, indicators[8]);
  record->HasRA = indicators[0] != SQL_NULL_DATA;
  record->HasDec = indicators[3] != SQL_NULL_DATA;
  record->HasDistance = indicators[6] != SQL_NULL_DATA;
  record->HasDistanceError = indicators[7] != SQL_NULL_DATA;
  record->HasDistanceSource = indicators[8] != SQL_NULL_DATA;
  return true;
}

bool FetchSpectrumRecord(SQLHSTMT statement, int32_t ownerId,
                         SpectrumRecord* record) {
  SQLHSTMT rows = ExecuteLookup(
      statement,
      "SELECT SpectralClass, LuminosityClass, SpectrumSource, LastUpdated "
      "FROM Spectra WHERE OwnerID = %ld",
      ownerId);
  if (rows == SQL_NULL_HSTMT) {
    return false;
  }
  *record = SpectrumRecord{};
  SQLLEN indicators[4];
  SQLBindCol(rows, 1, SQL_C_CHAR, record->SpectralClass,
             sizeof(record->SpectralClass), &indicators[0]);
  SQLBindCol(rows, 2, SQL_C_CHAR, record->LuminosityClass,
             sizeof(record->LuminosityClass), &indicators[1]);
  SQLBindCol(rows, 3, SQL_C_CHAR, record->SpectrumSource,
             sizeof(record->SpectrumSource), &indicators[2]);
  SQLBindCol(rows, 4, SQL_C_DATE, &record->LastUpdated, 0, &indicators[3]);
  bool fetched = FetchRow(rows);
  UnbindColumns(rows);
  if (!fetched) return false;
  TerminateFetchedText(record->SpectralClass, indicators[0]);
  TerminateFetchedText(record->LuminosityClass, indicators[1]);
  TerminateFetchedText(record->SpectrumSource, indicators[2]);
  record->HasSpectralClass = indicators[0] != SQL_NULL_DATA;
  record->HasLuminosityClass = indicators[1] != SQL_NULL_DATA;
  record->HasSpectrumSource = indicators[2] != SQL_NULL_DATA;
  return true;
}

bool FetchStarSpectrum(SQLHSTMT statement, int32_t starId,
                       SpectrumRecord* record) {
  switch (KeptSpectrum(starId + 1, record)) {
    case KeptAnswer::kFound:
      return true;
    case KeptAnswer::kNone:
      return false;
    case KeptAnswer::kAsk:
      break;
  }
  return FetchSpectrumRecord(statement, starId + 1, record);
}

bool FetchStarFacts(SQLHSTMT statement, int32_t ownerId, StarFacts* facts,
                    bool* found) {
  *found = false;
  *facts = StarFacts{};
  SQLHSTMT rows = ExecuteLookup(statement,
                                "SELECT VMag, ColourIndex, Parallax, "
                                "ParallaxError, Constellation, SystemID FROM "
                                "StarFacts WHERE OwnerID = %ld",
                                ownerId);
  if (rows == SQL_NULL_HSTMT) {
    // An older database, without the table: no facts.
    if (!ReadFaultIsMissingTable()) return false;
    ForgetReadFault();
    return true;
  }
  SQLLEN indicators[6];
  SQLBindCol(rows, 1, SQL_C_DOUBLE, &facts->vMag, 0, &indicators[0]);
  SQLBindCol(rows, 2, SQL_C_DOUBLE, &facts->colourIndex, 0, &indicators[1]);
  SQLBindCol(rows, 3, SQL_C_DOUBLE, &facts->parallax, 0, &indicators[2]);
  SQLBindCol(rows, 4, SQL_C_DOUBLE, &facts->parallaxError, 0, &indicators[3]);
  SQLBindCol(rows, 5, SQL_C_CHAR, facts->constellation,
             sizeof(facts->constellation), &indicators[4]);
  SQLBindCol(rows, 6, SQL_C_LONG, &facts->systemId, 0, &indicators[5]);
  SQLRETURN fetched = SQLFetch(rows);
  // The diagnostic of a failed fetch is kept before the next call on the
  // statement clears it.
  if (fetched != SQL_NO_DATA && !SQL_SUCCEEDED(fetched)) {
    NoteReadFault(rows);
    UnbindColumns(rows);
    return false;
  }
  UnbindColumns(rows);
  if (fetched == SQL_NO_DATA) return true;
  TerminateFetchedText(facts->constellation, indicators[4]);
  facts->hasVMag = indicators[0] != SQL_NULL_DATA;
  facts->hasColourIndex = indicators[1] != SQL_NULL_DATA;
  facts->hasParallax = indicators[2] != SQL_NULL_DATA;
  facts->hasParallaxError = indicators[3] != SQL_NULL_DATA;
  facts->hasConstellation =
      indicators[4] != SQL_NULL_DATA && facts->constellation[0] != '\0';
  facts->hasSystem = indicators[5] != SQL_NULL_DATA;
  *found = true;
  return true;
}

bool FetchListedFacts(SQLHSTMT statement, int32_t ownerId, StarFacts* facts,
                      bool* found) {
  switch (KeptFacts(ownerId, facts)) {
    case KeptAnswer::kFound:
      *found = true;
      return true;
    case KeptAnswer::kNone:
      *facts = StarFacts{};
      *found = false;
      return true;
    case KeptAnswer::kAsk:
      break;
  }
  return FetchStarFacts(statement, ownerId, facts, found);
}

bool FetchProvenance(SQLHSTMT statement, char (&text)[kProvenanceSize],
                     bool* found) {
  *found = false;
  text[0] = '\0';
  CloseCursor(statement);
  if (!ExecuteStatement(statement,
                        "SELECT Value FROM DatabaseInfo WHERE Name = "
                        "'Provenance'")) {
    // Executed with information: no row read, no fault.  An older
    // database, without the table: no provenance.
    if (!ReadFailed()) return true;
    if (!ReadFaultIsMissingTable()) return false;
    ForgetReadFault();
    return true;
  }
  SQLLEN indicator = 0;
  SQLBindCol(statement, 1, SQL_C_CHAR, text, sizeof(text), &indicator);
  bool fetched = FetchRow(statement);
  UnbindColumns(statement);
  if (!fetched) return !ReadFailed();
  TerminateFetchedText(text, indicator);
  *found = indicator != SQL_NULL_DATA && text[0] != '\0';
  return true;
}

}  // namespace veloran
