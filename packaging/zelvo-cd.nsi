; Per-user installer for Zelvo CD: no administrator rights, installs into the user's own
; programs folder, adds a Start-menu shortcut to the configurator and an entry in the user's
; list of installed programs. Built with: makensis -DVERSION=x.y.z -DBIN=dir -DDOCS=dir -DOUT=file
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!ifndef VERSION
  !error "VERSION is required"
!endif

!define PRODUCT "Zelvo CD"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelvoCD"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT}"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An upgrade goes where the earlier version went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1045 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1045 "FileDescription" "Instalator programu ${PRODUCT}"
VIAddVersionKey /LANG=1045 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "LegalCopyright" "Zelvo CD"

!define MUI_FINISHPAGE_RUN "$INSTDIR\konfigurator.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Uruchom konfigurator"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

Section "Zelvo CD"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${BIN}\traypop.exe"
  File "${BIN}\trayflush.exe"
  File "${BIN}\traywatch.exe"
  File "${BIN}\konfigurator.exe"
  File "${DOCS}\PRZEWODNIK.txt"
  File "${DOCS}\LICENCJA.txt"
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
SectionEnd

; Deletes a start-up value only when it starts a program of this installation, quoted or not;
; a value that points elsewhere belongs to another copy and stays.
!macro RemoveRunValue NAME FILE
  ReadRegStr $0 HKCU "${RUN_KEY}" "${NAME}"
  StrCmp $0 "$INSTDIR\${FILE}" 0 +2
    DeleteRegValue HKCU "${RUN_KEY}" "${NAME}"
  StrCmp $0 '"$INSTDIR\${FILE}"' 0 +2
    DeleteRegValue HKCU "${RUN_KEY}" "${NAME}"
!macroend

Section "Uninstall"
  SetShellVarContext current
  !insertmacro RemoveRunValue "WysuwajTeraz" "trayflush.exe"
  !insertmacro RemoveRunValue "WysuwajPotem" "traywatch.exe"
  Delete "$INSTDIR\traypop.exe"
  Delete "$INSTDIR\trayflush.exe"
  Delete "$INSTDIR\traywatch.exe"
  Delete "$INSTDIR\konfigurator.exe"
  Delete "$INSTDIR\PRZEWODNIK.txt"
  Delete "$INSTDIR\LICENCJA.txt"
  Delete "$INSTDIR\odinstaluj.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\Konfigurator Zelvo CD.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
