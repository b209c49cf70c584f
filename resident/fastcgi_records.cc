#include "resident/fastcgi_records.h"

#include <cassert>
#include <cstring>

namespace veloran {

namespace {

constexpr uint8_t kVersion = 1;
constexpr uint16_t kResponder = 1;
constexpr uint8_t kKeepConnection = 1;
// FCGI_END_REQUEST's protocol statuses.
constexpr uint8_t kRequestComplete = 0;
constexpr uint8_t kCannotMultiplex = 1;
constexpr uint8_t kUnknownRole = 3;
// What one stream record carries at most; a multiple of 8, so that no
// padding is needed.
constexpr size_t kStreamChunk = 65528;

// The variables FCGI_GET_VALUES may ask, with this responder's answers.
struct ValueAnswer {
  const char* name;
  const char* value;
};
constexpr ValueAnswer kValueAnswers[] = {
    {"FCGI_MAX_CONNS", "32"},
    {"FCGI_MAX_REQS", "32"},
    {"FCGI_MPXS_CONNS", "0"},
};

// The number a decimal text of kValueAnswers stands for.
constexpr int DecimalValue(const char* text) {
  int value = 0;
  while (*text != '\0') value = value * 10 + (*text++ - '0');
  return value;
}
static_assert(DecimalValue(kValueAnswers[0].value) == kFastCgiMaxConnections &&
              DecimalValue(kValueAnswers[1].value) == kFastCgiMaxConnections);

uint16_t Read16(const unsigned char* bytes) {
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

void WriteHeader(FastCgiRecordType type, uint16_t id, size_t bytes,
                 unsigned char* out) {
  assert(bytes <= 65535);
  out[0] = kVersion;
  out[1] = static_cast<unsigned char>(type);
  out[2] = static_cast<unsigned char>(id >> 8);
  out[3] = static_cast<unsigned char>(id & 0xFF);
  out[4] = static_cast<unsigned char>(bytes >> 8);
  out[5] = static_cast<unsigned char>(bytes & 0xFF);
  out[6] = 0;  // no padding
  out[7] = 0;
}

// Reads one length of a name-value pair at *at (one byte below 128, else
// four with the top bit set) from the "end"-bounded pairs.  False when it
// runs past the end.
bool ReadPairLength(const unsigned char* pairs, size_t end, size_t* at,
                    size_t* length) {
  if (*at >= end) return false;
  if (pairs[*at] < 0x80) {
    *length = pairs[(*at)++];
    return true;
  }
  if (end - *at < 4) return false;
  *length = (static_cast<size_t>(pairs[*at] & 0x7F) << 24) |
            (static_cast<size_t>(pairs[*at + 1]) << 16) |
            (static_cast<size_t>(pairs[*at + 2]) << 8) | pairs[*at + 3];
  *at += 4;
  return true;
}

// Reads the pair at *at: its name and value as offsets into "pairs".  False
// when its lengths run past the end.
bool ReadPair(const unsigned char* pairs, size_t end, size_t* at,
              size_t* nameAt, size_t* nameLength, size_t* valueLength) {
  size_t valueStart = 0;
  if (!ReadPairLength(pairs, end, at, nameLength) ||
      !ReadPairLength(pairs, end, at, valueLength)) {
    return false;
  }
  // Each length is at most 2^31 - 1 and *at at most end: no overflow.
  if (*nameLength > end - *at || *valueLength > end - *at - *nameLength) {
    return false;
  }
  *nameAt = *at;
  valueStart = *at + *nameLength;
  *at = valueStart + *valueLength;
  return true;
}

}  // namespace

const char* FastCgiRequest::Find(const char* name) const {
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(names[i], name) == 0) return values[i];
  }
  return nullptr;
}

FastCgiReader::FastCgiReader() {}

void FastCgiReader::Received(size_t bytes) {
  assert(bytes <= SpaceBytes());
  inputBytes_ += bytes;
}

void FastCgiReader::ControlSent(size_t bytes) {
  assert(bytes <= controlBytes_);
  std::memmove(control_, control_ + bytes, controlBytes_ - bytes);
  controlBytes_ -= bytes;
}

FastCgiRead FastCgiReader::Broken(const char* problem) {
  problem_ = problem;
  return FastCgiRead::kBroken;
}

bool FastCgiReader::AddControl(FastCgiRecordType type, uint16_t id,
                               const unsigned char* content, size_t bytes) {
  size_t padding = (8 - bytes % 8) % 8;
  if (kFastCgiHeaderBytes + bytes + padding >
      sizeof(control_) - controlBytes_) {
    return false;
  }
  unsigned char* out = control_ + controlBytes_;
  WriteHeader(type, id, bytes, out);
  out[6] = static_cast<unsigned char>(padding);
  std::memcpy(out + kFastCgiHeaderBytes, content, bytes);
  std::memset(out + kFastCgiHeaderBytes + bytes, 0, padding);
  controlBytes_ += kFastCgiHeaderBytes + bytes + padding;
  return true;
}

