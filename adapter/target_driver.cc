#include "adapter/target_driver.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace veloran::adapter {
namespace {

// The targets loaded so far, kept while the adapter is loaded: statement
// handles point at their target for their life, and the driver manager
// frees every handle before it unloads the adapter, which frees these.
struct LoadedTargets {
  ~LoadedTargets() {
    for (TargetDriver* target : targets) {
      dlclose(target->library);
      delete target;
    }
  }
  std::mutex mutex;
  std::vector<TargetDriver*> targets;
};
LoadedTargets loaded;

// The function "name" of "library" itself.  dlsym also searches the
// libraries that the target links, and a driver that links the driver
// manager would otherwise lend us the manager's function of the same name,
// which takes the manager's handles.
void* OwnFunction(void* library, const char* libraryName, const char* name) {
  void* function = dlsym(library, name);
  if (function == nullptr) return nullptr;
  Dl_info info;
  if (dladdr(function, &info) == 0 || info.dli_fname == nullptr ||
      std::strcmp(info.dli_fname, libraryName) != 0) {
    return nullptr;
  }
  return function;
}

}  // namespace

const TargetDriver* LoadTargetDriver(const std::string& path, std::string* error) {
  std::lock_guard<std::mutex> lock(loaded.mutex);
  for (const TargetDriver* target : loaded.targets) {
    if (target->path == path) return target;
  }
  // RTLD_LOCAL: the target's names stay out of the global scope, where they
  // would meet the driver manager's and the adapter's.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    *error = "cannot load the target driver: ";
    *error += reason != nullptr ? reason : path;
    return nullptr;
  }
  link_map* map = nullptr;
  if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
    *error = "cannot find where the target driver " + path + " is loaded";
    dlclose(library);
    return nullptr;
  }
  auto target = std::make_unique<TargetDriver>();
  target->path = path;
  target->library = library;
#define VELORAN_TARGET_LOOKUP(id, name, on, params, args)              \
  target->name = reinterpret_cast<decltype(target->name)>(            \
      OwnFunction(library, map->l_name, #name));
  VELORAN_ADAPTER_ENTRIES(VELORAN_TARGET_LOOKUP)
#undef VELORAN_TARGET_LOOKUP
  if (target->SQLAllocHandle == &::SQLAllocHandle) {
    *error = "the target " + path + " is this adapter itself: name the driver "
             "that serves the data source";
    dlclose(library);
    return nullptr;
  }
  if (target->SQLAllocHandle == nullptr || target->SQLFreeHandle == nullptr ||
      target->SQLConnect == nullptr || target->SQLDisconnect == nullptr ||
      target->SQLGetDiagRec == nullptr) {
    *error = "the target " + path + " is no ODBC 3 driver: it lacks "
             "SQLAllocHandle, SQLFreeHandle, SQLConnect, SQLDisconnect or "
             "SQLGetDiagRec";
    dlclose(library);
    return nullptr;
  }
  loaded.targets.push_back(target.get());
  return target.release();
}

}  // namespace veloran::adapter
