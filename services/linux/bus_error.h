// The error of an sd-bus call, freed when it goes. How it is freed is a parameter: the waiting
// launchers link libsystemd, while traypop loads it only when a disc must be unmounted.
#pragma once

#include <systemd/sd-bus.h>

namespace zelvo::linux_os {

template <void (*Free)(sd_bus_error*)>
class BusErrorOf {
 public:
  BusErrorOf() = default;
  ~BusErrorOf() { Free(&error_); }
  BusErrorOf(const BusErrorOf&) = delete;
  BusErrorOf& operator=(const BusErrorOf&) = delete;
  sd_bus_error* get() { return &error_; }

 private:
  sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

}  // namespace zelvo::linux_os
