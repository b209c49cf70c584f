// The map of a neighbour search with names of any bytes: whatever a name
// holds, the text of every title and text element of the picture is text
// alone (no tag and no ampersand that begins no whole reference), and the
// picture ends once, so that no name can end it or change its markup.  The
// first byte chooses the plane, the search's radius and how the stars lie; the
// rest is the names, split at byte 1.

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "site/neighbour_map.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

int replyFd = -1;

std::string TakeReply() {
  std::fflush(stdout);
  off_t size = lseek(replyFd, 0, SEEK_END);
  std::string text(static_cast<size_t>(size), '\0');
  if (pread(replyFd, text.data(), text.size(), 0) != size) std::abort();
  if (ftruncate(replyFd, 0) != 0 || lseek(replyFd, 0, SEEK_SET) != 0) {
    std::abort();
  }
  return text;
}

// Whether "text" (an element's content or nothing but text) holds only
// characters and complete character references.
bool IsPlainText(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '<' || c == '>') return false;
    if (c != '&') continue;
    size_t end = text.find(';', i);
    if (end == std::string::npos || end == i + 1) return false;
    for (size_t j = i + 1; j < end; ++j) {
      char r = text[j];
      bool allowed = std::isalnum(static_cast<unsigned char>(r)) ||
                     (j == i + 1 && r == '#');
      if (!allowed) return false;
    }
  }
  return true;
}

// Checks the content of every element "name" of "svg".
void CheckElements(const std::string& svg, const std::string& name) {
  const std::string open = "<" + name;
  const std::string close = "</" + name + ">";
  for (size_t at = svg.find(open); at != std::string::npos;
       at = svg.find(open, at + 1)) {
    char next = svg[at + open.size()];
    if (next != '>' && next != ' ') continue;  // <textPath>, say
    size_t start = svg.find('>', at) + 1;
    size_t end = svg.find(close, start);
    if (end == std::string::npos) {
      std::fprintf(stderr, "neighbour_map_fuzzer: <%s> not closed\n",
                   name.c_str());
      std::abort();
    }
    if (!IsPlainText(svg.substr(start, end - start))) {
      std::fprintf(stderr, "neighbour_map_fuzzer: markup in <%s>: %s\n",
                   name.c_str(), svg.substr(start, end - start).c_str());
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char path[] = "/tmp/neighbour_map_fuzzer.XXXXXX";
  replyFd = mkstemp(path);
  if (replyFd < 0) std::abort();
  unlink(path);
  if (dup2(replyFd, STDOUT_FILENO) < 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  using veloran::ListedStar;
  if (size == 0) return 0;
  const unsigned char choice = data[0];
  std::string names = veloran::fuzzing::InputText(data + 1, size - 1);
  const veloran::MapPlane planes[] = {
      veloran::MapPlane::kGalacticXY, veloran::MapPlane::kGalacticXZ,
      veloran::MapPlane::kGalacticYZ, veloran::MapPlane::kSky};
  const double radii[] = {20, 2, 1e6, INFINITY};
  static ListedStar stars[8];
  int count = 0;
  size_t at = 0;
  while (count < 8 && at <= names.size()) {
    size_t end = names.find('\1', at);
    if (end == std::string::npos) end = names.size();
    ListedStar& star = stars[count];
    star = ListedStar{};
    // Close together or spread, by the choice.
    double spread = (choice & 0x10) ? 0.01 : 2.5;
    star.match = {100 * (count + 1),
                  spread * (count + 1),
                  {spread * count, -spread * count / 2, spread},
                  1.5 * count,
                  -80.0 + 20 * count,
                  count};
    star.hasName = end > at;
    std::snprintf(star.name, sizeof(star.name), "%s",
                  names.substr(at, end - at).c_str());
    ++count;
    at = end + 1;
  }
  veloran::MapFrame frame{
      {0, 0, 1},
      radii[(choice >> 2) & 3],
      planes[choice & 3],
      count > 0 && (choice & 0x20) ? stars[0].name : nullptr};
  veloran::WriteNeighbourMap(stars, count, frame);
  std::string svg = TakeReply();
  size_t end = svg.find("</svg>\n");
  if (svg.compare(0, 5, "<svg ") != 0 || end == std::string::npos ||
      svg.find("</svg>", end + 1) != std::string::npos) {
    std::fprintf(stderr, "neighbour_map_fuzzer: not one picture\n");
    std::abort();
  }
  svg.resize(end);
  CheckElements(svg, "title");
  CheckElements(svg, "text");
  return 0;
}
