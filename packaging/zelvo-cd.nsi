; Per-user installer for Zelvo CD: no administrator rights, installs into the user's own
; programs folder, adds a Start-menu shortcut to the configurator and an entry in the user's
; list of installed programs. Built by scripts/package.sh with:
;   makensis -DVERSION=x.y.z -DFILES=dir -DPICTURES=dir -DOUT=file zelvo-cd.nsi
; where FILES holds the release's files and PICTURES its icon and side picture, all with the
; release's date (NSIS stores each file's date, the side picture's too).
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"

!ifndef VERSION
  !error "VERSION is required"
!endif
!ifndef FILES
  !error "FILES is required"
!endif
; The release passes copies dated like it; a build for a test may take the pictures as they are.
!ifndef PICTURES
  !define PICTURES "..\resources"
!endif
!ifndef OUT
  !error "OUT is required"
!endif

!define PRODUCT "Zelvo CD"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelvoCD"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; A waiting traywatch: its hidden window's class, the registered message that ends it without
; its scan (so no tray opens), and its single-instance mutex.
!define WATCHER_CLASS "Zelvo CD traywatch"
!define WATCHER_QUIET_STOP "ZelvoCD.StopWatching"
!define WATCHER_MUTEX "Local\Zelvo CD traywatch.exe"
!define WATCHER_STOP_DEADLINE_MS 10000
!define SYNCHRONIZE 0x00100000
!define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
!define WAIT_OBJECT_0 0

Name "${PRODUCT}"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An upgrade goes where the earlier version went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1045 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1045 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=1045 "FileDescription" "Instalator programu ${PRODUCT}"
VIAddVersionKey /LANG=1045 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "LegalCopyright" "Copyright (c) 2026 Zelvo CD, licencja MIT"

!define MUI_ICON "${PICTURES}\zelvo.ico"
!define MUI_UNICON "${PICTURES}\zelvo.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${PICTURES}\installer.bmp"
!define MUI_FINISHPAGE_RUN "$INSTDIR\konfigurator.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Uruchom konfigurator"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

; The files of the suite, for the installer and the uninstaller alike. The running programs
; come first, so that a file in use stops the work before anything else has changed.
!macro ForEachFile ACTION
  !insertmacro ${ACTION} "traywatch.exe"
  !insertmacro ${ACTION} "trayflush.exe"
  !insertmacro ${ACTION} "traypop.exe"
  !insertmacro ${ACTION} "konfigurator.exe"
  !insertmacro ${ACTION} "PRZEWODNIK.html"
  !insertmacro ${ACTION} "LICENCJA.txt"
!macroend

; StopWatcher and un.StopWatcher: end a traywatch that runs from the installation folder, and
; so holds its file, with its quiet stop, then wait for its process to go. A traywatch of
; another copy of the suite is left waiting.
!macro StopWatcherFunction UN
Function ${UN}StopWatcher
  System::Call 'user32::RegisterWindowMessageW(w "${WATCHER_QUIET_STOP}") i .r9'
  StrCpy $0 0 ; the window after which the search goes on; 0 starts it from the first
  ${Do}
    System::Call 'user32::FindWindowExW(p 0, p r0, w "${WATCHER_CLASS}", p 0) p .r0'
    ${If} $0 P= 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}|${PROCESS_QUERY_LIMITED_INFORMATION}, \
        i 0, i r1) p .r2'
    ${If} $2 P<> 0
      System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, \
          *i ${NSIS_MAX_STRLEN}) i .r4'
      ${If} $4 <> 0
      ${AndIf} $3 == "$INSTDIR\traywatch.exe"
        System::Call 'user32::PostMessageW(p r0, i r9, p 0, p 0) i .r4'
        System::Call 'kernel32::WaitForSingleObject(p r2, i ${WATCHER_STOP_DEADLINE_MS}) i .r4'
        ; Gone: its window went with it, so the search starts again. Still there: its file
        ; stays in use, which the file operations report.
        ${If} $4 = ${WAIT_OBJECT_0}
          StrCpy $0 0
        ${EndIf}
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro StopWatcherFunction ""
!insertmacro StopWatcherFunction "un."

