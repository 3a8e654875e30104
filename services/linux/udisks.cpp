#include "services/linux/udisks.h"

#include <dlfcn.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <vector>

#include "services/linux/unique_any.h"

namespace zelvo::linux_os {
namespace {

constexpr char kService[] = "org.freedesktop.UDisks2";
constexpr char kManagerPath[] = "/org/freedesktop/UDisks2/Manager";
constexpr char kManagerInterface[] = "org.freedesktop.UDisks2.Manager";
constexpr char kFileSystemInterface[] = "org.freedesktop.UDisks2.Filesystem";
// Unmounting flushes what is still to be written; a disc has nothing, so this is generous.
constexpr std::chrono::microseconds kCallTimeout = std::chrono::seconds(15);

// libsystemd is opened only when a mounted disc needs it: with the compression and crypto
// libraries it pulls in, linking it would double the start-up time of every traypop, nearly all
// of which never talk to the bus.
struct SdBusLibrary {
  void* library = nullptr;
  decltype(&::sd_bus_default_system) defaultSystem = nullptr;
  decltype(&::sd_bus_unref) unref = nullptr;
  decltype(&::sd_bus_set_method_call_timeout) setMethodCallTimeout = nullptr;
  decltype(&::sd_bus_call_method) callMethod = nullptr;
  decltype(&::sd_bus_message_enter_container) enterContainer = nullptr;
  decltype(&::sd_bus_message_read_basic) readBasic = nullptr;
  decltype(&::sd_bus_message_unref) messageUnref = nullptr;
  decltype(&::sd_bus_error_free) errorFree = nullptr;

  template <typename Function>
  bool find(Function& function, const char* name) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
  }

  bool load() {
    library = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
    return library && find(defaultSystem, "sd_bus_default_system") && find(unref, "sd_bus_unref") &&
           find(setMethodCallTimeout, "sd_bus_set_method_call_timeout") &&
           find(callMethod, "sd_bus_call_method") &&
           find(enterContainer, "sd_bus_message_enter_container") &&
           find(readBasic, "sd_bus_message_read_basic") &&
           find(messageUnref, "sd_bus_message_unref") && find(errorFree, "sd_bus_error_free");
  }
};

// Loaded once and kept for the rest of the run, which is short.
const SdBusLibrary* sdBus() {
  static SdBusLibrary library;
  static const bool loaded = library.load();
  return loaded ? &library : nullptr;
}

void unrefBus(sd_bus* bus) {
  sdBus()->unref(bus);
}
void unrefMessage(sd_bus_message* message) {
  sdBus()->messageUnref(message);
}
using UniqueBus = UniqueAny<sd_bus*, unrefBus>;
using UniqueMessage = UniqueAny<sd_bus_message*, unrefMessage>;

// The error of one call, freed when it goes.
class BusError {
 public:
  BusError() = default;
  ~BusError() { sdBus()->errorFree(&error_); }
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;
  sd_bus_error* get() { return &error_; }

 private:
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

// The UDisks2 objects of the device: Manager.ResolveDevice finds the block device by its node.
std::vector<std::string> blockObjectsOf(const SdBusLibrary& api, sd_bus* bus,
                                        const std::string& deviceNode) {
  std::vector<std::string> objects;
  BusError error;
  UniqueMessage reply;
  if (api.callMethod(bus, kService, kManagerPath, kManagerInterface, "ResolveDevice", error.get(),
                     reply.put(), "a{sv}a{sv}", 1, "path", "s", deviceNode.c_str(), 0) < 0 ||
      api.enterContainer(reply.get(), SD_BUS_TYPE_ARRAY, "o") < 0) {
    return objects;
  }
  const char* object = nullptr;
  while (api.readBasic(reply.get(), SD_BUS_TYPE_OBJECT_PATH, &object) > 0) {
    objects.emplace_back(object);
  }
  return objects;
}

}  // namespace

bool unmountFileSystemOn(const std::string& deviceNode) {
  const SdBusLibrary* api = sdBus();
  if (!api) return false;
  UniqueBus bus;
  if (api->defaultSystem(bus.put()) < 0) return false;
  api->setMethodCallTimeout(bus.get(), static_cast<uint64_t>(kCallTimeout.count()));
  bool unmounted = false;
  for (const std::string& object : blockObjectsOf(*api, bus.get(), deviceNode)) {
    BusError error;
    // A user at the desktop may unmount what the desktop mounted for them; no password prompt
    // may hold the tray back.
    if (api->callMethod(bus.get(), kService, object.c_str(), kFileSystemInterface, "Unmount",
                        error.get(), nullptr, "a{sv}", 1, "auth.no_user_interaction", "b",
                        1) >= 0) {
      unmounted = true;
    }
  }
  return unmounted;
}

}  // namespace zelvo::linux_os
