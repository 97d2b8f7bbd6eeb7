; Vantoro's setup program: puts Vantoro.exe, dumper.exe and 7za.exe into
; Program Files for all users, registers them, and carries the uninstaller.
; An upgrade replaces the registered copy where it is; a failed one leaves the
; entry of the version that was there. Exit codes: 0 done, 3 a file could not
; be written or removed, 4 the folder holds another program's files, 5 a newer
; version is installed, 6 Windows older than 7, 7 the running program was not
; closed. Silent switch: /NoDesktopShortcut. The uninstaller's exit code (0, 2
; not our folder, 3, 7) is that of the copy it starts from %TEMP% with
; _?=<folder>: uninstall.exe itself returns 0 once the copy runs, so a caller
; that needs the code runs a copy that way.
; Built by the `installer` target (installer/CMakeLists.txt), which defines
; VERSION, STAGE (the staged files), ICON, OUTFILE, ARCH (x86 or x64) and
; SIGN (scripts/sign.sh).
Unicode true
; The 64-bit programs go into the 64-bit Program Files and registry view, as a
; 64-bit setup of their own; the 32-bit ones stay in the 32-bit view.
!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
  !define REG_VIEW 64
!else
  !define PROGRAM_FILES "$PROGRAMFILES32"
  !define REG_VIEW 32
!endif
ManifestSupportedOS all
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; No file times in the setup program: one commit packs to the same bytes.
SetDateSave off
; scripts/sign.sh signs only when the build is given a certificate.
!ifdef SIGN
  !finalize '"${SIGN}" "%1"' = 0
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinVer.nsh
!include Sections.nsh
!include WinMessages.nsh

!define PRODUCT "Vantoro"
!define PUBLISHER "Vantoro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The programs read this key (HttpSession sends "ExeFile" as exeName).
!define PRODUCT_KEY "Software\quorvex"
!define FIXER_CLASS "mainWnd"
!define DUMPER_CLASS "ReportWnd"
!define EXIT_LOCKED 3
!define EXIT_FOLDER 4
!define EXIT_DOWNGRADE 5
!define EXIT_OLD_WINDOWS 6
!define EXIT_RUNNING 7

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} 安装"
UninstallCaption "${PRODUCT} 卸载"
OutFile "${OUTFILE}"
; .onInit puts an upgrade where the registered copy is.
InstallDir "${PROGRAM_FILES}\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Var Installed         ; folder of the registered copy, empty when there is none
Var InstalledVersion
Var OwnSession
Var ProgramsRunning

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "运行 ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION RunAsDesktopUser

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderOnUpgrade
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeaveFolderPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; Our running programs are found by their image, $INSTDIR\Vantoro.exe or
; $INSTDIR\dumper.exe, never by a window class another program may share.
; Only processes of this session: another user's copy cannot be asked to
; close, and the checks on each file catch it.
!macro DEFINE_CLOSE_RUNNING un
; $R0 the process id, $R1 an open handle (SYNCHRONIZE and query); "1" in $R2
; when it runs one of our programs from $INSTDIR.
Function ${un}IsOurProcess
  StrCpy $R2 0
  System::Call 'kernel32::ProcessIdToSessionId(i R0, *i .R3) i .R4'
  ${If} $R4 = 0
  ${OrIf} $R3 <> $OwnSession
    Return
  ${EndIf}
  System::Call 'kernel32::QueryFullProcessImageNameW(p R1, i 0, w .R3, *i ${NSIS_MAX_STRLEN}) i .R4'
  ${If} $R4 = 0
    Return
  ${EndIf}
  ; Our folder in its long form, as the system names an image.
  System::Call 'kernel32::GetLongPathNameW(w "$INSTDIR", w .R4, i ${NSIS_MAX_STRLEN}) i .R5'
  ${If} $R5 = 0
    StrCpy $R4 $INSTDIR
  ${EndIf}
  ${If} $R3 == "$R4\Vantoro.exe"
  ${OrIf} $R3 == "$R4\dumper.exe"
    StrCpy $R2 1
  ${EndIf}
FunctionEnd

