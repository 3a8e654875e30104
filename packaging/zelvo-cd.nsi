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
!include "FileFunc.nsh"

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
!define UNINSTALLER "odinstaluj.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelvoCD"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; A waiting traywatch: its hidden window's class, the registered message that ends it without
; its scan (so no tray opens), and its single-instance mutex.
!define WATCHER_CLASS "Zelvo CD traywatch"
!define WATCHER_QUIET_STOP "ZelvoCD.StopWatching"
!define WATCHER_MUTEX "Local\Zelvo CD traywatch.exe"
!define WATCHER_STOP_DEADLINE_MS 10000
; A file held open is tried again for this long before it counts as in use: a program that has
; just ended may hold it a moment longer, and on Windows so do virus scanners and the indexer.
!define BUSY_RETRY_MS 5000
!define BUSY_RETRY_STEP_MS 250
; How long the uninstaller's last step waits for the uninstaller that started it to end.
!define UNINSTALLER_END_DEADLINE_MS 10000
; Windows starts no program, follows no shortcut and runs no uninstaller whose path, with its
; terminating zero, is longer than this.
!define MAX_PATH 260
!define SYNCHRONIZE 0x00100000
!define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
!define WAIT_OBJECT_0 0
!define GENERIC_WRITE_AND_DELETE 0x40010000
!define CREATE_NEW 1
!define OPEN_EXISTING 3
!define FILE_FLAG_DELETE_ON_CLOSE 0x04000000
!define FILE_ATTRIBUTE_READONLY 1
!define INVALID_FILE_ATTRIBUTES -1
!define INVALID_HANDLE_VALUE -1
!define ERROR_ACCESS_DENIED 5
!define ERROR_WRITE_PROTECT 19
!define ERROR_SHARING_VIOLATION 32
!define ERROR_LOCK_VIOLATION 33
!define ERROR_HANDLE_DISK_FULL 39
!define ERROR_DISK_FULL 112
!define ERROR_ALREADY_EXISTS 183
; Not a system error: a write failed and trying it again found no reason.
!define ERROR_UNKNOWN -1

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
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE RefuseLongFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

; Where the work stopped, for the message and the exit code: the file or folder, and the
; Windows error code (0 while all goes well).
Var FailedPath
Var FailedCode
; 1 once a traywatch of the installation did not end when asked to.
Var WatcherFrozen
; The outermost folder this installation made on the way to the installation folder ("" when
; that was there already), so that a failure takes away all it made.
Var FolderMade

; The files of a release, as they lie in the installation folder.
!macro ForEachReleaseFile MACRO
  !insertmacro ${MACRO} "traywatch.exe"
  !insertmacro ${MACRO} "trayflush.exe"
  !insertmacro ${MACRO} "traypop.exe"
  !insertmacro ${MACRO} "konfigurator.exe"
  !insertmacro ${MACRO} "PRZEWODNIK.html"
  !insertmacro ${MACRO} "LICENCJA.txt"
!macroend

; Every file an installation may hold, the uninstaller and an earlier release's text guide
; included: an upgrade replaces or removes each one, the uninstaller removes each one. The
; programs come first: one left running is the likeliest reason to stop, and is found first.
!macro ForEachFile MACRO
  !insertmacro ForEachReleaseFile "${MACRO}"
  !insertmacro ${MACRO} "${UNINSTALLER}"
  !insertmacro ${MACRO} "PRZEWODNIK.txt"
!macroend

; Step FUNCTION NAME: one step of the work for one file, by the installer's or the
; uninstaller's FUNCTION, which finds the file's name in $R0.
!macro Step FUNCTION NAME
  StrCpy $R0 "${NAME}"
  !ifdef __UNINSTALL__
    Call un.${FUNCTION}
  !else
    Call ${FUNCTION}
  !endif
!macroend

; The installer and the uninstaller replace and remove files the same way, all or nothing:
; first every file is checked (CheckFile), then each is moved aside (MoveAside) to a name from
; which it can be put back (RestoreAside), and only when all that worked are the files moved
; aside deleted (DropAside). The registers $0-$4 and $9 belong to the watcher functions, $R0-$R3
; to the file functions.
!macro SharedFunctions UN
; StopWatcher: ends a traywatch that runs from the installation folder, and so holds its file,
; with its quiet stop, then waits for its process to go. A traywatch of another copy of the suite
; is left waiting. One that does not end in time is frozen: its file stays in use, which the
; file checks report, and the user is told that the watch is lost (ResumeWatcher).
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
        ; Gone: its window went with it, so the search starts again.
        ${If} $4 = ${WAIT_OBJECT_0}
          StrCpy $0 0
        ${Else}
          StrCpy $WatcherFrozen 1
        ${EndIf}
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
  ${Loop}
