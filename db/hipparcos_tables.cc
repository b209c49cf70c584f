#include "db/hipparcos_tables.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "db/star_text.h"

namespace veloran {

namespace {

// Calls "body(line, lineNumber)" for every line of "text", without its
// "\n" (and a "\r" before it); a final "\n" ends the last line rather than
// starting another.  Stops at the first line for which "body" returns
// false, and returns what it returned.
template <typename Body>
bool ForEachLine(std::string_view text, Body body) {
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!body(line, ++number)) return false;
    start = end + 1;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

bool IsCommentOrBlank(std::string_view line) {
  std::string_view trimmed = Trim(line);
  return trimmed.empty() || trimmed.front() == '#';
}

// Reads a Hipparcos number, surrounded by spaces at most, into *hip.
// Returns false unless it is a decimal number of 1 .. 2^24 - 1.
bool ParseHip(std::string_view text, uint32_t* hip) {
  text = Trim(text);
  if (text.empty() || text.size() > 8) return false;
  uint32_t value = 0;
  auto [end, status] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (status != std::errc() || end != text.data() + text.size()) return false;
  if (value == 0 || value > 0xFFFFFF) return false;
  *hip = value;
  return true;
}

bool LineError(int line, const char* fault, std::string* error) {
  *error = "line " + std::to_string(line) + ": " + fault;
  return false;
}

// Appends "name" to "names" unless it is there already.
void AddOnce(std::vector<std::string>* names, std::string name) {
  if (std::find(names->begin(), names->end(), name) == names->end()) {
    names->push_back(std::move(name));
  }
}

// Lines of "HIP|rest" (name.fab, star_names.fab): the number and the rest.
bool SplitHipLine(std::string_view line, uint32_t* hip,
                  std::string_view* rest) {
  size_t bar = line.find('|');
  if (bar == std::string_view::npos || !ParseHip(line.substr(0, bar), hip)) {
    return false;
  }
  *rest = line.substr(bar + 1);
  return true;
}

bool ParseTable(std::string_view text, std::vector<std::string>* lines,
                std::string* error) {
  lines->clear();
  return ForEachLine(text, [&](std::string_view line, int number) {
    std::string html;
    if (!HtmlFromUtf8(Trim(line), &html))
      return LineError(number, "not UTF-8", error);
    lines->push_back(std::move(html));
    return true;
  });
}

// Reads the lines "HIP<TAB>name" of a table of further designations into
// *names, each name after "prefix"; a line with an empty name is passed
// over.  "what" names the fields in a fault.
bool ParseHipNameTable(
    std::string_view text, const char* what, const char* prefix,
    std::unordered_map<uint32_t, std::vector<std::string>>* names,
    std::string* error) {
  return ForEachLine(text, [&](std::string_view line, int number) {
    if (IsCommentOrBlank(line)) return true;
    std::vector<std::string_view> fields = SplitTabs(line);
    uint32_t hip;
    if (fields.size() < 2 || !ParseHip(fields[0], &hip)) {
      return LineError(number, what, error);
    }
    std::string_view name = Trim(fields[1]);
    if (name.empty()) return true;
    std::string html;
    if (!HtmlFromUtf8(name, &html))
      return LineError(number, "not UTF-8", error);
    AddOnce(&(*names)[hip], prefix + html);
    return true;
  });
}

}  // namespace

bool ParseSpectralTypes(std::string_view text, HipparcosTables* tables,
                        std::string* error) {
  tables->spectralTypes.clear();
  return ForEachLine(text, [&](std::string_view line, int number) {
    SpectralSplit split = SplitSpectralType(Trim(line));
    if (!HtmlFromUtf8(std::string(split.spectralClass), &split.spectralClass) ||
        !HtmlFromUtf8(std::string(split.luminosityClass),
                      &split.luminosityClass)) {
      return LineError(number, "not UTF-8", error);
    }
    tables->spectralTypes.push_back(std::move(split));
    return true;
  });
}

bool ParseComponentLetters(std::string_view text, HipparcosTables* tables,
                           std::string* error) {
  return ParseTable(text, &tables->componentLetters, error);
}

bool ParseCrossIds(std::string_view text, HipparcosTables* tables,
                   std::string* error) {
  return ForEachLine(text, [&](std::string_view line, int number) {
    if (IsCommentOrBlank(line)) return true;
    std::vector<std::string_view> fields = SplitTabs(line);
    uint32_t hip;
    if (fields.size() != 5) {
      return LineError(
          number, "not the five fields HIP, component, SAO, HD, HR", error);
    }
    if (!ParseHip(fields[0], &hip))
      return LineError(number, "no HIP number", error);
    CrossIdentification row;
    if (!HtmlFromUtf8(Trim(fields[1]), &row.component) ||
        !HtmlFromUtf8(Trim(fields[2]), &row.sao) ||
        !HtmlFromUtf8(Trim(fields[3]), &row.hd) ||
        !HtmlFromUtf8(Trim(fields[4]), &row.hr)) {
      return LineError(number, "not UTF-8", error);
    }
    tables->crossIds[hip].push_back(std::move(row));
    return true;
  });
}

bool ParseParallaxErrors(std::string_view text, HipparcosTables* tables,
                         std::string* error) {
  return ForEachLine(text, [&](std::string_view line, int number) {
    if (IsCommentOrBlank(line)) return true;
    std::vector<std::string_view> fields = SplitTabs(line);
    uint32_t hip;
    if (fields.size() != 2 || !ParseHip(fields[0], &hip)) {
      return LineError(number, "not HIP and parallax error", error);
    }
    std::string_view value = Trim(fields[1]);
    double mas;
    auto [end, status] =
        std::from_chars(value.data(), value.data() + value.size(), mas);
    if (value.empty() || status != std::errc() ||
        end != value.data() + value.size() || !(mas >= 0.0)) {
      return LineError(
          number, "the parallax error is not a number of 0 or more", error);
    }
    size_t point = value.find('.');
    bool fromGaia =
        point != std::string_view::npos && value.size() - point - 1 == 4;
    tables->parallaxErrors[hip] = {mas, fromGaia};
    return true;
  });
}

namespace {

// Reads the whole of "text" as a finite number into *value.
bool ReadNumber(std::string_view text, double* value) {
  auto [end, status] =
      std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && status == std::errc() &&
         end == text.data() + text.size() && std::isfinite(*value);
}

}  // namespace

bool ParseProperMotions(std::string_view text, HipparcosTables* tables,
                        std::string* error) {
  return ForEachLine(text, [&](std::string_view line, int number) {
    if (IsCommentOrBlank(line)) return true;
    std::vector<std::string_view> fields = SplitTabs(line);
    uint32_t hip;
    ProperMotion motion;
    if (fields.size() != 3 || !ParseHip(fields[0], &hip) ||
        !ReadNumber(Trim(fields[1]), &motion.raCosDec) ||
        !ReadNumber(Trim(fields[2]), &motion.dec)) {
      return LineError(number, "not HIP and two proper motions", error);
    }
    tables->properMotions[hip] = motion;
    return true;
  });
}

bool ParseCheckedEpochs(std::string_view text, HipparcosTables* tables,
                        std::string* error) {
  return ForEachLine(text, [&](std::string_view line, int number) {
    if (IsCommentOrBlank(line)) return true;
    size_t bar = line.find('|');
    double epoch;
    if (bar == std::string_view::npos ||
        !ReadNumber(line.substr(bar + 1), &epoch) || epoch < 1900 ||
        epoch > 2100) {
      return LineError(number, "not HIP|epoch", error);
    }
    std::string_view record = line.substr(0, bar);
    std::string_view hip = record.substr(0, record.find(' '));
    uint32_t parsed;
    std::string_view letter =
        hip.size() < record.size() ? record.substr(hip.size() + 1) : "";
    if (!ParseHip(hip, &parsed) || letter.find(' ') != std::string_view::npos) {
      return LineError(number, "not HIP or HIP and a component letter", error);
    }
    if (!tables->checkedEpochs.emplace(std::string(record), epoch).second) {
      return LineError(number, "a record listed twice", error);
    }
    return true;
  });
}

bool ParseDesignations(std::string_view text, HipparcosTables* tables,
                       std::string* error) {
  return ForEachLine(text, [&](std::string_view line, int number) {
    if (IsCommentOrBlank(line)) return true;
    uint32_t hip;
    std::string_view rest;
    if (!SplitHipLine(line, &hip, &rest)) {
      return LineError(number, "not HIP|designation", error);
    }
    std::string html;
    rest = Trim(rest);
    if (rest.empty()) return LineError(number, "an empty designation", error);
    if (!DesignationFromUtf8(rest, &html))
      return LineError(number, "not UTF-8", error);
    AddOnce(&tables->designations[hip], std::move(html));
    return true;
  });
}

bool ParseVariableNames(std::string_view text, HipparcosTables* tables,
                        std::string* error) {
  return ParseHipNameTable(text, "not HIP and a variable-star name", "",
                           &tables->variableNames, error);
}

bool ParseDoubleStarNames(std::string_view text, HipparcosTables* tables,
                          std::string* error) {
  return ParseHipNameTable(text, "not HIP and a WDS number", "J",
                           &tables->doubleStarNames, error);
}

bool ParseNameReferences(std::string_view text, HipparcosTables* tables,
                         std::string* error) {
  bool read = ForEachLine(text, [&](std::string_view line, int number) {
    if (IsCommentOrBlank(line)) return true;
    size_t bar = line.find('|');
    size_t lastBar = line.rfind('|');
    std::string_view digits = Trim(line.substr(0, bar));
    int reference = 0;
    auto [end, status] = std::from_chars(
        digits.data(), digits.data() + digits.size(), reference);
    if (bar == lastBar || digits.empty() || status != std::errc() ||
        end != digits.data() + digits.size()) {
      return LineError(number, "not number|description|address", error);
    }
    std::string_view address = Trim(line.substr(lastBar + 1));
    for (std::string_view scheme : {"http://", "https://"}) {
      if (address.starts_with(scheme)) address.remove_prefix(scheme.size());
    }
    std::string_view host = address.substr(0, address.find('/'));
    if (host == "iau.org" || host.ends_with(".iau.org")) {
      tables->iauReferences.push_back(reference);
    }
    return true;
  });
  if (read && tables->iauReferences.empty()) {
    *error = "no reference at iau.org, so no name can be told IAU-approved";
    return false;
  }
  return read;
}

bool ParseProperNames(std::string_view text, HipparcosTables* tables,
                      std::string* error) {
  std::unordered_map<std::string, uint32_t> iauNames;  // name -> its star
  bool read = ForEachLine(text, [&](std::string_view line, int number) {
    if (IsCommentOrBlank(line)) return true;
    uint32_t hip;
    std::string_view rest;
    if (!SplitHipLine(line, &hip, &rest)) {
      return LineError(number, "not HIP|_(\"name\")", error);
    }
    size_t open = rest.find("_(\"");
    size_t close =
        open == std::string_view::npos ? open : rest.find("\")", open + 3);
    if (close == std::string_view::npos) {
      return LineError(number, "no name between _(\" and \")", error);
    }
    std::string_view name = Trim(rest.substr(open + 3, close - open - 3));
    if (name.empty()) return LineError(number, "an empty name", error);
    ProperName proper{"", 0, false};
    if (!HtmlFromUtf8(name, &proper.html))
      return LineError(number, "not UTF-8", error);
    // The references: numbers separated by commas.
    std::string_view references = Trim(rest.substr(close + 2));
    while (!references.empty()) {
      size_t comma = references.find(',');
      std::string_view digits = Trim(references.substr(0, comma));
      int reference = 0;
      auto [end, status] = std::from_chars(
          digits.data(), digits.data() + digits.size(), reference);
      if (digits.empty() || status != std::errc() ||
          end != digits.data() + digits.size()) {
        return LineError(number, "references that are not numbers", error);
      }
      ++proper.references;
      if (std::find(tables->iauReferences.begin(), tables->iauReferences.end(),
                    reference) != tables->iauReferences.end()) {
        proper.iau = true;
      }
      references = comma == std::string_view::npos
                       ? std::string_view()
                       : references.substr(comma + 1);
    }
    if (proper.iau) iauNames[proper.html] = hip;
    std::vector<ProperName>& names = tables->properNames[hip];
    auto same = [&](const ProperName& p) { return p.html == proper.html; };
    auto found = std::find_if(names.begin(), names.end(), same);
    if (found == names.end()) {
      names.push_back(std::move(proper));
    } else {
      found->iau = found->iau || proper.iau;
      found->references = std::max(found->references, proper.references);
    }
    return true;
  });
  if (!read) return false;
  // An IAU name is the name of its own star only.
  for (auto& [hip, names] : tables->properNames) {
    std::erase_if(names, [&, hip = hip](const ProperName& name) {
      auto owner = iauNames.find(name.html);
      return owner != iauNames.end() && owner->second != hip;
    });
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* content,
                   std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    *error = path + ": read error";
    return false;
  }
  *content = std::move(text).str();
  return true;
}

bool ReadHipparcosTables(const std::string& dataDir, HipparcosTables* tables,
                         std::string* error) {
  using Parser = bool (*)(std::string_view, HipparcosTables*, std::string*);
  static constexpr struct {
    const char* file;
    Parser parse;
  } kFiles[] = {
      {kSpectralTypesFile, ParseSpectralTypes},
      {kComponentsFile, ParseComponentLetters},
      {kCrossIdFile, ParseCrossIds},
      {kParallaxErrorFile, ParseParallaxErrors},
      {kProperMotionFile, ParseProperMotions},
      {kDesignationFile, ParseDesignations},
      {kVariableStarFile, ParseVariableNames},
      {kDoubleStarFile, ParseDoubleStarNames},
      {kNameReferenceFile, ParseNameReferences},
      {kProperNameFile, ParseProperNames},
  };
  for (const auto& entry : kFiles) {
    std::string path = dataDir + "/" + entry.file;
    std::string content;
    if (!ReadWholeFile(path, &content, error)) return false;
    std::string fault;
    if (!entry.parse(content, tables, &fault)) {
      *error = path + ": " + fault;
      return false;
    }
  }
  // The constellations as the designations spell them ("9 CMa" gives CMa
  // for the boundaries' CMA).
  std::map<std::string, std::string> spelling;
  for (const auto& [hip, designations] : tables->designations) {
    for (const std::string& designation : designations) {
      size_t space = designation.find(' ');
      if (space == std::string::npos) continue;
      std::string abbreviation = designation.substr(space + 1);
      abbreviation = abbreviation.substr(0, abbreviation.find(' '));
      std::string upper = abbreviation;
      for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      spelling.emplace(upper, abbreviation);
    }
  }
  std::string path = dataDir + "/" + kBoundaryFile;
  std::string content;
  std::string fault;
  if (!ReadWholeFile(path, &content, error)) return false;
  if (!ParseConstellationBoundaries(content, spelling, &tables->boundaries,
                                    &fault)) {
    *error = path + ": " + fault;
    return false;
  }
  if (tables->componentLetters.empty() ||
      !tables->componentLetters[0].empty()) {
    *error = dataDir + "/" + kComponentsFile +
             ": the first line, for records without a component, is not empty";
    return false;
  }
  return true;
}

}  // namespace veloran
