#ifndef VELORAN_RESIDENT_FASTCGI_RECORDS_H_
#define VELORAN_RESIDENT_FASTCGI_RECORDS_H_

#include <cstddef>
#include <cstdint>

// The records of FastCGI 1.0 that a responder reads from one connection of
// a web server, and those it writes back.  Bytes in, one request out, with
// everything a client controls bounded: the parameters' bytes and number,
// the body, and the control replies that wait to be sent.  A client that
// breaks the protocol is told so (kBroken) and its connection is dropped
// by the caller; a well-formed request that is too large comes out marked
// as such, to be answered with an error page.
//
// Of the protocol: the responder role only, one request at a time on a
// connection (FCGI_MPXS_CONNS is 0; a second request is refused with
// FCGI_CANT_MPX_CONN), FCGI_GET_VALUES answered, other management records
// answered with FCGI_UNKNOWN_TYPE, records of other requests ignored.

namespace veloran {

// The connections a worker reads at once; FCGI_GET_VALUES tells servers.
constexpr int kFastCgiMaxConnections = 32;

constexpr size_t kFastCgiHeaderBytes = 8;
// The largest record: its header, 65535 bytes of content, 255 of padding.
constexpr size_t kFastCgiMaxRecordBytes = kFastCgiHeaderBytes + 65535 + 255;
// The request's parameters (names and values with their lengths) as the
// server sends them; web servers send a few kilobytes.
constexpr size_t kFastCgiMaxParamBytes = 65536;
constexpr int kFastCgiMaxParams = 512;
// The body kept of a request; the rest is read and dropped (the pages take
// forms of at most a few kilobytes and refuse longer ones by their length).
constexpr size_t kFastCgiMaxBodyBytes = 65536;
// Control replies not yet sent: a client that keeps asking without reading
// is broken.
constexpr size_t kFastCgiMaxControlBytes = 4096;

enum class FastCgiRecordType : uint8_t {
  kBeginRequest = 1,
  kAbortRequest = 2,
  kEndRequest = 3,
  kParams = 4,
  kStdin = 5,
  kStdout = 6,
  kStderr = 7,
  kData = 8,
  kGetValues = 9,
  kGetValuesResult = 10,
  kUnknownType = 11,
};

// The request read from a connection.
struct FastCgiRequest {
  uint16_t id = 0;
  bool keepConnection = false;
  // Its parameters, each name and value ended by a NUL of ours; a name sent
  // twice keeps its first value.
  int count = 0;
  const char* names[kFastCgiMaxParams];
  const char* values[kFastCgiMaxParams];
  // More parameter bytes or more parameters than the bounds above.
  bool tooLarge = false;
  // The body, at most kFastCgiMaxBodyBytes of it; bodyBytesSent counts all
  // that came.
  size_t bodyBytes = 0;
  uint64_t bodyBytesSent = 0;
  char body[kFastCgiMaxBodyBytes];

  // The value of the parameter "name", or nullptr.
  const char* Find(const char* name) const;
};

enum class FastCgiRead {
  kNeedMore,  // no whole request yet: read more of the connection
  kRequest,   // request() is whole: answer it, then call FinishRequest
  kBroken,    // the client broke the protocol: drop the connection
};

class FastCgiReader {
 public:
  FastCgiReader();
  FastCgiReader(const FastCgiReader&) = delete;
  FastCgiReader& operator=(const FastCgiReader&) = delete;

  // Where the next bytes of the connection go, and how many fit.
  unsigned char* Space() { return input_ + inputBytes_; }
  size_t SpaceBytes() const { return sizeof(input_) - inputBytes_; }
  // Counts "bytes" written into Space().
  void Received(size_t bytes);

  // Reads the whole records received so far.  Control replies it owes the
  // client are added to Control().  After kBroken, Problem() says what the
  // client did.
  FastCgiRead Read();

  // After kRequest, the request; valid until FinishRequest.
  const FastCgiRequest& request() const { return request_; }
  // Ends the request answered; what came after it stays to be read.
  void FinishRequest();

  // Whether any byte of a request not yet whole has come: a connection that
  // is sending one, rather than one that waits idle.
  bool Started() const { return state_ != State::kIdle || inputBytes_ > 0; }

  const unsigned char* Control() const { return control_; }
  size_t ControlBytes() const { return controlBytes_; }
  void ControlSent(size_t bytes);

  // Whether the connection ends once Control() is sent: a request aborted
  // that did not ask to keep it.
  bool CloseAfterControl() const { return closeAfterControl_; }

  const char* Problem() const { return problem_; }

 private:
  enum class State { kIdle, kParams, kBody, kWhole };

  FastCgiRead Broken(const char* problem);
  bool AddControl(FastCgiRecordType type, uint16_t id,
                  const unsigned char* content, size_t bytes);
  bool EndRequest(uint16_t id, uint8_t protocolStatus);
  FastCgiRead TakeRecord(FastCgiRecordType type, uint16_t id,
                         const unsigned char* content, size_t bytes);
  bool AnswerGetValues(const unsigned char* content, size_t bytes);
  bool DecodeParams();

  State state_ = State::kIdle;
  const char* problem_ = "";
  bool closeAfterControl_ = false;
  size_t inputBytes_ = 0;
  unsigned char input_[kFastCgiMaxRecordBytes];
  size_t paramBytes_ = 0;
  // The pairs as sent, then (DecodeParams) each name and value copied out
  // with a NUL after it, in the place of the pair's two lengths or more.
  unsigned char params_[kFastCgiMaxParamBytes];
  char decoded_[kFastCgiMaxParamBytes];
  size_t controlBytes_ = 0;
  unsigned char control_[kFastCgiMaxControlBytes];
  FastCgiRequest request_;
};

// Adds to "out" (of "capacity" bytes, of which *used are taken) the records
// of type "type" of request "id" that carry "bytes" of "data"; with bytes 0,
// the empty record that ends the stream.  False when they do not fit.
bool AppendFastCgiStream(FastCgiRecordType type, uint16_t id, const char* data,
                         size_t bytes, unsigned char* out, size_t capacity,
                         size_t* used);

// The bytes of the stream records for "bytes" of content.
size_t FastCgiStreamBytes(size_t bytes);

// Adds the FCGI_END_REQUEST record of request "id" with the application's
// exit status and FCGI_REQUEST_COMPLETE.  False when it does not fit.
bool AppendFastCgiEnd(uint16_t id, uint32_t appStatus, unsigned char* out,
                      size_t capacity, size_t* used);

}  // namespace veloran

#endif  // VELORAN_RESIDENT_FASTCGI_RECORDS_H_
