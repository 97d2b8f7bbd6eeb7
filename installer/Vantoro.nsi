; Vantoro's setup program: puts Vantoro.exe, dumper.exe and 7za.exe into
; Program Files for all users, registers them, and carries the uninstaller.
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
!include WinMessages.nsh

!define PRODUCT "Vantoro"
!define PUBLISHER "Vantoro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The programs read this key (HttpSession sends "ExeFile" as exeName).
!define PRODUCT_KEY "Software\quorvex"
!define FIXER_CLASS "mainWnd"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} 安装"
UninstallCaption "${PRODUCT} 卸载"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\${PRODUCT}"
; An upgrade goes where the earlier version is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
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

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Vantoro.exe"
!define MUI_FINISHPAGE_RUN_TEXT "运行 ${PRODUCT}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; Vantoro.exe keeps its files open and saves config.json as it closes, so it
; must have ended, not just lost its window, before any file is touched.
; Asks first (silent: closes without asking); refusing aborts.
!macro DEFINE_CLOSE_FIXER un
Function ${un}CloseFixer
  FindWindow $0 "${FIXER_CLASS}"
  ${If} $0 = 0
    Return
  ${EndIf}
  MessageBox MB_OKCANCEL|MB_ICONQUESTION "${PRODUCT} 正在运行。$\r$\n点击“确定”关闭它并继续，点击“取消”退出。" /SD IDOK IDOK close
  Abort
close:
  ; A second instance started with an argument has a window of its own.
  ${For} $R0 1 8
    FindWindow $0 "${FIXER_CLASS}"
    ${If} $0 = 0
      Return
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
    ; SYNCHRONIZE | PROCESS_TERMINATE
    System::Call 'kernel32::OpenProcess(i 0x100001, i 0, i r1) p .r2'
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    ${If} $2 = 0
      Sleep 1000
    ${Else}
      System::Call 'kernel32::WaitForSingleObject(p r2, i 10000) i .r3'
      ${If} $3 <> 0
        System::Call 'kernel32::TerminateProcess(p r2, i 1)'
        System::Call 'kernel32::WaitForSingleObject(p r2, i 5000) i'
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
  ${Next}
  MessageBox MB_OK|MB_ICONSTOP "无法关闭正在运行的 ${PRODUCT}，请关闭后重试。" /SD IDOK
  Abort
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_FIXER ""
!insertmacro DEFINE_CLOSE_FIXER "un."

Function .onInit
  SetShellVarContext all
  SetRegView ${REG_VIEW}
  Call CloseFixer
FunctionEnd

Section "-${PRODUCT}"
  SetShellVarContext all
  SetRegView ${REG_VIEW}
  ; It may have been started while the pages were shown.
  Call CloseFixer

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}/Vantoro.exe"
  File "${STAGE}/dumper.exe"
  File "${STAGE}/7za.exe"
  File "${STAGE}/LICENSE.txt"
  File "${STAGE}/THIRD-PARTY-NOTICES.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

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
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Vantoro.exe" "" "$INSTDIR\Vantoro.exe" 0
  CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\Vantoro.exe" "" "$INSTDIR\Vantoro.exe" 0
SectionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView ${REG_VIEW}
  Call un.CloseFixer
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView ${REG_VIEW}
  Call un.CloseFixer

  Delete "$INSTDIR\Vantoro.exe"
  Delete "$INSTDIR\dumper.exe"
  Delete "$INSTDIR\7za.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  ; What the programs write beside themselves: the settings with the
  ; temporary of an interrupted save, and Dumper's crash reports, named by
  ; the time of the crash (year-month-day-hour-minute-second). Nothing
  ; broader: the folder may be one the user chose and shares.
  Delete "$INSTDIR\config.json"
  Delete "$INSTDIR\config.json.tmp"
  Delete "$INSTDIR\*-*-*-*-*-*.log"
  Delete "$INSTDIR\*-*-*-*-*-*.dmp"
  Delete "$INSTDIR\*-*-*-*-*-*.7z"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${PRODUCT_KEY}"
SectionEnd