; Asks process $R0 (handle $R1) to close through its own windows and ends it
; when it has not after 10 s: Vantoro.exe saves config.json as it closes.
Function ${un}CloseProcess
  StrCpy $R3 0
  ${Do}
    FindWindow $R3 "${FIXER_CLASS}" "" 0 $R3
    ${If} $R3 = 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p R3, *i .R4) i'
    ${If} $R4 = $R0
      SendMessage $R3 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${EndIf}
  ${Loop}
  ${Do}
    FindWindow $R3 "${DUMPER_CLASS}" "" 0 $R3
    ${If} $R3 = 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p R3, *i .R4) i'
    ${If} $R4 = $R0
      SendMessage $R3 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${EndIf}
  ${Loop}
  System::Call 'kernel32::WaitForSingleObject(p R1, i 10000) i .R3'
  ${If} $R3 <> 0
    ; PROCESS_TERMINATE
    System::Call 'kernel32::OpenProcess(i 1, i 0, i R0) p .R4'
    ${If} $R4 P<> 0
      System::Call 'kernel32::TerminateProcess(p R4, i 1)'
      System::Call 'kernel32::CloseHandle(p R4)'
      System::Call 'kernel32::WaitForSingleObject(p R1, i 5000) i'
    ${EndIf}
  ${EndIf}
FunctionEnd

; Counts our running programs into $ProgramsRunning; closes each first when
; $R9 is "close".
Function ${un}ForEachRunning
  StrCpy $ProgramsRunning 0
  System::Call 'kernel32::GetCurrentProcessId() i .R0'
  System::Call 'kernel32::ProcessIdToSessionId(i R0, *i .R1) i'
  StrCpy $OwnSession $R1
  ; Room for 8192 process ids.
  System::Alloc 32768
  Pop $R6
  System::Call 'kernel32::K32EnumProcesses(p R6, i 32768, *i .R7) i .R8'
  ${If} $R8 = 0
    StrCpy $R7 0
  ${EndIf}
  StrCpy $R8 $R6
  ${DoWhile} $R7 > 0
    IntOp $R7 $R7 - 4
    System::Call '*$R8(i .R0)'
    IntPtrOp $R8 $R8 + 4
    ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
    System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i R0) p .R1'
    ${If} $R1 P= 0
      ${Continue}
    ${EndIf}
    Call ${un}IsOurProcess
    ${If} $R2 == 1
      IntOp $ProgramsRunning $ProgramsRunning + 1
      ${If} $R9 == "close"
        Call ${un}CloseProcess
      ${EndIf}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p R1)'
  ${Loop}
  System::Free $R6
FunctionEnd

; Closes our running programs after asking (silent: without asking); a
; refusal, or a program that would not end, stops the setup.
Function ${un}CloseRunning
  StrCpy $R9 "count"
  Call ${un}ForEachRunning
  ${If} $ProgramsRunning = 0
    Return
  ${EndIf}
  ${IfNot} ${Cmd} `MessageBox MB_OKCANCEL|MB_ICONQUESTION "${PRODUCT} 正在运行。$\r$\n点击“确定”关闭它并继续，点击“取消”退出。" /SD IDOK IDOK`
    SetErrorLevel ${EXIT_RUNNING}
    Abort
  ${EndIf}
  StrCpy $R9 "close"
  Call ${un}ForEachRunning
  StrCpy $R9 "count"
  Call ${un}ForEachRunning
  ${If} $ProgramsRunning > 0
    MessageBox MB_OK|MB_ICONSTOP "无法关闭正在运行的 ${PRODUCT}，请关闭后重试。" /SD IDOK
    SetErrorLevel ${EXIT_RUNNING}
    Abort
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_RUNNING ""
!insertmacro DEFINE_CLOSE_RUNNING "un."

