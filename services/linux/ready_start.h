// Starting a program and waiting until it is ready, as konfigurator waits for the traywatch it
// starts: the started program says so as it would to a service manager (READY=1 on
// $NOTIFY_SOCKET). Only a main whose program waits so gives it to its LinuxProcess, so that the
// other programs carry none of it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "services/linux/linux_process.h"

namespace zelvo::linux_os {

// Starts the program as spawnProgram does, with NOTIFY_SOCKET set in its environment to a
// socket of ours, and waits, up to the timeout, until the program itself says READY=1 there or
// ends. Raises ServiceError when it cannot be started.
StartedProgram spawnWhenReady(const std::string& path, const std::vector<std::string>& arguments,
                              std::chrono::milliseconds timeout);

}  // namespace zelvo::linux_os
