// What the two launchers' hidden windows share.
#pragma once

namespace zelvo {

inline constexpr wchar_t kLauncherCaption[] = L"Kolvan";
inline constexpr int kLauncherIcon = 1;  // the resource id in each launcher's .rc

}  // namespace zelvo