FunctionEnd

; ResumeWatcher: starts the installed traywatch again when the user's start-up list starts it
; (quoted or not) and none waits in this session, so that a watch the work stopped goes on. One
; that is still there after it would not end keeps the session's place without watching, so the
; user is told that this session's end will open no tray.
Function ${UN}ResumeWatcher
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${WATCHER_MUTEX}") p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::CloseHandle(p r1)'
    ${If} $WatcherFrozen = 1
      MessageBox MB_OK|MB_ICONEXCLAMATION "Czekający program traywatch.exe nie odpowiada i nie dał się zatrzymać, więc przy zamykaniu tej sesji tacka się nie wysunie.$\r$\n$\r$\nZakończ go w Menedżerze zadań, a potem otwórz konfigurator i kliknij Zapisz ustawienia albo wyloguj się i zaloguj ponownie." /SD IDOK
    ${EndIf}
    Return
  ${EndIf}
  ReadRegStr $0 HKCU "${RUN_KEY}" "WysuwajPotem"
  ${If} $0 == "$INSTDIR\traywatch.exe"
  ${OrIf} $0 == '"$INSTDIR\traywatch.exe"'
    Exec '"$INSTDIR\traywatch.exe"'
  ${EndIf}
FunctionEnd

; AsidePath: $R1 is the path the file named $R0 is moved aside to while the work can still be
; undone: its own name with the first letter turned into "~", no longer than the file's, so a
; folder that fits the files fits it too.
Function ${UN}AsidePath
  StrCpy $R1 $R0 "" 1
  StrCpy $R1 "$INSTDIR\~$R1"
FunctionEnd

; CheckFile: waits until the file named $R0 may be replaced or deleted, when it is there, or
; records why not. A file held open (by a program that is ending, or on Windows by a virus
; scanner or the indexer) is tried again for BUSY_RETRY_MS; a read-only file or a denied access
; is final. The running uninstaller's own file is left for its last step.
Function ${UN}CheckFile
  ${If} $FailedCode <> 0
  ${OrIf} "$INSTDIR\$R0" == $EXEPATH
    Return
  ${EndIf}
  StrCpy $R0 "$INSTDIR\$R0"
  System::Call 'kernel32::GetTickCount() i .R3'
  ${Do}
    System::Call 'kernel32::GetFileAttributesW(w R0) i .R2'
    ${If} $R2 = ${INVALID_FILE_ATTRIBUTES}
      Return ; nothing to replace
    ${EndIf}
    ; Windows deletes no read-only file, even where an account may still open it for writing.
    IntOp $R2 $R2 & ${FILE_ATTRIBUTE_READONLY}
    ${If} $R2 <> 0
      StrCpy $R1 ${ERROR_ACCESS_DENIED}
      ${Break}
    ${EndIf}
    ; Opened for writing and deleting with no sharing, which fails while anything holds it.
    System::Call 'kernel32::CreateFileW(w R0, i ${GENERIC_WRITE_AND_DELETE}, i 0, p 0, \
        i ${OPEN_EXISTING}, i 0, p 0) p .R2 ?e'
    Pop $R1
    ${If} $R2 P<> ${INVALID_HANDLE_VALUE}
      System::Call 'kernel32::CloseHandle(p R2)'
      Return
    ${EndIf}
    ${If} $R1 <> ${ERROR_SHARING_VIOLATION}
    ${AndIf} $R1 <> ${ERROR_LOCK_VIOLATION}
      ${Break} ; no matter of time
    ${EndIf}
    System::Call 'kernel32::GetTickCount() i .R2'
    IntOp $R2 $R2 - $R3
    ${If} $R2 >= ${BUSY_RETRY_MS}
      ${Break}
    ${EndIf}
    Sleep ${BUSY_RETRY_STEP_MS}
    ; A traywatch that was still starting when the work began (it had no window to be found
    ; by) has one by now.
    ${If} $WatcherFrozen <> 1
      Call ${UN}StopWatcher
    ${EndIf}
  ${Loop}
  StrCpy $FailedPath $R0
  StrCpy $FailedCode $R1
