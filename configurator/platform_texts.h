// The window's texts that speak of the platform, side by side: a Windows user reads of closing
// Windows and of the unpacked zip's folder, a Linux user of the system's shutdown (a logout too)
// and of the installed package. Each platform's main hands its own set to the window.
#pragma once

namespace zelvo {

struct PlatformTexts {
  const wchar_t* ejectAtShutdownCaption;  // the second check box
  const wchar_t* explanation;             // the paragraph under the boxes
  // Ends the box that names the suite's missing files: how to have them all beside konfigurator.
  const wchar_t* missingFilesAdvice;
};

inline constexpr PlatformTexts kWindowsTexts{
    L"Wysuwaj tacki przy zamykaniu windows",
    L"Programy które dodajesz do autostartu wysuwają tackę napędu CD, jeśli w środku jest płyta. "
    L"Jeden z programów to robi przy starcie systemu a drugi przy zamykaniu windows (jedyny "
    L"warunek jest taki, że należy dodać te programy do autostartu aby działały)",
    L"Rozpakuj cały folder Zelvo CD i uruchom konfigurator z rozpakowanego folderu.",
};

inline constexpr PlatformTexts kLinuxTexts{
    L"Wysuwaj tacki przy zamykaniu systemu",
    L"Programy które dodajesz do autostartu wysuwają tackę napędu CD, jeśli w środku jest płyta. "
    L"Jeden z programów to robi po zalogowaniu a drugi przy zamykaniu systemu, także przy "
    L"wylogowaniu (jedyny warunek jest taki, że należy dodać te programy do autostartu aby "
    L"działały)",
    L"Zainstaluj ponownie pakiet zelvo-cd (sudo apt install --reinstall zelvo-cd) i uruchom "
    L"konfigurator z menu aplikacji.",
};

}  // namespace zelvo
