#include "site/database_check.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

#include "catalogue/read_fault.h"
#include "catalogue/statements.h"
#include "site/page_reads.h"

namespace veloran {

namespace {

// A driver that fails this many fetches of keys in a row is taken to be
// stuck on one row: the rest of the table is not listed.
constexpr int kStuckFetches = 100;

// A long table says how far it has come this often.
constexpr std::chrono::seconds kProgressInterval{5};

// The row of a fault as a line names it: "OwnerID 101", "Key \"sirius\"",
// "the row listed after OwnerID 101" when the key itself could not be
// read (the listing's order, not necessarily the table's).
struct RowName {
  char text[kNameKeySize + 48];
};

// A key's text with control bytes shown as "?": it is written on a
// terminal.
void NameKey(const PageRead& read, const RowKey& key, const char* before,
             RowName* name) {
  if (read.keyType == SQL_C_LONG) {
    std::snprintf(name->text, sizeof(name->text), "%sOwnerID %" PRId32, before,
                  key.ownerId);
    return;
  }
  char shown[kNameKeySize];
  size_t length = 0;
  for (const char* c = key.text; *c != '\0' && length + 1 < sizeof(shown);
       ++c) {
    shown[length++] =
        static_cast<unsigned char>(*c) < 0x20 || *c == 0x7f ? '?' : *c;
  }
  shown[length] = '\0';
  std::snprintf(name->text, sizeof(name->text), "%sKey \"%s\"", before, shown);
}

class FaultReport {
 public:
  FaultReport(FILE* report, RowCheckCounts* counts)
      : report_(report), counts_(counts) {}

  // Counts a fault of "row" of "table" (nullptr: the table as a whole),
  // writes its line while no more than kReportedFaults have been written:
  // the kept read fault, or "otherwise" when nothing was kept.  The read
  // fault is then forgotten.
  void Add(const char* table, const char* row, const char* otherwise) {
    if (++counts_->faults <= kReportedFaults) {
      char what[sizeof(RowName) + 160];
      const char* column = ReadFaultColumn();
      int written = std::snprintf(what, sizeof(what), "%s", table);
      if (row != nullptr) {
        written += std::snprintf(what + written, sizeof(what) - written,
                                 ", %s", row);
      }
      if (column[0] != '\0') {
        std::snprintf(what + written, sizeof(what) - written, ", column %s",
                      column);
      }
      if (ReadFailed()) {
        WriteReadFault(report_, what);
      } else {
        std::fprintf(report_, "%s: %s\n", what, otherwise);
      }
    }
    ForgetReadFault();
  }

 private:
  FILE* report_;
  RowCheckCounts* counts_;
};

class Progress {
 public:
  explicit Progress(FILE* stream)
      : stream_(stream), last_(std::chrono::steady_clock::now()) {}

  // Every 1024 rows, whether it is time to say how far "table" has come.
  void Row(const char* table, int64_t rows) {
    if (stream_ == nullptr || rows % 1024 != 0) return;
    auto now = std::chrono::steady_clock::now();
    if (now - last_ < kProgressInterval) return;
    last_ = now;
    std::fprintf(stream_, "veloran-check-database: %s: %" PRId64
                          " rows so far\n", table, rows);
  }

  void Whole(const char* table, bool read) {
    last_ = std::chrono::steady_clock::now();
    if (stream_ == nullptr) return;
    std::fprintf(stream_, "veloran-check-database: %s: %s\n", table,
                 read ? "read whole, as the pages load it"
                      : "could not be read");
  }

  void Table(const char* table, const char* state, int64_t rows,
             int64_t faults) {
    last_ = std::chrono::steady_clock::now();
    if (stream_ == nullptr) return;
    std::fprintf(stream_,
                 "veloran-check-database: %s: %s%" PRId64 " rows, %" PRId64
                 " could not be read\n",
                 table, state, rows, faults);
  }

 private:
  FILE* stream_;
  std::chrono::steady_clock::time_point last_;
};

// Reads the rows of "read", its keys listed on a handle of their own while
// each row is read on "statement".
void CheckTable(SQLHDBC connection, SQLHSTMT statement, const PageRead& read,
                FaultReport* faults, RowCheckCounts* counts,
                Progress* progress) {
  int64_t rowsBefore = counts->rows;
  int64_t faultsBefore = counts->faults;
  RowKey key{};
  if (read.keys == nullptr) {
    ++counts->rows;
    if (!read.read(statement, key)) {
      faults->Add(read.table, nullptr, "has no row to read");
    }
    progress->Whole(read.table, counts->faults == faultsBefore);
    return;
  }
  SQLHSTMT listing = SQL_NULL_HSTMT;
  if (SQLAllocStmt(connection, &listing) != SQL_SUCCESS) {
    faults->Add(read.table, nullptr, "no ODBC handle could be allocated");
    return;
  }
  SQLLEN indicator = 0;
  switch (ListKeys(listing, read, false, &key, &indicator)) {
    case KeyListing::kListed:
      break;
    case KeyListing::kAbsent:
      progress->Table(read.table, "absent (the pages do without it), ", 0, 0);
      SQLFreeStmt(listing, SQL_DROP);
      return;
    case KeyListing::kFailed:
      faults->Add(read.table, nullptr, "could not be read");
      SQLFreeStmt(listing, SQL_DROP);
      return;
  }
  bool any = false;
  int failedFetches = 0;
  RowName row;
  for (;;) {
    if (!NextKey(listing, read, &key, &indicator)) {
      if (!ReadFailed()) break;
      // The key itself does not convert: the row is named by the one
      // before, and the listing goes on where the driver lets it.
      ++counts->rows;
      if (any) {
        NameKey(read, key, "the row listed after ", &row);
      } else {
        std::snprintf(row.text, sizeof(row.text), "the first row");
      }
      faults->Add(read.table, row.text, "");
      if (++failedFetches == kStuckFetches) {
        char why[96];
        std::snprintf(why, sizeof(why),
                      "the driver failed %d fetches in a row; the rest of "
                      "the table was not read",
                      kStuckFetches);
        faults->Add(read.table, nullptr, why);
        break;
      }
      continue;
    }
    failedFetches = 0;
    any = true;
    ++counts->rows;
    progress->Row(read.table, counts->rows - rowsBefore);
    if (read.read == nullptr || read.read(statement, key)) continue;
    // A row that the page passes over (a name without a star), or a
    // statement answered with information, is no fault: the pages show
    // nothing for it.
    if (!ReadFailed()) continue;
    NameKey(read, key, "", &row);
    faults->Add(read.table, row.text, "");
  }
  SQLFreeStmt(listing, SQL_DROP);
  if (!any && !read.optional && counts->faults == faultsBefore) {
    faults->Add(read.table, nullptr, "has no row to read");
  }
  progress->Table(read.table, "", counts->rows - rowsBefore,
                  counts->faults - faultsBefore);
}

}  // namespace

RowCheckCounts CheckEveryRow(DatabaseHandles* handles, FILE* report,
                             FILE* progress) {
  RowCheckCounts counts;
  FaultReport faults(report, &counts);
  Progress tables(progress);
  for (const PageRead& read : PageReads()) {
    CheckTable(handles->connection, handles->statement, read, &faults, &counts,
               &tables);
  }
  return counts;
}

}  // namespace veloran