FunctionEnd

; MoveAside: moves the file named $R0, when it is there, to its aside path (a leftover of a run
; that was cut short is dropped first). The running uninstaller stays where it is.
Function ${UN}MoveAside
  ${If} $FailedCode <> 0
  ${OrIf} "$INSTDIR\$R0" == $EXEPATH
    Return
  ${EndIf}
  Call ${UN}AsidePath
  StrCpy $R0 "$INSTDIR\$R0"
  ${If} ${FileExists} $R0
    Delete $R1
    System::Call 'kernel32::MoveFileW(w R0, w R1) i .R2 ?e'
    Pop $R1
    ${If} $R2 = 0
      StrCpy $FailedPath $R0
      StrCpy $FailedCode $R1
    ${EndIf}
  ${EndIf}
FunctionEnd

; RestoreAside: puts the file named $R0 back from its aside path where nothing took its place.
Function ${UN}RestoreAside
  Call ${UN}AsidePath
  ${If} ${FileExists} $R1
  ${AndIfNot} ${FileExists} "$INSTDIR\$R0"
    Rename $R1 "$INSTDIR\$R0"
  ${EndIf}
FunctionEnd

; DropAside: deletes what the file named $R0 left at its aside path.
Function ${UN}DropAside
  Call ${UN}AsidePath
  Delete $R1
FunctionEnd

; Reason: $R2 tells the user, in a sentence, what $FailedCode means.
Function ${UN}Reason
  ${If} $WatcherFrozen = 1
  ${AndIf} $FailedPath == "$INSTDIR\traywatch.exe"
    StrCpy $R2 "Plik jest używany przez czekający program traywatch.exe, który nie odpowiada. Zakończ go w Menedżerze zadań."
  ${ElseIf} $FailedCode = ${ERROR_SHARING_VIOLATION}
  ${OrIf} $FailedCode = ${ERROR_LOCK_VIOLATION}
    StrCpy $R2 "Plik jest używany przez uruchomiony program. Zamknij ten program."
  ${ElseIf} $FailedCode = ${ERROR_ACCESS_DENIED}
  ${OrIf} $FailedCode = ${ERROR_WRITE_PROTECT}
    StrCpy $R2 "Brak uprawnień do zapisu: plik albo folder jest tylko do odczytu lub dostęp do niego jest zabroniony."
  ${ElseIf} $FailedCode = ${ERROR_DISK_FULL}
  ${OrIf} $FailedCode = ${ERROR_HANDLE_DISK_FULL}
    StrCpy $R2 "Na dysku brakuje miejsca."
  ${ElseIf} $FailedCode = ${ERROR_UNKNOWN}
    StrCpy $R2 "Zapis się nie powiódł."
  ${Else}
    StrCpy $R2 "Błąd systemu nr $FailedCode."
  ${EndIf}
FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; FolderLimit: $1 is the longest installation folder path that works, $2 the chosen one's length.
!macro LongestName NAME
  StrLen $1 "${NAME}"
  ${If} $1 > $0
    StrCpy $0 $1
  ${EndIf}
!macroend
Function FolderLimit
  StrCpy $0 0
  !insertmacro ForEachFile LongestName
  ; The backslash before the file's name and the terminating zero.
  IntOp $1 ${MAX_PATH} - $0
  IntOp $1 $1 - 2
  StrLen $2 $INSTDIR
FunctionEnd

!define LONG_FOLDER_TEXT "Ścieżka wybranego folderu ma $2 znaków, a może mieć najwyżej $1: Windows nie uruchamia programów, których pełna ścieżka ma 260 znaków lub więcej. Wybierz folder o krótszej ścieżce."

; The directory page keeps the user on it until the folder fits.
Function RefuseLongFolder
  Call FolderLimit
  ${If} $2 > $1
    MessageBox MB_OK|MB_ICONSTOP "${LONG_FOLDER_TEXT}"
    Abort
  ${EndIf}
FunctionEnd