; A file of $INSTDIR, $R0, could not be written: retry when the user closes
; what holds it, else the setup stops before the registry is touched.
Function FileNotWritten
  ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "无法写入 $INSTDIR\$R0，它可能正被其他程序使用。$\r$\n关闭该程序后点击“重试”；点击“取消”中止安装。" /SD IDCANCEL IDRETRY`
    SetErrorLevel ${EXIT_LOCKED}
    Abort
  ${EndIf}
FunctionEnd

; Before anything is replaced: each file already there must open for writing,
; so that a locked one stops the setup with the old copy whole.
Function EnsureWritable
  ${Do}
    ${IfNot} ${FileExists} "$INSTDIR\$R0"
      Return
    ${EndIf}
    SetFileAttributes "$INSTDIR\$R0" NORMAL
    ; GENERIC_WRITE, no sharing, OPEN_EXISTING
    System::Call 'kernel32::CreateFileW(w "$INSTDIR\$R0", i 0x40000000, i 0, p 0, i 3, i 0, p 0) p .R1'
    ${If} $R1 P<> -1
      System::Call 'kernel32::CloseHandle(p R1)'
      Return
    ${EndIf}
    Call FileNotWritten
  ${Loop}
FunctionEnd

!macro ENSURE_WRITABLE NAME
  StrCpy $R0 "${NAME}"
  Call EnsureWritable
!macroend

; SetOverwrite try skips a file it cannot write and sets the error flag.
!macro INSTALL_FILE NAME
  StrCpy $R0 "${NAME}"
  ${Do}
    ClearErrors
    File "${STAGE}/${NAME}"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    Call FileNotWritten
  ${Loop}
!macroend

; "1" in $R0 when $INSTDIR may take the programs: the registered copy's
; folder, or one that is missing or empty. Anything else may hold another
; program's uninstall.exe or 7za.exe, or the user's files.
Function IsFolderAccepted
  StrCpy $R0 1
  ${If} $Installed != ""
  ${AndIf} $INSTDIR == $Installed
    Return
  ${EndIf}
  ${DirState} "$INSTDIR" $R1
  ${If} $R1 = 1
    StrCpy $R0 0
  ${EndIf}
FunctionEnd

Function RefuseForeignFolder
  Call IsFolderAccepted
  ${If} $R0 = 0
    MessageBox MB_OK|MB_ICONSTOP "文件夹 $INSTDIR 不是空的，也不是已安装的 ${PRODUCT}。$\r$\n请选择一个空文件夹。" /SD IDOK
    SetErrorLevel ${EXIT_FOLDER}
    Abort
  ${EndIf}
FunctionEnd

Function SkipFolderOnUpgrade
  ${If} $Installed != ""
    Abort
  ${EndIf}
FunctionEnd

Function LeaveFolderPage
  Call IsFolderAccepted
  ${If} $R0 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "文件夹 $INSTDIR 不是空的。$\r$\n请选择一个空文件夹或新文件夹。"
    Abort
  ${EndIf}
FunctionEnd

; Explorer hands the start to the desktop's own Explorer, so the program runs
; as the signed-in user and asks for elevation itself, not under the account
; that elevated this setup.
Function RunAsDesktopUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Vantoro.exe"'
FunctionEnd

Section "-${PRODUCT}"
  SetShellVarContext all
  SetRegView ${REG_VIEW}
  Call RefuseForeignFolder
  ; It may have been started while the pages were shown.
  Call CloseRunning

  SetOutPath "$INSTDIR"
  !insertmacro ENSURE_WRITABLE Vantoro.exe
  !insertmacro ENSURE_WRITABLE dumper.exe
  !insertmacro ENSURE_WRITABLE 7za.exe
  !insertmacro ENSURE_WRITABLE LICENSE.txt
  !insertmacro ENSURE_WRITABLE THIRD-PARTY-NOTICES.txt
  !insertmacro ENSURE_WRITABLE uninstall.exe
  SetOverwrite try
  !insertmacro INSTALL_FILE Vantoro.exe
  !insertmacro INSTALL_FILE dumper.exe
  !insertmacro INSTALL_FILE 7za.exe
  !insertmacro INSTALL_FILE LICENSE.txt
  !insertmacro INSTALL_FILE THIRD-PARTY-NOTICES.txt
  StrCpy $R0 uninstall.exe
  ${Do}
    ClearErrors
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    Call FileNotWritten
  ${Loop}

  ; Registered only now that every file is in place.
  ; The name this setup program was run under, which tells the service the
  ; download it came from: a renamed copy reports its new name.
  ${GetBaseName} "$EXEFILE" $0
  WriteRegStr HKLM "${PRODUCT_KEY}" "ExeFile" "$0"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vantoro.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${ABOUT_URL}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "${HELP_URL}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Vantoro.exe" "" "$INSTDIR\Vantoro.exe" 0
SectionEnd

Section "桌面快捷方式" DesktopShortcut
  SetShellVarContext all
  CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\Vantoro.exe" "" "$INSTDIR\Vantoro.exe" 0
SectionEnd

; A newer registered version is replaced only when the user says so (the
; settings stay, as on any upgrade); a silent setup leaves it alone.
Function RefuseDowngrade
  ${If} $InstalledVersion == ""
    Return
  ${EndIf}
  ${VersionCompare} "$InstalledVersion" "${VERSION}" $R0
  ${If} $R0 = 1
  ${AndIfNot} ${Cmd} `MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "已安装较新的 ${PRODUCT} $InstalledVersion。$\r$\n要换成较旧的 ${VERSION} 吗？设置会保留。" /SD IDNO IDYES`
    SetErrorLevel ${EXIT_DOWNGRADE}
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
  SetShellVarContext all
  SetRegView ${REG_VIEW}
  ${IfNot} ${AtLeastWin7}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} 需要 Windows 7 或更高版本。" /SD IDOK
    SetErrorLevel ${EXIT_OLD_WINDOWS}
    Abort
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NoDesktopShortcut" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${DesktopShortcut}
  ${EndIf}
  ; One copy: an upgrade goes where the registered one is, whatever /D= says,
  ; so its uninstaller never removes the entry of a copy elsewhere.
  ReadRegStr $Installed HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $InstalledVersion HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $Installed != ""
    StrCpy $INSTDIR $Installed
  ${EndIf}
  Call RefuseDowngrade
  Call CloseRunning
FunctionEnd

; "1" in $R4 when the file name $R3 is one Dumper gives its reports: the
; local time of the crash as year-month-day-hour-minute-second in plain
; decimals (2026-12-9-6-1-5) with .log, .dmp or .7z.
Function un.IsReportName
  StrCpy $R4 0
  ${GetFileExt} $R3 $R5
  ${If} $R5 != "log"
  ${AndIf} $R5 != "dmp"
  ${AndIf} $R5 != "7z"
    Return
  ${EndIf}
  ${GetBaseName} $R3 $R5
  StrCpy $R5 "$R5-"
  StrCpy $R6 ""  ; the field read so far
  StrCpy $R7 0   ; fields done
  StrCpy $R8 0   ; position
  ${Do}
    StrCpy $R9 $R5 1 $R8
    ${If} $R9 == ""
      ${Break}
    ${EndIf}
    IntOp $R8 $R8 + 1
    ${If} $R9 != "-"
      StrCpy $R6 "$R6$R9"
      ${Continue}
    ${EndIf}
    ; A plain decimal reads back the same: no sign, no leading zero, no letter.
    IntOp $R9 $R6 + 0
    ${If} $R9 != $R6
      Return
    ${EndIf}
    ${Select} $R7
      ${Case} 0
        ${If} $R9 < 1601
        ${OrIf} $R9 > 30827
          Return
        ${EndIf}
      ${Case} 1
        ${If} $R9 < 1
        ${OrIf} $R9 > 12
          Return
        ${EndIf}
      ${Case} 2
        ${If} $R9 < 1
        ${OrIf} $R9 > 31
          Return
        ${EndIf}
      ${Case} 3
        ${If} $R9 > 23
          Return
        ${EndIf}
      ${Case2} 4 5
        ${If} $R9 > 59
          Return
        ${EndIf}
      ${CaseElse}
        Return
    ${EndSelect}
    IntOp $R7 $R7 + 1
    StrCpy $R6 ""
  ${Loop}
  ${If} $R7 = 6
    StrCpy $R4 1
  ${EndIf}
FunctionEnd

; Removes $R0; while it stays (held open, another session's copy running),
; asks to retry, else stops the uninstall with the entry kept for a later run.
Function un.RemoveFile
  ${Do}
    Delete "$R0"
    ${IfNot} ${FileExists} "$R0"
      Return
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "无法删除 $R0，它可能正被其他程序使用。$\r$\n关闭该程序后点击“重试”；点击“取消”停止卸载，之后可以再次卸载。" /SD IDCANCEL IDRETRY`
      SetErrorLevel ${EXIT_LOCKED}
      Abort
    ${EndIf}
  ${Loop}
