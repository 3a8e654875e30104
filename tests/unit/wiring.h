// The fake platform handed to the programs' logic as each program's set of services.
#pragma once

#include "configurator/settings_window.h"
#include "launchers/scan/drive_scan.h"
#include "services/fake/fake_services.h"

namespace zelvo {

inline LauncherServices launcherServices(fake::FakeServices& fake) {
  return {fake, fake, fake, fake};
}

inline KonfiguratorServices konfiguratorServices(fake::FakeServices& fake) {
  return {fake, fake, fake, fake};
}

}  // namespace zelvo