; WriteFailed: a file at $R0 could not be written; trying to make it again, empty, tells why.
Function WriteFailed
  Delete $R0 ; whatever part of it was written
  System::Call 'kernel32::CreateFileW(w R0, i ${GENERIC_WRITE_AND_DELETE}, i 0, p 0, \
      i ${CREATE_NEW}, i ${FILE_FLAG_DELETE_ON_CLOSE}, p 0) p .R2 ?e'
  Pop $R1
  ${If} $R2 P<> ${INVALID_HANDLE_VALUE}
    System::Call 'kernel32::CloseHandle(p R2)'
    StrCpy $R1 ${ERROR_UNKNOWN}
  ${EndIf}
  StrCpy $FailedPath $R0
  StrCpy $FailedCode $R1
FunctionEnd

!macro ExtractFile NAME
  ${If} $FailedCode = 0
    ClearErrors
    File "${FILES}\${NAME}"
    ${If} ${Errors}
      StrCpy $R0 "$INSTDIR\${NAME}"
      Call WriteFailed
    ${EndIf}
  ${EndIf}
!macroend

; DeleteNew: deletes the file named $R0 that this installation wrote.
Function DeleteNew
  Delete "$INSTDIR\$R0"
FunctionEnd

; UnmakeFolder: removes the folders this installation made, empty as they are after a failure.
Function UnmakeFolder
  ${If} $FolderMade != ""
    SetOutPath "$TEMP" ; no folder can go while it is the current one
    StrCpy $0 $INSTDIR
    ${Do}
      RMDir $0
      ${If} $0 == $FolderMade
        ${Break}
      ${EndIf}
      ${GetParent} $0 $0
    ${Loop}
  ${EndIf}
FunctionEnd

; Replace: puts this release's files into the installation folder, in place of the ones there,
; all or none: on failure ($FailedCode) the folder holds what it held before.
Function Replace
  StrCpy $FailedCode 0
  !insertmacro ForEachFile "Step CheckFile"
  ${If} $FailedCode <> 0
    Return
  ${EndIf}
  StrCpy $FolderMade ""
  StrCpy $0 $INSTDIR
  ${Do}
    ${If} $0 == ""
    ${OrIf} ${FileExists} "$0\*.*"
      ${Break}
    ${EndIf}
    StrCpy $FolderMade $0
    ${GetParent} $0 $0
  ${Loop}
  System::Call 'shell32::SHCreateDirectoryExW(p 0, w "$INSTDIR", p 0) i .r0'
  ${If} $0 <> 0
  ${AndIf} $0 <> ${ERROR_ALREADY_EXISTS}
    StrCpy $FailedPath $INSTDIR
    StrCpy $FailedCode $0
    Call UnmakeFolder
    Return
  ${EndIf}
  !insertmacro ForEachFile "Step MoveAside"
  ${If} $FailedCode = 0
    SetOutPath "$INSTDIR"
    ; A file that cannot be written is reported below instead of the toolkit's own box.
    SetOverwrite try
    !insertmacro ForEachReleaseFile ExtractFile
    ${If} $FailedCode = 0
      ClearErrors
      WriteUninstaller "$INSTDIR\${UNINSTALLER}"
      ${If} ${Errors}
        StrCpy $R0 "$INSTDIR\${UNINSTALLER}"
        Call WriteFailed
      ${EndIf}
    ${EndIf}
    ${If} $FailedCode <> 0
      !insertmacro ForEachFile "Step DeleteNew"
    ${EndIf}
  ${EndIf}
  ${If} $FailedCode <> 0
    !insertmacro ForEachFile "Step RestoreAside"
    Call UnmakeFolder
    Return
  ${EndIf}
  !insertmacro ForEachFile "Step DropAside"
FunctionEnd

