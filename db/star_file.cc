#include "db/star_file.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

namespace veloran {

namespace {

uint32_t Word(std::string_view bytes, size_t offset) {
  auto byte = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i]));
  };
  return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

int32_t SignedWord(std::string_view bytes, size_t offset) {
  return static_cast<int32_t>(Word(bytes, offset));
}

__attribute__((format(printf, 1, 2))) std::string Format(const char* format,
                                                         ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

StarRecord ParseRecord(std::string_view bytes, size_t offset, uint32_t zone) {
  auto byte = [&](size_t i) {
    return static_cast<int>(static_cast<unsigned char>(bytes[offset + i]));
  };
  uint32_t first = Word(bytes, offset);
  StarRecord record;
  record.hip = first & 0xFFFFFF;
  record.component = static_cast<int>(first >> 24);
  record.x0 = SignedWord(bytes, offset + 4);
  record.x1 = SignedWord(bytes, offset + 8);
  record.colourIndex = byte(12);
  record.magnitude = byte(13);
  record.spectralIndex = byte(14) | byte(15) << 8;
  record.parallax = SignedWord(bytes, offset + 24);
  record.zone = zone;
  return record;
}

}  // namespace

bool ParseStarFile(std::string_view bytes, StarFile* file, std::string* error) {
  if (bytes.size() < kStarFileHeaderBytes) {
    *error = Format("only %zu bytes, less than the %d of the header",
                    bytes.size(), kStarFileHeaderBytes);
    return false;
  }
  uint32_t magic = Word(bytes, 0);
  if (magic != kStarFileMagic) {
    *error = magic == __builtin_bswap32(kStarFileMagic)
                 ? "a big-endian star file, which this importer does not read"
                 : Format("not a star file: magic 0x%08" PRIX32
                          " instead of 0x%08" PRIX32,
                          magic, kStarFileMagic);
    return false;
  }
  int32_t type = SignedWord(bytes, 4);
  int32_t major = SignedWord(bytes, 8);
  int32_t minor = SignedWord(bytes, 12);
  int32_t level = SignedWord(bytes, 16);
  if (type != 0) {
    *error = Format("records of type %" PRId32
                    ", which hold no Hipparcos numbers; type 0 expected",
                    type);
    return false;
  }
  if (major != 0 || minor != 8) {
    *error = Format("version %" PRId32 ".%" PRId32 "; version 0.8 expected",
                    major, minor);
    return false;
  }
  if (level < 0 || level > kMaxGridLevel) {
    *error = Format("level %" PRId32 " outside 0 .. %d", level, kMaxGridLevel);
    return false;
  }
  file->level = level;
  file->magMin = SignedWord(bytes, 20);
  file->magRange = SignedWord(bytes, 24);
  file->magSteps = SignedWord(bytes, 28);

  uint32_t zones = ZoneCount(level);
  uint64_t tableEnd = kStarFileHeaderBytes + 4ull * zones;
  if (bytes.size() < tableEnd) {
    *error = Format("%zu bytes, too short for the zone table of level %" PRId32
                    " (%" PRIu64 " bytes)",
                    bytes.size(), level, tableEnd);
    return false;
  }
  file->zoneCounts.resize(zones);
  uint64_t recordCount = 0;
  for (uint32_t z = 0; z < zones; ++z) {
    file->zoneCounts[z] = Word(bytes, kStarFileHeaderBytes + 4 * z);
    recordCount += file->zoneCounts[z];
  }
  uint64_t expected = tableEnd + kStarRecordBytes * recordCount;
  if (bytes.size() != expected) {
    *error = Format("%zu bytes, but the zone table counts %" PRIu64
                    " records, which take %" PRIu64 " bytes",
                    bytes.size(), recordCount, expected);
    return false;
  }

  BuildGeodesicGrid(level, &file->grid);
  file->records.clear();
  file->records.reserve(recordCount);
  size_t offset = tableEnd;
  for (uint32_t z = 0; z < zones; ++z) {
    for (uint32_t i = 0; i < file->zoneCounts[z]; ++i) {
      StarRecord record = ParseRecord(bytes, offset, z);
      if (!ZoneContains(file->grid.zones[z], StarDirection(*file, record))) {
        *error =
            Format("the record at offset %zu lies outside its zone %" PRIu32
                   " of level %" PRId32
                   ": the file does not follow this zone geometry",
                   offset, z, level);
        return false;
      }
      file->records.push_back(record);
      offset += kStarRecordBytes;
    }
  }
  return true;
}

Vector3 StarDirection(const StarFile& file, const StarRecord& record) {
  return ZonePoint(file.grid, record.zone, record.x0, record.x1);
}

}  // namespace veloran
