; Per-user installer for Zelvo CD: no administrator rights, installs into the user's own
; programs folder, adds a Start-menu shortcut to the configurator and an entry in the user's
; list of installed programs. Built by scripts/package.sh with:
;   makensis -DVERSION=x.y.z -DFILES=dir -DPICTURES=dir -DOUT=file zelvo-cd.nsi
; where FILES holds the release's files and PICTURES its icon and side picture, all with the
; release's date (NSIS stores each file's date, the side picture's too).
Unicode true
Target amd64-unicode
; Drawn sharp at 150 and 200 %, not stretched by Windows; the uninstaller shares the manifest.
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"

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
; The record of an installation: the files it put into its folder, with their sizes, and its
; version. Only a file it names is the suite's to replace or delete. While an installation
; replaces files, its new record lies beside the old one under the staged name; the commit renames
; it into place and the old one to the aside name (see Recover).
!define RECORD "zelvo-cd.ini"
!define RECORD_STAGED "+elvo-cd.ini"
!define RECORD_ASIDE "~elvo-cd.ini"
; The switch that lets an older version replace a newer one in a silent installation.
!define DOWNGRADE_SWITCH "/DOWNGRADE"
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
!define OPEN_EXISTING 3
!define FILE_ATTRIBUTE_READONLY 1
!define FILE_ATTRIBUTE_DIRECTORY 0x10
!define FILE_ATTRIBUTE_DIRECTORY_OR_INVALID 0x80000010
!define INVALID_FILE_ATTRIBUTES -1
!define INVALID_HANDLE_VALUE -1
!define MOVEFILE_REPLACE_EXISTING 1
; CompareStringOrdinal: paths compared as the file system compares names, case ignored.
!define CSTR_EQUAL 2
!define ERROR_FILE_NOT_FOUND 2
!define ERROR_PATH_NOT_FOUND 3
!define ERROR_ACCESS_DENIED 5
!define ERROR_WRITE_PROTECT 19
!define ERROR_NOT_READY 21
!define ERROR_SHARING_VIOLATION 32
!define ERROR_LOCK_VIOLATION 33
!define ERROR_HANDLE_DISK_FULL 39
!define ERROR_FILE_EXISTS 80
!define ERROR_DISK_FULL 112
!define ERROR_ALREADY_EXISTS 183
; Not a system error: a file was written without an error but is not whole.
!define ERROR_INCOMPLETE -1

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
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeaveFolderPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

; Where the work stopped, for the message and the exit code: the file or folder, the Windows
; error code (0 while all goes well) and, for a lack of space, the figures.
Var FailedPath
Var FailedCode
Var FailedDetail
; 1 once a traywatch of the installation did not end when asked to.
Var WatcherFrozen
; 1 once the installation has stopped a waiting traywatch, which a failure starts again.
Var WatcherStopped
; The outermost folder this installation made on the way to the installation folder ("" when
; that was there already), so that a failure takes away all it made.
Var FolderMade
; Canonical's path, and why the installation would not use it ("" when it would).
Var Path
Var PathProblem
; The file a record step works on: its name, and its paths in the installation folder under its
; own name, aside (first letter "~") and staged (first letter "+"); each is as long as the name,
; so a folder that fits the files fits them too.
Var Index
Var Name
Var Target
Var Aside
Var Staged
; The record of what the folder held before the work ("" for none); whether Recover found every
; file of a record whole; 1 once a rename or a delete failed since it was last set to 0.
Var Previous
Var Whole
Var StepFailed
; This release, ready to be copied: its files, its uninstaller and its record, and their size.
Var Suite
Var SuiteBytes
Var SuiteKB
; What FindInstallation found in a folder: the installation's record ("legacy" for one from
; before the records, vouched for by the registration), its version, and 1 when the folder holds
; any record of ours, finished or not.
Var Found
Var FoundVersion
Var FoundOurs
Var AllowDowngrade
; 1 once the installation has begun to change the folder, and 1 when it wrote the record of an
; installation from before the records.
Var Transacting
Var Adopted

; ${If} PATH SamePath PATH: the two paths name the same file as Windows compares names.
!macro _SamePath _a _b _t _f
  !insertmacro _LOGICLIB_TEMP
  Push `${_b}`
  Push `${_a}`
  System::Call 'kernel32::CompareStringOrdinal(w s, i -1, w s, i -1, i 1) i .s'
  Pop $_LOGICLIB_TEMP
  IntCmp $_LOGICLIB_TEMP ${CSTR_EQUAL} `${_t}` `${_f}` `${_f}`
!macroend