; A folder whose files could not be started, a file that stays in use or cannot be written, or
; a Cancel, ends the installation with nothing changed: the earlier version stays whole and
; registered, the watch goes on, and a silent installation exits with 2.
Section "Zelvo CD"
  SetShellVarContext current
  Call FolderLimit
  ${If} $2 > $1
    MessageBox MB_OK|MB_ICONSTOP "${LONG_FOLDER_TEXT}" /SD IDOK
    SetErrorLevel 2
    Abort "Instalacja przerwana: nic nie zostało zmienione."
  ${EndIf}
  Call StopWatcher
  ${Do}
    Call Replace
    ${If} $FailedCode = 0
      ${Break}
    ${EndIf}
    Call Reason
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Nie można zapisać:$\r$\n$FailedPath$\r$\n$\r$\n$R2$\r$\n$\r$\nKliknij Ponów, aby spróbować ponownie, albo Anuluj, aby przerwać instalację. Nic nie zostało zmienione." /SD IDCANCEL IDRETRY`
      Call ResumeWatcher
      SetErrorLevel 2
      Abort "Instalacja przerwana: nic nie zostało zmienione."
    ${EndIf}
  ${Loop}

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Konfigurator Zelvo CD.lnk" "$INSTDIR\konfigurator.exe"

  ; The registered commands run the uninstaller in place (_?=), so that whoever runs them
  ; waits for the work and gets its outcome as the exit code.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\konfigurator.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}" _?=$INSTDIR'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" 256

  Call ResumeWatcher
SectionEnd

; The uninstaller's last step. Run in place (as the registered commands run it, with _?=), it
; cannot delete its own file while it runs, so it starts a copy of itself from its temporary
; folder with /AFTER=<its process id>; that copy waits for it to end, at most
; UNINSTALLER_END_DEADLINE_MS, then deletes the uninstaller and the folder, and stays in the
; temporary folder, as the toolkit's own copies of an uninstaller do.
Function un.onInit
  ClearErrors
  ${GetOptions} $CMDLINE "/AFTER=" $0
  ${IfNot} ${Errors}
    IntOp $0 $0 + 0
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r0) p .r1'
    ${If} $1 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r1, i ${UNINSTALLER_END_DEADLINE_MS}) i'
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    Quit
  ${EndIf}
FunctionEnd

; Run in place, the uninstaller leaves its own file and the folder to its copy (un.onInit), which
; it starts once its window has closed. Without that copy they would stay, so the exit code says
; the work is unfinished.
Function un.onUninstSuccess
  ${If} $EXEPATH == "$INSTDIR\${UNINSTALLER}"
    InitPluginsDir
    CopyFiles /SILENT "$EXEPATH" "$PLUGINSDIR\${UNINSTALLER}"
    System::Call 'kernel32::GetCurrentProcessId() i .r0'
    ClearErrors
    Exec '"$PLUGINSDIR\${UNINSTALLER}" /S /AFTER=$0 _?=$INSTDIR'
    ${If} ${Errors}
      SetErrorLevel 2
    ${EndIf}
  ${EndIf}
FunctionEnd

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

; un.Remove: deletes the installation's files, all or none (see SharedFunctions).
Function un.Remove
  StrCpy $FailedCode 0
  !insertmacro ForEachFile "Step CheckFile"
  !insertmacro ForEachFile "Step MoveAside"
  ${If} $FailedCode <> 0
    !insertmacro ForEachFile "Step RestoreAside"
    Return
  ${EndIf}
  !insertmacro ForEachFile "Step DropAside"
FunctionEnd

; A file that stays in use or cannot be deleted, or a Cancel, ends the uninstallation with
; nothing removed (so it can be run again from the list of installed programs), the watch
; going on; a silent one exits with 2. The uninstaller acts on the folder it lies in: a copy
; run from another folder leaves the registration and the shortcut, which name the
; installation they belong to.
Section "Uninstall"
  SetShellVarContext current
  Call un.StopWatcher
  ${Do}
    Call un.Remove
    ${If} $FailedCode = 0
      ${Break}
    ${EndIf}
    Call un.Reason
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Nie można usunąć:$\r$\n$FailedPath$\r$\n$\r$\n$R2$\r$\n$\r$\nKliknij Ponów, aby spróbować ponownie, albo Anuluj, aby przerwać deinstalację. Nic nie zostało usunięte." /SD IDCANCEL IDRETRY`
      Call un.ResumeWatcher
      SetErrorLevel 2
      Abort "Deinstalacja przerwana: nic nie zostało usunięte."
    ${EndIf}
  ${Loop}
  RMDir "$INSTDIR" ; unless the uninstaller runs from it (un.onUninstSuccess)
  !insertmacro RemoveRunValue "WysuwajTeraz"
  !insertmacro RemoveRunValue "WysuwajPotem"
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${OrIf} $0 == $INSTDIR
    Delete "$SMPROGRAMS\${PRODUCT}\Konfigurator Zelvo CD.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
