// The reader of a web server's FastCGI records, given any bytes in pieces
// of any size: it never reads or writes outside its buffers, and what it
// gives stays within its bounds.  The first byte chooses the size of the
// pieces, as a connection delivers them.

#include <cstdlib>
#include <cstring>
#include <new>

#include "resident/fastcgi_records.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  using namespace veloran;
  if (size == 0) return 0;
  static FastCgiReader* reader = nullptr;
  if (reader != nullptr) reader->~FastCgiReader();
  static void* memory = std::malloc(sizeof(FastCgiReader));
  reader = new (memory) FastCgiReader();
  size_t piece = 1 + data[0] % 64;
  if (data[0] & 0x80) piece = 4096;
  size_t at = 1;
  while (at < size) {
    size_t n = size - at < piece ? size - at : piece;
    if (n > reader->SpaceBytes()) n = reader->SpaceBytes();
    std::memcpy(reader->Space(), data + at, n);
    reader->Received(n);
    at += n;
    FastCgiRead read = reader->Read();
    while (read == FastCgiRead::kRequest) {
      const FastCgiRequest& request = reader->request();
      if (request.count < 0 || request.count > kFastCgiMaxParams ||
          request.bodyBytes > kFastCgiMaxBodyBytes ||
          request.bodyBytes > request.bodyBytesSent) {
        std::abort();
      }
      for (int i = 0; i < request.count; ++i) {
        // Each text ends, and a name is found as the first of its kind.
        if (request.Find(request.names[i]) != request.values[i]) std::abort();
      }
      reader->FinishRequest();
      read = reader->Read();
    }
    if (reader->ControlBytes() > kFastCgiMaxControlBytes) std::abort();
    // A client that reads its control replies now and then.
    if (data[at - 1] & 1) reader->ControlSent(reader->ControlBytes());
    if (read == FastCgiRead::kBroken) {
      if (reader->Problem()[0] == '\0') std::abort();
      break;
    }
  }
  return 0;
}