bool FastCgiReader::EndRequest(uint16_t id, uint8_t protocolStatus) {
  const unsigned char body[8] = {0, 0, 0, 0, protocolStatus, 0, 0, 0};
  return AddControl(FastCgiRecordType::kEndRequest, id, body, sizeof(body));
}

bool FastCgiReader::AnswerGetValues(const unsigned char* content,
                                    size_t bytes) {
  unsigned char answer[256];
  size_t answerBytes = 0;
  size_t at = 0;
  while (at < bytes) {
    size_t nameAt = 0, nameLength = 0, valueLength = 0;
    if (!ReadPair(content, bytes, &at, &nameAt, &nameLength, &valueLength)) {
      return false;
    }
    for (const ValueAnswer& known : kValueAnswers) {
      size_t knownLength = std::strlen(known.name);
      size_t valueBytes = std::strlen(known.value);
      if (knownLength != nameLength ||
          std::memcmp(content + nameAt, known.name, nameLength) != 0 ||
          answerBytes + 2 + knownLength + valueBytes > sizeof(answer)) {
        continue;
      }
      answer[answerBytes++] = static_cast<unsigned char>(knownLength);
      answer[answerBytes++] = static_cast<unsigned char>(valueBytes);
      std::memcpy(answer + answerBytes, known.name, knownLength);
      answerBytes += knownLength;
      std::memcpy(answer + answerBytes, known.value, valueBytes);
      answerBytes += valueBytes;
    }
  }
  return AddControl(FastCgiRecordType::kGetValuesResult, 0, answer,
                    answerBytes);
}

bool FastCgiReader::DecodeParams() {
  size_t at = 0;
  size_t out = 0;
  request_.count = 0;
  while (at < paramBytes_) {
    size_t nameAt = 0, nameLength = 0, valueLength = 0;
    if (!ReadPair(params_, paramBytes_, &at, &nameAt, &nameLength,
                  &valueLength)) {
      return false;
    }
    if (request_.count == kFastCgiMaxParams) {
      request_.tooLarge = true;
      continue;
    }
    // The pairs' bytes, less their lengths, plus two NULs a pair.
    assert(out + nameLength + valueLength + 2 <= sizeof(decoded_));
    char* name = decoded_ + out;
    std::memcpy(name, params_ + nameAt, nameLength);
    name[nameLength] = '\0';
    char* value = name + nameLength + 1;
    std::memcpy(value, params_ + nameAt + nameLength, valueLength);
    value[valueLength] = '\0';
    out += nameLength + valueLength + 2;
    if (request_.Find(name) != nullptr) continue;
    request_.names[request_.count] = name;
    request_.values[request_.count] = value;
    ++request_.count;
  }
  return true;
}

FastCgiRead FastCgiReader::TakeRecord(FastCgiRecordType type, uint16_t id,
                                      const unsigned char* content,
                                      size_t bytes) {
  if (id == 0) {
    bool answered = false;
    if (type == FastCgiRecordType::kGetValues) {
      answered = AnswerGetValues(content, bytes);
    } else {
      const unsigned char unknown[8] = {static_cast<unsigned char>(type)};
      answered = AddControl(FastCgiRecordType::kUnknownType, 0, unknown,
                            sizeof(unknown));
    }
    return answered ? FastCgiRead::kNeedMore
                    : Broken(
                          "sent management records faster than it reads "
                          "their answers, or a malformed one");
  }
  if (type == FastCgiRecordType::kBeginRequest) {
    if (bytes != 8) return Broken("sent a begin record of the wrong length");
    if (state_ != State::kIdle) {
      return EndRequest(id, kCannotMultiplex)
                 ? FastCgiRead::kNeedMore
                 : Broken("began too many requests at once");
    }
    if (Read16(content) != kResponder) {
      return EndRequest(id, kUnknownRole)
                 ? FastCgiRead::kNeedMore
                 : Broken("asked for roles other than the responder's");
    }
    request_.id = id;
    request_.keepConnection = (content[2] & kKeepConnection) != 0;
    request_.count = 0;
    request_.tooLarge = false;
    request_.bodyBytes = 0;
    request_.bodyBytesSent = 0;
    paramBytes_ = 0;
    state_ = State::kParams;
    return FastCgiRead::kNeedMore;
  }
  // Records of no request in progress, or of another, are ignored.
  if (state_ == State::kIdle || id != request_.id)
    return FastCgiRead::kNeedMore;
  switch (type) {
    case FastCgiRecordType::kAbortRequest:
      // Answered at once: the request ends unanswered.
      if (!EndRequest(id, kRequestComplete)) {
        return Broken("aborted requests faster than it reads their ends");
      }
      closeAfterControl_ = !request_.keepConnection;
      state_ = State::kIdle;
      return FastCgiRead::kNeedMore;
    case FastCgiRecordType::kParams:
      if (state_ != State::kParams) {
        return Broken("sent parameters after their end");
      }
      if (bytes == 0) {
        // Parameters dropped for their size leave pairs cut: none is read.
        if (!request_.tooLarge && !DecodeParams()) {
          return Broken("sent a parameter whose length runs past the end");
        }
        state_ = State::kBody;
      } else if (bytes > sizeof(params_) - paramBytes_) {
        // Dropped: the request is answered as too large once it is whole.
        request_.tooLarge = true;
      } else {
        std::memcpy(params_ + paramBytes_, content, bytes);
        paramBytes_ += bytes;
      }
      return FastCgiRead::kNeedMore;
    case FastCgiRecordType::kStdin:
      if (state_ != State::kBody) {
        return Broken("sent the body before the parameters' end");
      }
      if (bytes == 0) {
        state_ = State::kWhole;
        return FastCgiRead::kRequest;
      }
      request_.bodyBytesSent += bytes;
      if (bytes <= sizeof(request_.body) - request_.bodyBytes) {
        std::memcpy(request_.body + request_.bodyBytes, content, bytes);
        request_.bodyBytes += bytes;
      }
      return FastCgiRead::kNeedMore;
    default:
      // FCGI_DATA belongs to the filter role; the rest are not sent by
      // servers.
      return FastCgiRead::kNeedMore;
  }
}

