#ifndef VELORAN_SITE_NEIGHBOUR_DOWNLOADS_H_
#define VELORAN_SITE_NEIGHBOUR_DOWNLOADS_H_

#include "site/listed_star.h"

// The list of a neighbour search as a file to download: CSV or JSON in
// UTF-8, or a VOTable.

namespace veloran {

enum class DownloadFormat { kCsv, kJson, kVoTable };

// The format named by a "format" parameter: "csv", "json" or "votable".
// False for any other text.
bool ReadDownloadFormat(const char* value, DownloadFormat* format);

// What the list is: its ranks in the whole ranking and a description of
// the search ("Stars within 20 light-years of Sol"; plain text in
// windows-1252).
struct DownloadList {
  const ListedStar* stars;
  int count;
  int firstRank;     // of stars[0], counting from 1
  int matchCount;    // of the whole ranking
  const char* description;
};

// Writes the whole reply: its header (the content type, and a file name
// to save it under) and the list in "format".
void WriteNeighbourDownload(DownloadFormat format, const DownloadList& list);

}  // namespace veloran

#endif  // VELORAN_SITE_NEIGHBOUR_DOWNLOADS_H_
