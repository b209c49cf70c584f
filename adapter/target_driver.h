#ifndef VELORAN_ADAPTER_TARGET_DRIVER_H_
#define VELORAN_ADAPTER_TARGET_DRIVER_H_

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "adapter/entry_table.h"

// The driver that the adapter passes its calls on to: its library and its
// functions, one pointer for each function of the adapter's table, null
// where the library has none.

namespace veloran::adapter {

struct TargetDriver {
  std::string path;
  void* library = nullptr;
#define VELORAN_TARGET_POINTER(id, name, on, params, args) \
  decltype(&::name) name = nullptr;
  VELORAN_ADAPTER_ENTRIES(VELORAN_TARGET_POINTER)
#undef VELORAN_TARGET_POINTER
};

// The target driver of library "path", loaded at its first use and kept
// until the adapter is unloaded, or
// null with the reason in *error: the library cannot be loaded, lacks the
// functions that every ODBC 3 driver has, or is the adapter itself.  May
// throw std::bad_alloc.
const TargetDriver* LoadTargetDriver(const std::string& path, std::string* error);

}  // namespace veloran::adapter

#endif  // VELORAN_ADAPTER_TARGET_DRIVER_H_
