#include "search/index_rows.h"

#include <cstring>

#include "search/cell_keys.h"
#include "search/sky_pixels.h"

namespace veloran {

IndexRow IndexRowOf(const StarPosition& position) {
  IndexRow row{};
  row.order = position.order;
  row.starId = position.starId;
  row.hasPoint = GalacticPointOf(position, &row.point);
  if (!row.hasPoint) row.point = CartesianPoint{0.0, 0.0, 0.0};
  row.cell = row.hasPoint ? CellKeyOf(row.point) : kNoCell;
  row.hasRA = position.hasRA;
  row.raHours = position.raHours;
  row.hasDec = position.hasDec;
  row.decDegrees = position.decDegrees;
  // The cone search's direction of a star: its decimal hours times 15.
  row.pixel = row.hasRA && row.hasDec
                  ? SkyPixelOf(row.raHours * 15.0, row.decDegrees)
                  : kNoPixel;
  row.hasDistance = position.hasDistance;
  row.distance = position.hasDistance ? position.distance : 0.0;
  return row;
}

namespace {

// FNV-1a over the bytes of each value.
struct Fingerprint {
  uint64_t hash = 0xCBF29CE484222325ull;
  void Add(const void* bytes, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
      hash = (hash ^ p[i]) * 0x100000001B3ull;
    }
  }
  void Add(double value) { Add(&value, sizeof(value)); }
  void Add(int64_t value) { Add(&value, sizeof(value)); }
};

// splitmix64, so that the positions are the same everywhere.
uint64_t NextRandom(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

int64_t IndexConversionCheck() {
  Fingerprint fingerprint;
  uint64_t state = 20261209;
  for (int i = 0; i < 64; ++i) {
    PositionRecord record{};
    record.HasRA = record.HasDec = record.HasDistance = true;
    record.RA_hr = static_cast<uint8_t>(NextRandom(&state) % 24);
    record.RA_min = static_cast<uint8_t>(NextRandom(&state) % 60);
    record.RA_sec = static_cast<float>(NextRandom(&state) % 60000) / 1000.0f;
    record.Dec_deg = static_cast<int16_t>(NextRandom(&state) % 181) - 90;
    record.Dec_arcmin = static_cast<uint8_t>(NextRandom(&state) % 60);
    record.Dec_arcsec = static_cast<float>(NextRandom(&state) % 6000) / 100.0f;
    // Distances from about a light-year to about a hundred thousand.
    record.Distance =
        static_cast<double>(NextRandom(&state) % 100000000) / 1000.0 + 0.5;
    StarPosition position{};
    position.hasRA = position.hasDec = position.hasDistance = true;
    position.distance = record.Distance;
    position.raHours =
        DecimalHours(record.RA_hr, record.RA_min, record.RA_sec);
    position.decDegrees =
        DecimalDegrees(record.Dec_deg, record.Dec_arcmin, record.Dec_arcsec);
    position.row = &record;
    IndexRow row = IndexRowOf(position);
    fingerprint.Add(row.point.x);
    fingerprint.Add(row.point.y);
    fingerprint.Add(row.point.z);
    fingerprint.Add(row.raHours);
    fingerprint.Add(row.decDegrees);
    fingerprint.Add(row.cell);
    fingerprint.Add(row.pixel);
  }
  int64_t check;
  std::memcpy(&check, &fingerprint.hash, sizeof(check));
  return check;
}

}  // namespace veloran
