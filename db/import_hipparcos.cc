// Imports the Hipparcos stars of an unpacked stellarium-data package into a
// new Veloran database.
// Usage: import_hipparcos --data DIR --out FILE [--extension SO]
//                         [--designations PSV] [--epochs PSV]
//                         [--package NAME] [--date YYYY-MM-DD] [--quiet]
// DIR is the package's usr/share/stellarium; --designations the names of
// the nearby stars (db/nearby_designations.psv, the default), --epochs the
// checked epochs of the positions (db/position_epochs.psv, the default),
// each "" for none; NAME the package as the provenance names it
// ("stellarium-data 0.22.2-1"; "stellarium-data" by default).  Progress
// goes to standard error, and so does each line of PSV refused, even with
// --quiet; the exit status is 0 on success and 1 on any failure, which
// leaves FILE as it was.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "db/hipparcos_import.h"

namespace {

constexpr char kUsage[] =
    "usage: import_hipparcos --data DIR --out FILE [--extension SO] "
    "[--designations PSV] [--epochs PSV] [--package NAME] "
    "[--date YYYY-MM-DD] [--quiet]\n"
    "  DIR: the usr/share/stellarium directory of the stellarium-data "
    "package\n";

bool IsDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i != 4 && i != 7 && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

std::string Today() {
  std::time_t now = std::time(nullptr);
  std::tm utc;
  gmtime_r(&now, &utc);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  veloran::ImportOptions options;
  options.extensionPath = VELORAN_DIALECT_PATH;
  options.designationsPath = VELORAN_DESIGNATIONS_PATH;
  options.epochsPath = VELORAN_EPOCHS_PATH;
  options.progress = stderr;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--quiet") {
      options.progress = nullptr;
    } else if (arg == "--data" && hasValue) {
      options.dataDir = argv[++i];
    } else if (arg == "--out" && hasValue) {
      options.outputPath = argv[++i];
    } else if (arg == "--extension" && hasValue) {
      options.extensionPath = argv[++i];
    } else if (arg == "--designations" && hasValue) {
      options.designationsPath = argv[++i];
    } else if (arg == "--epochs" && hasValue) {
      options.epochsPath = argv[++i];
    } else if (arg == "--package" && hasValue) {
      options.package = argv[++i];
    } else if (arg == "--date" && hasValue) {
      options.date = argv[++i];
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (options.dataDir.empty() || options.outputPath.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (options.date.empty()) options.date = Today();
  if (!IsDate(options.date)) {
    std::fprintf(stderr, "import_hipparcos: --date %s is not YYYY-MM-DD\n",
                 options.date.c_str());
    return 2;
  }

  auto start = std::chrono::steady_clock::now();
  veloran::ImportCounts counts;
  std::string error;
  bool imported = veloran::ImportHipparcos(options, &counts, &error);
  for (const std::string& refusal : counts.refusals) {
    std::fprintf(stderr, "import_hipparcos: refused: %s\n", refusal.c_str());
  }
  if (!imported) {
    std::fprintf(stderr, "import_hipparcos: %s\n", error.c_str());
    return 1;
  }
  std::chrono::duration<double> seconds =
      std::chrono::steady_clock::now() - start;
  if (options.progress != nullptr) {
    std::fprintf(options.progress,
                 "%s: %llu stars and the Sun, %llu spectra, %llu proper names, "
                 "%llu catalogue numbers (%.1f s)\n",
                 options.outputPath.c_str(),
                 static_cast<unsigned long long>(counts.stars),
                 static_cast<unsigned long long>(counts.spectra),
                 static_cast<unsigned long long>(counts.properNames),
                 static_cast<unsigned long long>(counts.catalogNumbers),
                 seconds.count());
  }
  return 0;
}