FunctionEnd

!macro REMOVE_FILE NAME
  StrCpy $R0 "$INSTDIR\${NAME}"
  Call un.RemoveFile
!macroend

Function un.RemoveReports
  FindFirst $R1 $R2 "$INSTDIR\*-*-*-*-*-*.*"
  ${DoWhile} $R2 != ""
    StrCpy $R3 $R2
    Call un.IsReportName
    ${If} $R4 = 1
      StrCpy $R0 "$INSTDIR\$R2"
      Call un.RemoveFile
    ${EndIf}
    FindNext $R1 $R2
  ${Loop}
  FindClose $R1
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView ${REG_VIEW}
  ; A folder named wrongly (a quoted _?=) would find nothing to remove and
  ; then drop the entry of the copy that is still there.
  ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
    MessageBox MB_OK|MB_ICONSTOP "在 $INSTDIR 中找不到 ${PRODUCT}。" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  Call un.CloseRunning
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView ${REG_VIEW}
  Call un.CloseRunning

  ; The programs first: while one of them stays, so do its settings.
  !insertmacro REMOVE_FILE Vantoro.exe
  !insertmacro REMOVE_FILE dumper.exe
  !insertmacro REMOVE_FILE 7za.exe
  !insertmacro REMOVE_FILE LICENSE.txt
  !insertmacro REMOVE_FILE THIRD-PARTY-NOTICES.txt
  ; What the programs write beside themselves, by their own names: the
  ; settings with the temporary of an interrupted save, and Dumper's crash
  ; reports. Nothing else: the folder may hold the user's files.
  !insertmacro REMOVE_FILE config.json
  !insertmacro REMOVE_FILE config.json.tmp
  Call un.RemoveReports
  !insertmacro REMOVE_FILE uninstall.exe
  RMDir "$INSTDIR"

  ; Only now that the files are gone: until then they are the way to retry.
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${PRODUCT_KEY}"
SectionEnd
