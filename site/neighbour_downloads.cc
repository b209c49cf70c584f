#include "site/neighbour_downloads.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "cgi/output.h"
#include "site/export_text.h"
#include "site/star_table.h"
#include "site/web_request.h"
#include "text/html_text.h"

namespace veloran {

namespace {

struct FormatName {
  DownloadFormat format;
  const char* name;
  const char* contentType;
  const char* extension;
};

constexpr FormatName kFormatNames[] = {
    // RFC 4180's type, with its parameters.
    {DownloadFormat::kCsv, "csv", "text/csv; charset=utf-8; header=present",
     "csv"},
    {DownloadFormat::kJson, "json", "application/json", "json"},
    {DownloadFormat::kVoTable, "votable", "application/x-votable+xml", "vot"},
};

const FormatName& NameOf(DownloadFormat format) {
  for (const FormatName& entry : kFormatNames) {
    if (entry.format == format) return entry;
  }
  return kFormatNames[0];
}

// The columns of every download, in this order.
constexpr StarColumn kDownloadColumns[] = {
    StarColumn::kRank,
    StarColumn::kId,
    StarColumn::kHip,
    StarColumn::kName,
    StarColumn::kCentreDistance,
    StarColumn::kCentreDistanceError,
    StarColumn::kDistance,
    StarColumn::kDistanceError,
    StarColumn::kRa,
    StarColumn::kDec,
    StarColumn::kEpoch,
    StarColumn::kPmRa,
    StarColumn::kPmDec,
    StarColumn::kGalacticX,
    StarColumn::kGalacticY,
    StarColumn::kGalacticZ,
    StarColumn::kSpectralClass,
    StarColumn::kLuminosityClass,
    StarColumn::kVMag,
    StarColumn::kCentreVMag,
    StarColumn::kColourIndex,
    StarColumn::kParallax,
    StarColumn::kParallaxError,
    StarColumn::kDistanceSource,
    StarColumn::kDoubtfulDistance,
    StarColumn::kConstellation,
    StarColumn::kEntryPage,
};
constexpr size_t kColumnCount = std::size(kDownloadColumns);

int RankOf(const DownloadList& list, int star) {
  return list.ranks != nullptr ? list.ranks[star] : list.firstRank + star;
}

StarRow RowOf(const DownloadList& list, int star) {
  return NeighbourRow(list.stars[star], RankOf(list, star), list.centre);
}

// The plain text of the description as UTF-8: a few dozen windows-1252
// characters, cut where it would not fit.
struct Description {
  explicit Description(const char* text) {
    char cut[256];
    std::snprintf(cut, sizeof(cut), "%s", text != nullptr ? text : "");
    HtmlFragmentToUtf8(cut, utf8, sizeof(utf8));
  }
  char utf8[Utf8SizeOf1252(255) + 1];
};

int LastRank(const DownloadList& list) {
  return list.count > 0 ? list.firstRank + list.count - 1 : 0;
}

// Whether the list is less than the whole result.
bool IsCut(const DownloadList& list) { return list.count < list.matchCount; }

const char* QueryStatus(const DownloadList& list) {
  return IsCut(list) ? "OVERFLOW" : "OK";
}

void WriteHeader(DownloadFormat format, const DownloadList& list) {
  const FormatName& name = NameOf(format);
  std::printf("Content-type: %s\n", name.contentType);
  WriteCorsHeaders();
  std::printf("Veloran-Query-Status: %s\n", QueryStatus(list));
  if (list.count > 0) {
    std::printf(
        "Content-Disposition: attachment; "
        "filename=\"neighbours-%d-%d.%s\"\n\n",
        list.firstRank, LastRank(list), name.extension);
  } else {
    std::printf(
        "Content-Disposition: attachment; filename=\"neighbours.%s\"\n\n",
        name.extension);
  }
}

// RFC 4180: a header row, then one record a star.
void WriteCsv(const DownloadList& list) {
  WriteCsvHeader(kDownloadColumns, kColumnCount);
  for (int star = 0; star < list.count; ++star) {
    WriteCsvRow(kDownloadColumns, kColumnCount, RowOf(list, star));
  }
}

// One object: the search, the ranks, and the stars, one object a line with
// every column (null where the value is).
void WriteJson(const DownloadList& list) {
  Description description(list.description);
  WriteText("{\"description\": ");
  WriteJsonString(description.utf8);
  char data[kDataDescriptionSize];
  FormatDataDescription(list.provenance, data);
  WriteText(",\n\"data\": ");
  WriteJsonString(data);
  WriteText(",\n\"columns\": [");
  for (size_t i = 0; i < kColumnCount; ++i) {
    const StarColumnInfo& info = ColumnInfo(kDownloadColumns[i]);
    WriteText(i > 0 ? ",\n{\"name\": " : "\n{\"name\": ");
    WriteJsonString(info.name);
    WriteText(", \"unit\": ");
    if (info.unit != nullptr) {
      WriteJsonString(info.unit);
    } else {
      WriteText("null");
    }
    WriteText(", \"ucd\": ");
    WriteJsonString(info.ucd);
    WriteText(", \"description\": ");
    WriteJsonString(info.description);
    WriteText("}");
  }
  WriteText("\n]");
  std::printf(
      ",\n\"first_rank\": %d,\n\"last_rank\": %d,\n\"match_count\": %d,\n"
      "\"query_status\": \"%s\",\n\"stars\": [",
      list.firstRank, LastRank(list), list.matchCount, QueryStatus(list));
  char value[kStarValueSize];
  for (int star = 0; star < list.count; ++star) {
    StarRow row = RowOf(list, star);
    WriteText(star > 0 ? ",\n{" : "\n{");
    for (size_t i = 0; i < kColumnCount; ++i) {
      std::printf("%s\"%s\": ", i > 0 ? ", " : "",
                  ColumnInfo(kDownloadColumns[i]).name);
      if (!FormatStarValue(kDownloadColumns[i], row, value)) {
        WriteText("null");
      } else if (IsTextColumn(kDownloadColumns[i])) {
        WriteJsonString(value);
      } else {
        WriteText(value);
      }
    }
    WriteText("}");
  }
  WriteText("\n]}\n");
}

// A VOTable 1.4 with one table, its columns described by UCD1+ and units.
void WriteVoTableStart() {
  WriteText(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<VOTABLE version=\"1.4\" xmlns=\"http://www.ivoa.net/xml/VOTable/v1.3\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"http://www.ivoa.net/xml/VOTable/v1.3 "
      "http://www.ivoa.net/xml/VOTable/VOTable-1.4.xsd\">\n");
}

void WriteVoTable(const DownloadList& list) {
  Description description(list.description);
  WriteVoTableStart();
  WriteText("<DESCRIPTION>");
  WriteXmlText(description.utf8);
  char data[kDataDescriptionSize];
  FormatDataDescription(list.provenance, data);
  WriteText(
      "</DESCRIPTION>\n"
      "<RESOURCE type=\"results\">\n<DESCRIPTION>");
  WriteXmlText(data);
  WriteText("</DESCRIPTION>\n");
  if (IsCut(list)) {
    std::printf(
        "<INFO name=\"QUERY_STATUS\" value=\"OVERFLOW\">Stars %d to %d of "
        "the %d that the search found</INFO>\n",
        list.count > 0 ? list.firstRank : 0, LastRank(list), list.matchCount);
  } else {
    WriteText("<INFO name=\"QUERY_STATUS\" value=\"OK\"/>\n");
  }
  WriteText(AllAtJ2000(list.stars, list.count)
                ? "<COOSYS ID=\"system\" system=\"ICRS\" epoch=\"J2000\"/>\n"
                : "<COOSYS ID=\"system\" system=\"ICRS\"/>\n");
  WriteText("<TABLE name=\"neighbours\">\n");
  std::printf(
      "<DESCRIPTION>Stars %d to %d of the %d that the search found, nearest "
      "first</DESCRIPTION>\n"
      "<PARAM name=\"first_rank\" datatype=\"int\" ucd=\"meta.number\" "
      "value=\"%d\"/>\n"
      "<PARAM name=\"match_count\" datatype=\"int\" ucd=\"meta.number\" "
      "value=\"%d\"/>\n",
      list.count > 0 ? list.firstRank : 0, LastRank(list), list.matchCount,
      list.firstRank, list.matchCount);
  WriteVoTableFields(kDownloadColumns, kColumnCount, UcdSet::kUcd1Plus,
                     "system");
  WriteText("<DATA><TABLEDATA>\n");
  for (int star = 0; star < list.count; ++star) {
    WriteVoTableRow(kDownloadColumns, kColumnCount, UcdSet::kUcd1Plus,
                    RowOf(list, star));
  }
  WriteText("</TABLEDATA></DATA>\n</TABLE>\n</RESOURCE>\n</VOTABLE>\n");
}

}  // namespace

bool ReadDownloadFormat(const char* value, DownloadFormat* format) {
  for (const FormatName& entry : kFormatNames) {
    if (std::strcmp(value, entry.name) == 0) {
      *format = entry.format;
      return true;
    }
  }
  return false;
}

void WriteNeighbourDownload(DownloadFormat format, const DownloadList& list) {
  WriteHeader(format, list);
  switch (format) {
    case DownloadFormat::kCsv:
      WriteCsv(list);
      return;
    case DownloadFormat::kJson:
      WriteJson(list);
      return;
    case DownloadFormat::kVoTable:
      WriteVoTable(list);
      return;
  }
}

void WriteDownloadError(DownloadFormat format, HttpStatus status,
                        const char* message) {
  Description text(message);
  WriteStatusLine(status);
  std::printf("Content-type: %s\n", NameOf(format).contentType);
  WriteCorsHeaders();
  WriteLine("Veloran-Query-Status: ERROR");
  WriteLine("");
  switch (format) {
    case DownloadFormat::kCsv:
      WriteText("error\r\n");
      WriteCsvText(text.utf8);
      WriteText("\r\n");
      return;
    case DownloadFormat::kJson:
      WriteText("{\"query_status\": \"ERROR\", \"error\": ");
      WriteJsonString(text.utf8);
      WriteText("}\n");
      return;
    case DownloadFormat::kVoTable:
      WriteVoTableStart();
      WriteText(
          "<RESOURCE type=\"results\">\n"
          "<INFO name=\"QUERY_STATUS\" value=\"ERROR\">");
      WriteXmlText(text.utf8);
      WriteText("</INFO>\n</RESOURCE>\n</VOTABLE>\n");
      return;
  }
}

}  // namespace veloran