; Starts the installed traywatch again when the user's start-up list starts it (quoted or
; not) and none waits in this session, so that a watch the installer stopped goes on.
Function ResumeWatcher
  ReadRegStr $0 HKCU "${RUN_KEY}" "WysuwajPotem"
  ${If} $0 == "$INSTDIR\traywatch.exe"
  ${OrIf} $0 == '"$INSTDIR\traywatch.exe"'
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${WATCHER_MUTEX}") p .r1'
    ${If} $1 P= 0
      Exec '"$INSTDIR\traywatch.exe"'
    ${Else}
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
  ${EndIf}
FunctionEnd

; A file that stays in use after the retries the user asked for ends the installation: the
; watch goes on as before, and a silent installation exits with 2.
!macro InstallFile NAME
  ${Do}
    ClearErrors
    File "${FILES}\${NAME}"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Nie można zapisać pliku:$\r$\n$INSTDIR\${NAME}$\r$\n$\r$\nPlik jest używany, zapewne przez uruchomiony program. Zamknij go i kliknij Ponów albo kliknij Anuluj, aby przerwać instalację." /SD IDCANCEL IDRETRY`
      Call ResumeWatcher
      SetErrorLevel 2
      Abort "Nie zapisano pliku ${NAME}: instalacja przerwana."
    ${EndIf}
  ${Loop}
!macroend

Section "Zelvo CD"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  Call StopWatcher
  ; A file in use is reported below instead of the toolkit's own Abort/Retry/Ignore box.
  SetOverwrite try
  !insertmacro ForEachFile InstallFile
  ; Earlier releases carried the guide as a text file; nothing may stay that the uninstaller
  ; does not know.
  Delete "$INSTDIR\PRZEWODNIK.txt"
  WriteUninstaller "$INSTDIR\odinstaluj.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Konfigurator Zelvo CD.lnk" "$INSTDIR\konfigurator.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\konfigurator.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\odinstaluj.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\odinstaluj.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" 256

  Call ResumeWatcher
SectionEnd

; Deletes a start-up value only when it starts a program in the installation folder, quoted or
; not; a value that points elsewhere belongs to another copy and stays.
!macro RemoveRunValue NAME
  ReadRegStr $0 HKCU "${RUN_KEY}" "${NAME}"
  StrLen $1 "$INSTDIR\"
  StrCpy $2 $0 $1
  IntOp $1 $1 + 1
  StrCpy $3 $0 $1
  ${If} $2 == "$INSTDIR\"
  ${OrIf} $3 == '"$INSTDIR\'
    DeleteRegValue HKCU "${RUN_KEY}" "${NAME}"
  ${EndIf}
!macroend

; A file that stays in use ends the uninstallation before the start-up values, the shortcut and
; the registration go, so that it can be run again from the list of installed programs; a
; silent one exits with 2.
!macro UninstallFile NAME
  ${Do}
    ClearErrors
    Delete "$INSTDIR\${NAME}"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Nie można usunąć pliku:$\r$\n$INSTDIR\${NAME}$\r$\n$\r$\nPlik jest używany, zapewne przez uruchomiony program. Zamknij go i kliknij Ponów albo kliknij Anuluj, aby przerwać deinstalację." /SD IDCANCEL IDRETRY`
      SetErrorLevel 2
      Abort "Nie usunięto pliku ${NAME}: deinstalacja przerwana."
    ${EndIf}
  ${Loop}
!macroend

Section "Uninstall"
  SetShellVarContext current
  Call un.StopWatcher
  !insertmacro ForEachFile UninstallFile
  !insertmacro UninstallFile "PRZEWODNIK.txt"
  ; The uninstaller runs from a copy of itself, except when started with _?= (then it stays).
  Delete "$INSTDIR\odinstaluj.exe"
  RMDir "$INSTDIR"
  !insertmacro RemoveRunValue "WysuwajTeraz"
  !insertmacro RemoveRunValue "WysuwajPotem"
  Delete "$SMPROGRAMS\${PRODUCT}\Konfigurator Zelvo CD.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