FastCgiRead FastCgiReader::Read() {
  if (state_ == State::kWhole) return FastCgiRead::kRequest;
  size_t at = 0;
  FastCgiRead outcome = FastCgiRead::kNeedMore;
  while (outcome == FastCgiRead::kNeedMore &&
         inputBytes_ - at >= kFastCgiHeaderBytes) {
    const unsigned char* header = input_ + at;
    if (header[0] != kVersion) {
      outcome = Broken("sent a record that is not of FastCGI 1");
      break;
    }
    size_t contentBytes = Read16(header + 4);
    size_t recordBytes = kFastCgiHeaderBytes + contentBytes + header[6];
    if (inputBytes_ - at < recordBytes) break;
    outcome = TakeRecord(static_cast<FastCgiRecordType>(header[1]),
                         Read16(header + 2), header + kFastCgiHeaderBytes,
                         contentBytes);
    at += recordBytes;
  }
  std::memmove(input_, input_ + at, inputBytes_ - at);
  inputBytes_ -= at;
  return outcome;
}

void FastCgiReader::FinishRequest() {
  assert(state_ == State::kWhole);
  state_ = State::kIdle;
  request_.count = 0;
  paramBytes_ = 0;
}

size_t FastCgiStreamBytes(size_t bytes) {
  size_t records = bytes == 0 ? 1 : (bytes + kStreamChunk - 1) / kStreamChunk;
  return records * kFastCgiHeaderBytes + bytes;
}

bool AppendFastCgiStream(FastCgiRecordType type, uint16_t id, const char* data,
                         size_t bytes, unsigned char* out, size_t capacity,
                         size_t* used) {
  if (FastCgiStreamBytes(bytes) > capacity - *used) return false;
  size_t done = 0;
  do {
    size_t chunk = bytes - done < kStreamChunk ? bytes - done : kStreamChunk;
    WriteHeader(type, id, chunk, out + *used);
    if (chunk > 0)
      std::memcpy(out + *used + kFastCgiHeaderBytes, data + done, chunk);
    *used += kFastCgiHeaderBytes + chunk;
    done += chunk;
  } while (done < bytes);
  return true;
}

bool AppendFastCgiEnd(uint16_t id, uint32_t appStatus, unsigned char* out,
                      size_t capacity, size_t* used) {
  if (2 * kFastCgiHeaderBytes > capacity - *used) return false;
  unsigned char* record = out + *used;
  WriteHeader(FastCgiRecordType::kEndRequest, id, 8, record);
  unsigned char* body = record + kFastCgiHeaderBytes;
  body[0] = static_cast<unsigned char>(appStatus >> 24);
  body[1] = static_cast<unsigned char>((appStatus >> 16) & 0xFF);
  body[2] = static_cast<unsigned char>((appStatus >> 8) & 0xFF);
  body[3] = static_cast<unsigned char>(appStatus & 0xFF);
  body[4] = kRequestComplete;
  body[5] = body[6] = body[7] = 0;
  *used += 2 * kFastCgiHeaderBytes;
  return true;
}

}  // namespace veloran
