// The owners of sd-bus's objects, for the programs that link libsystemd (traypop reaches it only
// through dlopen, see udisks.cpp).
#pragma once

#include <systemd/sd-bus.h>

#include "services/linux/unique_any.h"

namespace zelvo::linux_os {

inline void unrefBus(sd_bus* bus) {
  ::sd_bus_flush_close_unref(bus);
}
inline void unrefSlot(sd_bus_slot* slot) {
  ::sd_bus_slot_unref(slot);
}
inline void unrefMessage(sd_bus_message* message) {
  ::sd_bus_message_unref(message);
}
using UniqueBus = UniqueAny<sd_bus*, unrefBus>;
using UniqueSlot = UniqueAny<sd_bus_slot*, unrefSlot>;
using UniqueMessage = UniqueAny<sd_bus_message*, unrefMessage>;

}  // namespace zelvo::linux_os