; ${If} ${IsFolder} PATH: PATH is a folder (an empty drive's root too, which lists no entries).
!define IsFolder `"" IsFolder`
!macro _IsFolder _a _b _t _f
  !insertmacro _LOGICLIB_TEMP
  Push `${_b}\`
  System::Call 'kernel32::GetFileAttributesW(w s) i .s'
  Pop $_LOGICLIB_TEMP
  ; INVALID_FILE_ATTRIBUTES has every bit set, an attribute never the highest.
  IntOp $_LOGICLIB_TEMP $_LOGICLIB_TEMP & ${FILE_ATTRIBUTE_DIRECTORY_OR_INVALID}
  IntCmp $_LOGICLIB_TEMP ${FILE_ATTRIBUTE_DIRECTORY} `${_t}` `${_f}` `${_f}`
!macroend

; CallShared FUNCTION: the installer's or the uninstaller's copy of a shared function.
!macro CallShared FUNCTION
  !ifdef __UNINSTALL__
    Call un.${FUNCTION}
  !else
    Call ${FUNCTION}
  !endif
!macroend

; FileSize PATH OUT: the file's size in bytes, "" when it cannot be read.
!macro FileSize PATH OUT
  Push `${PATH}`
  !insertmacro CallShared FileSize
  Pop ${OUT}
!macroend

; ForEachRecorded RECORD FUNCTION: FUNCTION for every file RECORD names, in its order, with the
; name in $Name. A missing RECORD names none.
!macro ForEachRecorded RECORD FUNCTION
  StrCpy $Index 1
  ${Do}
    ReadINIStr $Name "${RECORD}" "Pliki" $Index
    ${If} $Name == ""
      ${Break}
    ${EndIf}
    !insertmacro CallShared ${FUNCTION}
    IntOp $Index $Index + 1
  ${Loop}
!macroend

; Failed PATH CODE: the work stops at PATH for CODE, unless it stopped earlier.
!macro Failed PATH CODE
  ${If} $FailedCode = 0
    StrCpy $FailedPath `${PATH}`
    StrCpy $FailedCode `${CODE}`
  ${EndIf}
!macroend

; MoveFile FROM TO FLAGS: renames FROM to TO (over it with MOVEFILE_REPLACE_EXISTING), recording
; why when it fails. A rename writes no file data, so it needs no free space.
!macro MoveFile FROM TO FLAGS
  Push `${TO}`
  Push `${FROM}`
  System::Call 'kernel32::MoveFileExW(w s, w s, i ${FLAGS}) i .r0 ?e'
  Pop $1
  ${If} $0 = 0
    !insertmacro Failed `${FROM}` $1
    StrCpy $StepFailed 1
  ${EndIf}
!macroend

; RemoveFile PATH: deletes PATH when it is there, recording why when it stays.
!macro RemoveFile PATH
  Push `${PATH}`
  System::Call 'kernel32::DeleteFileW(w s) i .r0 ?e'
  Pop $1
  ${If} $0 = 0
  ${AndIf} $1 <> ${ERROR_FILE_NOT_FOUND}
    !insertmacro Failed `${PATH}` $1
    StrCpy $StepFailed 1
  ${EndIf}
!macroend

; The files of a release, as they lie in the installation folder. The programs come first: one
; left running is the likeliest reason to stop, and is found first.
!macro ForEachReleaseFile MACRO
  !insertmacro ${MACRO} "traywatch.exe"
  !insertmacro ${MACRO} "trayflush.exe"
  !insertmacro ${MACRO} "traypop.exe"
  !insertmacro ${MACRO} "konfigurator.exe"
  !insertmacro ${MACRO} "PRZEWODNIK.html"
  !insertmacro ${MACRO} "LICENCJA.txt"
!macroend

; The installer and the uninstaller share the watcher's stop and restart, the folder's spelling
; and the all-or-nothing work on the files named by a record. The registers $0-$4 and $9 belong
; to the watcher functions, $R0-$R3 to the file steps, $0 and $1 to the file macros.
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
      ${AndIf} $3 SamePath "$INSTDIR\traywatch.exe"
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

; Canonical: $Path becomes the full path Windows itself makes of it (GetFullPathNameW: "." and
; ".." resolved, doubled separators and trailing dots and blanks gone), without a trailing
; separator, before anything is checked, written, compared or registered with it. $PathProblem
; says why the suite will not use it: only a full path on a lettered drive names one folder for
; every program that reads it.
Function ${UN}Canonical
  Push $0
  Push $1
  StrCpy $PathProblem ""
  StrCpy $0 0
  ${Do}
    StrCpy $1 $Path 1 $0
    ${If} $1 == ""
      ${Break}
    ${ElseIf} $1 == '"'
      StrCpy $PathProblem "jest w cudzysłowie"
    ${ElseIf} $1 == "/"
    ${AndIf} $PathProblem == ""
      StrCpy $PathProblem "ma ukośniki „/” zamiast „\”"
    ${EndIf}
    IntOp $0 $0 + 1
  ${Loop}
  StrCpy $0 $Path 2
  StrCpy $1 $Path 1 2
  ${If} $PathProblem != ""
    ; already said
  ${ElseIf} $0 == "\\"
    StrCpy $PathProblem "jest ścieżką sieciową (UNC)"
  ${Else}
    Push $Path
    System::Call 'shlwapi::PathGetDriveNumberW(w s) i .r0'
    ${If} $0 < 0
    ${OrIf} $1 != "\"
      StrCpy $PathProblem "nie jest pełną ścieżką z literą dysku"
    ${EndIf}
  ${EndIf}
  ${If} $PathProblem == ""
    Push $Path
    System::Call 'kernel32::GetFullPathNameW(w s, i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r0'
    ; A path longer than the buffer stays as given: the length check refuses it.
    ${If} $0 > 0
    ${AndIf} $0 < ${NSIS_MAX_STRLEN}
      StrCpy $Path $1
    ${EndIf}
    StrCpy $1 $Path 1 -1
    ${If} $1 == "\"
      StrCpy $Path $Path -1
    ${EndIf}
    StrLen $0 $Path
    ${If} $0 <= 2
      StrCpy $PathProblem "jest głównym folderem dysku"
    ${EndIf}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; RunProgram: $Path, a start-up value, becomes the canonical path of the program it starts (the
; text in quotes, or the whole value without them); $PathProblem says when it names none.
Function ${UN}RunProgram
  StrCpy $R0 $Path 1
  ${If} $R0 == '"'
    StrCpy $Path $Path "" 1
    StrCpy $R0 0
    ${Do}
      StrCpy $R1 $Path 1 $R0
      ${If} $R1 == '"'
      ${OrIf} $R1 == ""
        ${Break}
      ${EndIf}
      IntOp $R0 $R0 + 1
    ${Loop}
    StrCpy $Path $Path $R0
  ${EndIf}
  Call ${UN}Canonical
FunctionEnd

; ResumeWatcher: starts the installed traywatch again when the user's start-up list starts it
; and none waits in this session, so that a watch the work stopped goes on. One that is still
; there after it would not end keeps the session's place without watching, so the user is told
; that this session's end will open no tray.
Function ${UN}ResumeWatcher
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${WATCHER_MUTEX}") p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::CloseHandle(p r1)'
    ${If} $WatcherFrozen = 1
      MessageBox MB_OK|MB_ICONEXCLAMATION "Czekający program traywatch.exe nie odpowiada i nie dał się zatrzymać, więc przy zamykaniu tej sesji tacka się nie wysunie.$\r$\n$\r$\nZakończ go w Menedżerze zadań, a potem otwórz konfigurator i kliknij Zapisz ustawienia albo wyloguj się i zaloguj ponownie." /SD IDOK
    ${EndIf}
    Return
  ${EndIf}
  ReadRegStr $Path HKCU "${RUN_KEY}" "WysuwajPotem"
  Call ${UN}RunProgram
  ${If} $PathProblem == ""
  ${AndIf} $Path SamePath "$INSTDIR\traywatch.exe"
    Exec '"$INSTDIR\traywatch.exe"'
  ${EndIf}
FunctionEnd

; FileSize: replaces the path on the stack with the file's size in bytes ("" when unreadable).
Function ${UN}FileSize
  Exch $0
  Push $1
  ClearErrors
  FileOpen $1 $0 r
  ${If} ${Errors}
    StrCpy $0 ""
  ${Else}
    FileSeek $1 0 END $0
    FileClose $1
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; NamesOf: the paths of the file named $Name.
Function ${UN}NamesOf
  StrCpy $Target "$INSTDIR\$Name"
  StrCpy $Aside $Name "" 1
  StrCpy $Staged "$INSTDIR\+$Aside"
  StrCpy $Aside "$INSTDIR\~$Aside"
FunctionEnd

; CheckFile: waits until the file named $Name may be replaced or deleted, when it is there, or
; records why not. A file held open (by a program that is ending, or on Windows by a virus
; scanner or the indexer) is tried again for BUSY_RETRY_MS; a read-only file or a denied access
; is final. The running uninstaller's own file is left for its last step.
Function ${UN}CheckFile
  Call ${UN}NamesOf
  ${If} $FailedCode <> 0
  ${OrIf} $Target SamePath $EXEPATH
    Return
  ${EndIf}
  System::Call 'kernel32::GetTickCount() i .R3'
  ${Do}
    System::Call 'kernel32::GetFileAttributesW(w "$Target") i .R2'
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
    System::Call 'kernel32::CreateFileW(w "$Target", i ${GENERIC_WRITE_AND_DELETE}, i 0, p 0, \
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
  !insertmacro Failed $Target $R1
FunctionEnd

; Recover: brings the installation folder back to one whole version after work that was cut
; short, by a failure or by a process killed at any point, from what the folder itself holds:
; - a staged record: an installation that has not committed. Every file it staged goes, every
;   file it put where there was none goes, and every file moved aside comes back, with its
;   record: the earlier version, byte for byte;
; - an aside record (and no staged one): a change that committed, whose backups remain. They
;   go, but only once every file of the record in place is whole (of its recorded size);
;   otherwise the commit is undone as above;
; - a record alone: an uninstallation cut short before its commit; the files it moved aside
;   come back.
; A step that fails leaves the rest for the next run, which goes on from there.
Function ${UN}Recover
  StrCpy $StepFailed 0
  ${Do}
    ${If} ${FileExists} "$INSTDIR\${RECORD_STAGED}"
      StrCpy $Previous ""
      ${If} ${FileExists} "$INSTDIR\${RECORD}"
        StrCpy $Previous "$INSTDIR\${RECORD}"
      ${ElseIf} ${FileExists} "$INSTDIR\${RECORD_ASIDE}"
        StrCpy $Previous "$INSTDIR\${RECORD_ASIDE}"
      ${EndIf}
      !insertmacro ForEachRecorded "$INSTDIR\${RECORD_STAGED}" UndoStaged
      !insertmacro ForEachRecorded $Previous PutBack
      ${If} $StepFailed = 0
      ${AndIf} $Previous == "$INSTDIR\${RECORD_ASIDE}"
        !insertmacro MoveFile $Previous "$INSTDIR\${RECORD}" 0
      ${EndIf}
      ${If} $StepFailed = 0
        !insertmacro RemoveFile "$INSTDIR\${RECORD_STAGED}"
      ${EndIf}
    ${ElseIf} ${FileExists} "$INSTDIR\${RECORD_ASIDE}"
      ${If} ${FileExists} "$INSTDIR\${RECORD}"
        StrCpy $Whole 1
        !insertmacro ForEachRecorded "$INSTDIR\${RECORD}" CheckWhole
        ${If} $Whole = 0
          !insertmacro MoveFile "$INSTDIR\${RECORD}" "$INSTDIR\${RECORD_STAGED}" 0
          ${If} $StepFailed = 0
            ${Continue}
          ${EndIf}
          ${Break}
        ${EndIf}
      ${EndIf}
      !insertmacro ForEachRecorded "$INSTDIR\${RECORD_ASIDE}" DropAside
      ${If} $StepFailed = 0
        !insertmacro RemoveFile "$INSTDIR\${RECORD_ASIDE}"
      ${EndIf}
    ${ElseIf} ${FileExists} "$INSTDIR\${RECORD}"
      !insertmacro ForEachRecorded "$INSTDIR\${RECORD}" PutBackMissing
    ${EndIf}
    ${Break}
  ${Loop}
FunctionEnd

; UndoStaged: takes away what the staged record's file $Name left: its staged copy, or, where the
; earlier version had no such file, the new file itself (of the staged size: the one put there).
Function ${UN}UndoStaged
  Call ${UN}NamesOf
  ${If} ${FileExists} $Staged
    !insertmacro RemoveFile $Staged
  ${Else}
    ReadINIStr $R0 $Previous "Rozmiary" $Name
    ReadINIStr $R1 "$INSTDIR\${RECORD_STAGED}" "Rozmiary" $Name
    !insertmacro FileSize $Target $R2
    ${If} $R0 == ""
    ${AndIf} $R2 == $R1
      !insertmacro RemoveFile $Target
    ${EndIf}
  ${EndIf}
FunctionEnd

; PutBack: the earlier file $Name comes back from aside, over what took its place.
Function ${UN}PutBack
  Call ${UN}NamesOf
  ${If} ${FileExists} $Aside
    !insertmacro MoveFile $Aside $Target ${MOVEFILE_REPLACE_EXISTING}
  ${EndIf}
FunctionEnd

; PutBackMissing: a file moved aside comes back where its place is empty or holds no whole file;
; beside a whole one it is a copy no longer needed.
Function ${UN}PutBackMissing
  Call ${UN}NamesOf
  ${If} ${FileExists} $Aside
    ReadINIStr $R0 "$INSTDIR\${RECORD}" "Rozmiary" $Name
    !insertmacro FileSize $Target $R1
    ${If} $R1 == $R0
      !insertmacro RemoveFile $Aside
    ${Else}
      !insertmacro MoveFile $Aside $Target ${MOVEFILE_REPLACE_EXISTING}
    ${EndIf}
  ${EndIf}
FunctionEnd

; CheckWhole: $Whole becomes 0 when the file $Name is not of the size its record gives.
Function ${UN}CheckWhole
  Call ${UN}NamesOf
  ReadINIStr $R0 "$INSTDIR\${RECORD}" "Rozmiary" $Name
  !insertmacro FileSize $Target $R1
  ${If} $R1 != $R0
    StrCpy $Whole 0
  ${EndIf}
FunctionEnd

; DropAside: deletes the backup of the file $Name.
Function ${UN}DropAside
  Call ${UN}NamesOf
  !insertmacro RemoveFile $Aside
FunctionEnd

; Reason: $R2 tells the user, in a sentence, what $FailedCode means.
Function ${UN}Reason
  ${If} $WatcherFrozen = 1
  ${AndIf} $FailedPath SamePath "$INSTDIR\traywatch.exe"
    StrCpy $R2 "Plik jest używany przez czekający program traywatch.exe, który nie odpowiada. Zakończ go w Menedżerze zadań."
  ${ElseIf} $FailedCode = ${ERROR_SHARING_VIOLATION}
  ${OrIf} $FailedCode = ${ERROR_LOCK_VIOLATION}
    StrCpy $R2 "Plik jest używany przez uruchomiony program. Zamknij ten program."
  ${ElseIf} $FailedCode = ${ERROR_ACCESS_DENIED}
  ${OrIf} $FailedCode = ${ERROR_WRITE_PROTECT}
    StrCpy $R2 "Brak uprawnień do zapisu: plik albo folder jest tylko do odczytu lub dostęp do niego jest zabroniony."
  ${ElseIf} $FailedCode = ${ERROR_DISK_FULL}
  ${OrIf} $FailedCode = ${ERROR_HANDLE_DISK_FULL}
    StrCpy $R2 "Na dysku brakuje miejsca.$FailedDetail"
  ${ElseIf} $FailedCode = ${ERROR_PATH_NOT_FOUND}
  ${OrIf} $FailedCode = ${ERROR_NOT_READY}
    StrCpy $R2 "Dysk albo folder jest niedostępny."
  ${ElseIf} $FailedCode = ${ERROR_FILE_EXISTS}
  ${OrIf} $FailedCode = ${ERROR_ALREADY_EXISTS}
    StrCpy $R2 "Plik o tej nazwie już istnieje i nie należy do instalacji Zelvo CD."
  ${ElseIf} $FailedCode = ${ERROR_INCOMPLETE}
    StrCpy $R2 "Plik nie został zapisany w całości."
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
  !insertmacro ForEachReleaseFile LongestName
  !insertmacro LongestName "${UNINSTALLER}"
  ; The backslash before the file's name and the terminating zero.
  IntOp $1 ${MAX_PATH} - $0
  IntOp $1 $1 - 2
  StrLen $2 $INSTDIR
FunctionEnd

; RecordFile NAME: enters the file NAME of $Suite into the release's record.
!macro RecordFile NAME
  IntOp $Index $Index + 1
  !insertmacro FileSize "$Suite\${NAME}" $0
  WriteINIStr "$Suite\${RECORD}" "Pliki" $Index "${NAME}"
  WriteINIStr "$Suite\${RECORD}" "Rozmiary" "${NAME}" $0
  IntOp $SuiteBytes $SuiteBytes + $0
!macroend
!macro PrepareFile NAME
  File "/oname=$Suite\${NAME}" "${FILES}\${NAME}"
  !insertmacro RecordFile "${NAME}"
!macroend

; Prepare: unpacks this release, its uninstaller and its record into the installer's temporary
; folder, so that every write into the installation folder is a copy whose outcome is checked,
; and the folder page shows the real size. The version goes last into the record: a record cut
; short has none, and counts as none.
Function Prepare
  InitPluginsDir
  StrCpy $Suite "$PLUGINSDIR\wydanie"
  CreateDirectory $Suite
  StrCpy $Index 0
  StrCpy $SuiteBytes 0
  !insertmacro ForEachReleaseFile PrepareFile
  WriteUninstaller "$Suite\${UNINSTALLER}"
  !insertmacro RecordFile "${UNINSTALLER}"
  WriteINIStr "$Suite\${RECORD}" "Zelvo CD" "Wersja" "${VERSION}"
  FlushINI "$Suite\${RECORD}"
  !insertmacro FileSize "$Suite\${RECORD}" $0
  IntOp $SuiteBytes $SuiteBytes + $0
  IntOp $SuiteKB $SuiteBytes + 1023
  IntOp $SuiteKB $SuiteKB / 1024
  SectionSetSize 0 $SuiteKB
FunctionEnd

; ReadFolderArgument: the folder given with /D=, read from the command line as Windows passed it.
; NSIS takes " /D=" and the rest of the line off its copy ($CMDLINE), and silently installs into
; the default folder when it cannot use the rest (a relative path, forward slashes, a drive's
; root, a network path) or does not read it at all (in quotes, or in small letters). Any of those
; ends the installation with exit code 2 and nothing written, instead of another folder.
Function ReadFolderArgument
  System::Call 'kernel32::GetCommandLineW() w .r0'
  StrLen $1 $CMDLINE
  StrCpy $Path $0 "" $1
  ${If} $Path != ""
    StrCpy $Path $Path "" 4
    Call Canonical
    ${If} $PathProblem == ""
      StrCpy $INSTDIR $Path
      Return
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "Instalator nie użyje folderu podanego w /D=: „$Path” $PathProblem. Podaj pełną ścieżkę folderu z literą dysku, np. /D=C:\Programy\Zelvo CD.$\r$\n$\r$\nNic nie zostało zmienione." /SD IDOK
  ${Else}
    ${GetParameters} $1
    StrLen $2 $1
    StrCpy $3 0
    ${Do}
      ${If} $3 >= $2
        ; no /D=: the registered folder or the default one, in its canonical form
        StrCpy $Path $INSTDIR
        Call Canonical
        ${If} $PathProblem == ""
          StrCpy $INSTDIR $Path
        ${EndIf}
        Return
      ${EndIf}
      StrCpy $4 $1 3 $3
      ${If} $4 == "/D="
        ${Break}
      ${EndIf}
      IntOp $3 $3 + 1
    ${Loop}
    MessageBox MB_OK|MB_ICONSTOP "Instalator nie odczytał folderu z parametru /D= (w cudzysłowie albo nie wielkimi literami). Podaj go jako ostatni parametr, bez cudzysłowu: /D=C:\Programy\Zelvo CD.$\r$\n$\r$\nNic nie zostało zmienione." /SD IDOK
  ${EndIf}
  SetErrorLevel 2
  Abort
FunctionEnd

Function .onInit
  ClearErrors
  ${GetOptions} $CMDLINE "${DOWNGRADE_SWITCH}" $0
  ${IfNot} ${Errors}
    StrCpy $AllowDowngrade 1
  ${EndIf}
  Call ReadFolderArgument
  Call Prepare
FunctionEnd

; FindInstallation: what the folder $Path holds of the suite (see Found). An unfinished change
; counts as the version it started from, as Recover brings that back.
Function FindInstallation
  StrCpy $Found ""
  StrCpy $FoundVersion ""
  StrCpy $FoundOurs 1
  ${If} ${FileExists} "$Path\${RECORD_STAGED}"
  ${AndIfNot} ${FileExists} "$Path\${RECORD}"
    StrCpy $Found "$Path\${RECORD_ASIDE}"
  ${ElseIf} ${FileExists} "$Path\${RECORD}"
    StrCpy $Found "$Path\${RECORD}"
  ${ElseIfNot} ${FileExists} "$Path\${RECORD_ASIDE}"
    StrCpy $FoundOurs 0
    ; From before the records: the registration names the folder, which holds its uninstaller.
    Push $Path
    ReadRegStr $Path HKCU "${UNINSTALL_KEY}" "InstallLocation"
    Call Canonical
    Exch $Path
    Pop $0
    ${If} $0 SamePath $Path
    ${AndIf} ${FileExists} "$Path\${UNINSTALLER}"
      StrCpy $Found "legacy"
      ReadRegStr $FoundVersion HKCU "${UNINSTALL_KEY}" "DisplayVersion"
    ${EndIf}
    Return
  ${EndIf}
  ReadINIStr $FoundVersion $Found "Zelvo CD" "Wersja"
  ${If} $FoundVersion == ""
    StrCpy $Found ""
  ${EndIf}
FunctionEnd

; Collides: $R0 is the path of a file by one of this release's names (or the names it writes
; on the way) that the folder holds and no record of ours there names, "" when there is none.
!macro CollisionName PATH
  ${If} $R0 == ""
  ${AndIf} ${FileExists} `${PATH}`
    StrCpy $R0 `${PATH}`
  ${EndIf}
!macroend
Function Collision
  Call NamesOf
  ${If} $Found == "legacy"
    Return ; the registration vouches for the release's names
  ${EndIf}
  ReadINIStr $R1 "$INSTDIR\${RECORD}" "Rozmiary" $Name
  ReadINIStr $R2 "$INSTDIR\${RECORD_STAGED}" "Rozmiary" $Name
  ReadINIStr $R3 "$INSTDIR\${RECORD_ASIDE}" "Rozmiary" $Name
  ${If} "$R1$R2$R3" == ""
    !insertmacro CollisionName $Target
  ${EndIf}
  ${If} $FoundOurs = 0
    !insertmacro CollisionName $Staged
    !insertmacro CollisionName $Aside
  ${EndIf}
FunctionEnd
Function Collides
  StrCpy $R0 ""
  !insertmacro ForEachRecorded "$Suite\${RECORD}" Collision
  ${If} $FoundOurs = 0
    !insertmacro CollisionName "$INSTDIR\${RECORD}"
    !insertmacro CollisionName "$INSTDIR\${RECORD_STAGED}"
    !insertmacro CollisionName "$INSTDIR\${RECORD_ASIDE}"
  ${EndIf}
FunctionEnd

!define LONG_FOLDER_TEXT "Ścieżka wybranego folderu ma $2 znaków, a może mieć najwyżej $1: Windows nie uruchamia programów, których pełna ścieżka ma 260 znaków lub więcej. Wybierz folder o krótszej ścieżce."

; Admit: whether the installation may go into $INSTDIR ($R9 is 1) or not (0), asking the user
; where a choice is theirs; a silent installation takes every question's answer "no". The
; folder must have the canonical form, fit the longest path, hold no other registered
; installation's place, hold no newer version (unless DOWNGRADE_SWITCH allows it), and, when it
; holds no installation of ours, be empty or confirmed; a file by one of the suite's names that
; no record names is never replaced.
Function Admit
  StrCpy $R9 0
  StrCpy $Path $INSTDIR
  Call Canonical
  ${If} $PathProblem != ""
    MessageBox MB_OK|MB_ICONSTOP "Instalator nie użyje folderu „$Path”: $PathProblem. Podaj pełną ścieżkę folderu z literą dysku, np. C:\Programy\Zelvo CD." /SD IDOK
    Return
  ${EndIf}
  StrCpy $INSTDIR $Path
  ; One registered installation: another folder would leave the registered one unlisted.
  ReadRegStr $Path HKCU "${UNINSTALL_KEY}" "InstallLocation"
  Call Canonical
  ${If} $PathProblem == ""
    ${If} $Path SamePath $INSTDIR
      StrCpy $INSTDIR $Path ; spelled as registered
    ${Else}
      Call FindInstallation
      ${If} $Found != ""
        MessageBox MB_YESNO|MB_ICONQUESTION "Zelvo CD jest już zainstalowany w folderze:$\r$\n$Path$\r$\n$\r$\nInstalacja w innym folderze zostawiłaby tamtą kopię bez wpisu na liście zainstalowanych programów i bez skrótu w menu Start. Czy zainstalować tę wersję w tamtym folderze, w miejsce poprzedniej?" /SD IDNO IDYES +2
        Return
        StrCpy $INSTDIR $Path
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Call FolderLimit
  ${If} $2 > $1
    MessageBox MB_OK|MB_ICONSTOP "${LONG_FOLDER_TEXT}" /SD IDOK
    Return
  ${EndIf}
  StrCpy $Path $INSTDIR
  Call FindInstallation
  ${If} $Found != ""
    ${VersionCompare} $FoundVersion "${VERSION}" $0
    ${If} $0 = 1
    ${AndIf} $AllowDowngrade <> 1
      MessageBox MB_YESNO|MB_ICONQUESTION "W folderze $INSTDIR jest zainstalowana nowsza wersja Zelvo CD: $FoundVersion. Czy zastąpić ją starszą wersją ${VERSION}?" /SD IDNO IDYES +2
      Return
    ${EndIf}
  ${ElseIf} $FoundOurs = 0
    ${DirState} $INSTDIR $0
    ${If} $0 = 1
      MessageBox MB_YESNO|MB_ICONQUESTION "Folder $INSTDIR nie jest pusty, a nie ma w nim instalacji Zelvo CD. Instalator doda do niego swoje pliki, nie zmieniając żadnego z tych, które już w nim są, a deinstalator usunie tylko pliki Zelvo CD. Czy zainstalować w tym folderze?" /SD IDNO IDYES +2
      Return
    ${EndIf}
  ${EndIf}
  Call Collides
  ${If} $R0 != ""
    MessageBox MB_OK|MB_ICONSTOP "W wybranym folderze jest już plik, który nie należy do instalacji Zelvo CD:$\r$\n$R0$\r$\n$\r$\nInstalator nie zastąpi cudzego pliku. Przenieś go albo wybierz inny folder." /SD IDOK
    Return
  ${EndIf}
  StrCpy $R9 1
FunctionEnd

; The directory page keeps the user on it until the folder is admitted. The page takes the
; folder from its field once more after this, so the field gets the folder admitted: its
; canonical form, or the registered folder the user chose instead.
!define IDC_DIR 1019
Function LeaveFolderPage
  Call Admit
  ${If} $R9 = 0
    Abort
  ${EndIf}
  FindWindow $0 "#32770" "" $HWNDPARENT
  GetDlgItem $0 $0 ${IDC_DIR}
  SendMessage $0 ${WM_SETTEXT} 0 "STR:$INSTDIR"
FunctionEnd

; UnmakeFolder: removes the folders this installation made, empty as they are after a failure.
Function UnmakeFolder
  ${If} $FolderMade != ""
    SetOutPath "$TEMP" ; no folder can go while it is the current one
    StrCpy $0 $INSTDIR
    ${Do}
      RMDir $0
      ${If} $0 SamePath $FolderMade
        ${Break}
      ${EndIf}
      ${GetParent} $0 $0
    ${Loop}
    StrCpy $FolderMade ""
  ${EndIf}
FunctionEnd

; AddClusters: $R5 grows by the space the release's file $Name takes on a drive whose clusters
; hold $R4 bytes.
Function AddClusters
  ReadINIStr $R0 "$Suite\${RECORD}" "Rozmiary" $Name
  IntOp $R0 $R0 + $R4
  IntOp $R0 $R0 - 1
  IntOp $R0 $R0 / $R4
  IntOp $R0 $R0 * $R4
  IntOp $R5 $R5 + $R0
FunctionEnd

; CheckSpace: the drive must have room for the whole release beside what the folder holds, since
; the earlier files stay (under a second name) until every new one is whole. $R6 is the nearest
; folder on the way to the installation folder that exists.
Function CheckSpace
  System::Call 'kernel32::GetDiskFreeSpaceExW(w "$R6", *l .R7, *l, *l) i .R0 ?e'
  Pop $R1
  ${If} $R0 = 0
    !insertmacro Failed $R6 $R1
    Return
  ${EndIf}
  StrCpy $R0 $INSTDIR 3
  System::Call 'kernel32::GetDiskFreeSpaceW(w R0, *i .R1, *i .R2, *i, *i) i .R0'
  IntOp $R4 $R1 * $R2
  ${If} $R0 = 0
  ${OrIf} $R4 <= 0
    StrCpy $R4 4096
  ${EndIf}
  StrCpy $R5 0
  !insertmacro ForEachRecorded "$Suite\${RECORD}" AddClusters
  !insertmacro FileSize "$Suite\${RECORD}" $R0
  IntOp $R0 $R0 + $R4
  IntOp $R0 $R0 / $R4
  IntOp $R0 $R0 * $R4
  IntOp $R5 $R5 + $R0
  ${If} $R5 L> $R7
    System::Int64Op $R7 / 1024
    Pop $R7
    IntOp $R5 $R5 / 1024
    StrCpy $FailedDetail " Potrzeba $R5 KB, a wolne jest $R7 KB."
    !insertmacro Failed $INSTDIR ${ERROR_DISK_FULL}
  ${EndIf}
FunctionEnd

; LegacyFile NAME: the file NAME, when the folder holds it, enters the record of an installation
; from before the records.
!macro LegacyFile NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    IntOp $Index $Index + 1
    !insertmacro FileSize "$INSTDIR\${NAME}" $0
    WriteINIStr "$PLUGINSDIR\${RECORD}" "Pliki" $Index "${NAME}"
    WriteINIStr "$PLUGINSDIR\${RECORD}" "Rozmiary" "${NAME}" $0
  ${EndIf}
!macroend

; Copy FROM TO: copies a file of this release into the folder, never over a file there, and
; checks that it is whole.
!macro Copy FROM TO
  ${If} $FailedCode = 0
    Push 1
    Push `${TO}`
    Push `${FROM}`
    System::Call 'kernel32::CopyFileW(w s, w s, i s) i .r0 ?e'
    Pop $1
    ${If} $0 = 0
      !insertmacro Failed `${TO}` $1
    ${Else}
      !insertmacro FileSize `${FROM}` $0
      !insertmacro FileSize `${TO}` $1
      ${If} $0 != $1
        !insertmacro Failed `${TO}` ${ERROR_INCOMPLETE}
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; StageFile: copies the release's file $Name beside its place, under its staged name.
Function StageFile
  Call NamesOf
  !insertmacro Copy "$Suite\$Name" $Staged
FunctionEnd

; SwapIn: puts the staged file $Name in its place. An earlier file there gets a second name
; first, its backup, and the new one replaces it in one rename, so the place never stands
; empty; on a file system without links the earlier file is renamed aside instead. Where the
; earlier version had no such file, the rename never goes over one.
Function SwapIn
  ${If} $FailedCode <> 0
    Return
  ${EndIf}
  Call NamesOf
  ReadINIStr $R0 $Previous "Rozmiary" $Name
  ${If} $R0 == ""
    !insertmacro MoveFile $Staged $Target 0
    Return
  ${EndIf}
  ${If} ${FileExists} $Target
    System::Call 'kernel32::CreateHardLinkW(w "$Aside", w "$Target", p 0) i .r0'
    ${If} $0 = 0
      !insertmacro MoveFile $Target $Aside 0
    ${EndIf}
  ${EndIf}
  !insertmacro MoveFile $Staged $Target ${MOVEFILE_REPLACE_EXISTING}
FunctionEnd

; SetAsideDropped: the earlier version's file $Name that this release no longer has is renamed
; aside, so that the commit drops it.
Function SetAsideDropped
  ${If} $FailedCode <> 0
    Return
  ${EndIf}
  ReadINIStr $R0 "$Suite\${RECORD}" "Rozmiary" $Name
  Call NamesOf
  ${If} $R0 == ""
  ${AndIf} ${FileExists} $Target
    !insertmacro MoveFile $Target $Aside 0
  ${EndIf}
FunctionEnd

; Replace: puts this release into the installation folder in place of what is there, all or
; nothing, at every moment: first an earlier run cut short is finished or undone (Recover) and
; every file to replace is checked, then the drive's free space; then the new record is staged,
; every file is copied beside its place under its staged name and checked whole, and only then
; are they swapped in by renames and the new record renamed into place, the commit. A failure
; before the commit brings the earlier version back (Recover), and a fresh installation leaves
; nothing; after it, the earlier files are deleted.
Function Replace
  StrCpy $FailedCode 0
  StrCpy $FailedDetail ""
  StrCpy $Adopted 0
  StrCpy $Transacting 1
  Call Recover
  ${If} $FailedCode <> 0
    Return
  ${EndIf}
  StrCpy $Path $INSTDIR
  Call FindInstallation
  StrCpy $Previous $Found
  ${If} $Found == "legacy"
    Delete "$PLUGINSDIR\${RECORD}"
    StrCpy $Index 0
    !insertmacro ForEachReleaseFile LegacyFile
    !insertmacro LegacyFile "${UNINSTALLER}"
    WriteINIStr "$PLUGINSDIR\${RECORD}" "Zelvo CD" "Wersja" $FoundVersion
    FlushINI "$PLUGINSDIR\${RECORD}"
    StrCpy $Previous "$PLUGINSDIR\${RECORD}"
  ${EndIf}
  !insertmacro ForEachRecorded $Previous CheckFile
  ${If} $FailedCode <> 0
    Return
  ${EndIf}
  StrCpy $FolderMade ""
  StrCpy $R6 $INSTDIR
  ${Do}
    ${If} $R6 == ""
    ${OrIf} ${IsFolder} $R6
      ${Break}
    ${EndIf}
    StrCpy $FolderMade $R6
    ${GetParent} $R6 $R6
  ${Loop}
  Call CheckSpace
  ${If} $FailedCode <> 0
    Return
  ${EndIf}
  System::Call 'shell32::SHCreateDirectoryExW(p 0, w "$INSTDIR", p 0) i .r0'
  ${If} $0 <> 0
  ${AndIf} $0 <> ${ERROR_ALREADY_EXISTS}
    !insertmacro Failed $INSTDIR $0
    Call UnmakeFolder
    Return
  ${EndIf}
  ; An installation from before the records gets its record first, naming what it holds.
  ${If} $Found == "legacy"
    !insertmacro Copy $Previous "$INSTDIR\${RECORD}"
    StrCpy $Adopted 1
    StrCpy $Previous "$INSTDIR\${RECORD}"
  ${EndIf}
  !insertmacro Copy "$Suite\${RECORD}" "$INSTDIR\${RECORD_STAGED}"
  !insertmacro ForEachRecorded "$Suite\${RECORD}" StageFile
  !insertmacro ForEachRecorded "$Suite\${RECORD}" SwapIn
  !insertmacro ForEachRecorded $Previous SetAsideDropped
  ${If} $FailedCode = 0
  ${AndIf} ${FileExists} "$INSTDIR\${RECORD}"
    !insertmacro MoveFile "$INSTDIR\${RECORD}" "$INSTDIR\${RECORD_ASIDE}" 0
  ${EndIf}
  ${If} $FailedCode = 0
    !insertmacro MoveFile "$INSTDIR\${RECORD_STAGED}" "$INSTDIR\${RECORD}" 0
  ${EndIf}
  ${If} $FailedCode <> 0
    Call Recover
    ${If} $Adopted = 1
    ${AndIf} $StepFailed = 0
      Delete "$INSTDIR\${RECORD}"
    ${EndIf}
    Call UnmakeFolder
    Return
  ${EndIf}
  ; Committed: the backups go. One that cannot go yet is dropped by the next run.
  Call Recover
  StrCpy $FailedCode 0
FunctionEnd

; A folder that cannot be used, a file that stays in use or cannot be written, a full disk, or a
; Cancel, ends the installation with the earlier version whole and registered, the watch going
; on (.onInstFailed), and a silent installation exits with 2.
Section "Zelvo CD"
  SetShellVarContext current
  ${If} ${Silent}
    Call Admit
    ${If} $R9 = 0
      SetErrorLevel 2
      Abort "Instalacja przerwana: nic nie zostało zmienione."
    ${EndIf}
  ${EndIf}
  Call StopWatcher
  StrCpy $WatcherStopped 1
  ${Do}
    Call Replace
    ${If} $FailedCode = 0
      ${Break}
    ${EndIf}
    Call Reason
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Nie można zapisać:$\r$\n$FailedPath$\r$\n$\r$\n$R2$\r$\n$\r$\nNic nie zostało zmienione. Czy spróbować ponownie?" /SD IDCANCEL IDRETRY`
      SetErrorLevel 2
      Abort "Instalacja przerwana: nic nie zostało zmienione."
    ${EndIf}
  ${Loop}

  ; Only now, with every file whole in its place, do the shortcut and the registration name it.
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
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $SuiteKB

  Call ResumeWatcher
SectionEnd

; Every failure of the installation ends here: whatever it left unfinished is undone and a
; traywatch it stopped waits again.
Function .onInstFailed
  ${If} $Transacting = 1
    Call Recover
    Call UnmakeFolder
  ${EndIf}
  ${If} $WatcherStopped = 1
    Call ResumeWatcher
  ${EndIf}
FunctionEnd

; The uninstaller's last step. Run in place (as the registered commands run it, with _?=), it
; cannot delete its own file while it runs, so it starts a copy of itself from its temporary
; folder with /AFTER=<its process id>; that copy waits for it to end, at most
; UNINSTALLER_END_DEADLINE_MS, then deletes the uninstaller and the folder, and stays in the
; temporary folder, as the toolkit's own copies of an uninstaller do. The uninstaller removes
; only what a record of ours names: a folder without one is none of its business.
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
  StrCpy $Path $INSTDIR
  Call un.Canonical
  StrCpy $INSTDIR $Path
  ${IfNot} ${FileExists} "$INSTDIR\${RECORD}"
  ${AndIfNot} ${FileExists} "$INSTDIR\${RECORD_STAGED}"
  ${AndIfNot} ${FileExists} "$INSTDIR\${RECORD_ASIDE}"
    MessageBox MB_OK|MB_ICONSTOP "W folderze $INSTDIR nie ma instalacji Zelvo CD, więc deinstalator niczego z niego nie usunie." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; Run in place, the uninstaller leaves its own file and the folder to its copy (un.onInit), which
; it starts once its window has closed. Without that copy they would stay, so the exit code says
; the work is unfinished.
Function un.onUninstSuccess
  ${If} $EXEPATH SamePath "$INSTDIR\${UNINSTALLER}"
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

; Deletes a start-up value only when the program it starts lies in the installation folder
; itself (compared in canonical form, as Windows compares names); a value that starts a program
; of another copy, in a subfolder too, stays.
!macro RemoveRunValue NAME
  ReadRegStr $Path HKCU "${RUN_KEY}" "${NAME}"
  Call un.RunProgram
  ${If} $PathProblem == ""
    ${GetParent} $Path $Path
    ${If} $Path SamePath $INSTDIR
      DeleteRegValue HKCU "${RUN_KEY}" "${NAME}"
    ${EndIf}
  ${EndIf}
!macroend

; un.Remove: deletes the files the installation's record names, all or none: each is checked,
; then moved aside; renaming the record aside commits, after which the files moved aside go.
; A failure before the commit puts every file back (Recover).
Function un.MoveAside
  Call un.NamesOf
  ${If} $FailedCode <> 0
  ${OrIf} $Target SamePath $EXEPATH
  ${OrIfNot} ${FileExists} $Target
    Return
  ${EndIf}
  !insertmacro MoveFile $Target $Aside 0
FunctionEnd
Function un.Remove
  StrCpy $FailedCode 0
  Call un.Recover
  ${If} $FailedCode <> 0
  ${OrIfNot} ${FileExists} "$INSTDIR\${RECORD}"
    Return
  ${EndIf}
  !insertmacro ForEachRecorded "$INSTDIR\${RECORD}" CheckFile
  !insertmacro ForEachRecorded "$INSTDIR\${RECORD}" MoveAside
  ${If} $FailedCode = 0
    !insertmacro MoveFile "$INSTDIR\${RECORD}" "$INSTDIR\${RECORD_ASIDE}" 0
  ${EndIf}
  ${If} $FailedCode = 0
    ; Committed: the files moved aside go. One that cannot go yet is dropped by the next run.
    Call un.Recover
    StrCpy $FailedCode 0
  ${Else}
    Call un.Recover
  ${EndIf}
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
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Nie można usunąć:$\r$\n$FailedPath$\r$\n$\r$\n$R2$\r$\n$\r$\nNic nie zostało usunięte. Czy spróbować ponownie?" /SD IDCANCEL IDRETRY`
      Call un.ResumeWatcher
      SetErrorLevel 2
      Abort "Deinstalacja przerwana: nic nie zostało usunięte."
    ${EndIf}
  ${Loop}
  RMDir "$INSTDIR" ; unless the uninstaller runs from it (un.onUninstSuccess)
  !insertmacro RemoveRunValue "WysuwajTeraz"
  !insertmacro RemoveRunValue "WysuwajPotem"
  ReadRegStr $Path HKCU "${UNINSTALL_KEY}" "InstallLocation"
  StrCpy $0 $Path
  Call un.Canonical
  ${If} $0 == ""
  ${OrIf} $Path SamePath $INSTDIR
    Delete "$SMPROGRAMS\${PRODUCT}\Konfigurator Zelvo CD.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
