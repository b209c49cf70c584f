#include "site/neighbour_downloads.h"

#include <cstring>

#include "cgi/output.h"

namespace veloran {

namespace {

struct FormatName {
  DownloadFormat format;
  const char* name;
};

constexpr FormatName kFormatNames[] = {
    {DownloadFormat::kCsv, "csv"},
    {DownloadFormat::kJson, "json"},
    {DownloadFormat::kVoTable, "votable"},
};

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
  // To be written.
  (void)format;
  (void)list;
  WriteText("Content-Type: text/plain\n\n");
}

}  // namespace veloran
