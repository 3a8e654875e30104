#include "launchers/immediate/immediate_launcher.h"

#include "launchers/launcher_window.h"

namespace zelvo {

std::wstring nextTickCount(const std::wstring& tag) {
  unsigned long long count = 0;
  for (const wchar_t digit : tag) {
    if (digit < L'0' || digit > L'9') break;
    count = count * 10 + static_cast<unsigned>(digit - L'0');
  }
  ++count;
  std::wstring text;
  do {
    text.insert(text.begin(), static_cast<wchar_t>(L'0' + count % 10));
    count /= 10;
  } while (count != 0);
  return text;
}

ImmediateLauncher::ImmediateLauncher(const LauncherServices& services)
    : services_(services),
      scan_(services, AfterLaunch::ContinueScan),
      frmMain_(hiddenLauncherWindow(L"trayflush")) {
  frmMain_.timer = &Timer1_;
  Timer1_.onTick([this] { onTimer1Tick(); });
}

void ImmediateLauncher::onTimer1Tick() {
  Timer1_.setTag(nextTickCount(Timer1_.tag()));
  services_.events.processPendingEvents();
  if (Timer1_.tag() == L"2") {
    scan_.scanAndEject();
  } else if (Timer1_.tag() == L"4") {
    services_.process.endProgram();
  }
}

}  // namespace zelvo
