; The KV installer: the viewer, the logic analyzer runtime, the data logger and the interface
; utility, the shipped demo capture, Start menu entries, the ".kvw" association and an uninstaller.
; Setuvo.dll is only used during installation (driver service check, old settings, language).
;   makensis -DBIN=<32-bit bin folder> -DDEMO=<Demo01.kvw> -DOUTFILE=<setup.exe> kv.nsi
; The same script makes the 64-bit installer from the 64-bit tree with -DTARGET=amd64-unicode.
; Silent: KV-Setup.exe /S [/D=<folder>]; the uninstaller takes /S as well.
Unicode true
!ifdef TARGET
  Target ${TARGET}
!endif
!include "MUI2.nsh"
!include "LogicLib.nsh"

!ifndef BIN
  !error "BIN (the tree's bin folder) is required"
!endif
!ifndef DEMO
  !error "DEMO (Demo01.kvw) is required"
!endif
!ifndef OUTFILE
  !define OUTFILE "KV-Setup.exe"
!endif

!define PRODUCT "KV Viewer"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KV Viewer"
!define INST_KEY "Software\Ombix\Inst"   ; the key Setuvo's InstLang opens (root 0 = Software\Ombix)
!define FILE_CLASS "KV.Waveform"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!define PROGRAMS_DIR "$PROGRAMFILES"
!ifdef TARGET
  !if "${TARGET}" == "amd64-unicode"
    !undef PROGRAMS_DIR
    !define PROGRAMS_DIR "$PROGRAMFILES64"
  !endif
!endif
InstallDir "${PROGRAMS_DIR}\Ombix\KV"
InstallDirRegKey HKLM "${INST_KEY}" "Path"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The installer speaks the three languages of the programs it installs.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "TradChinese"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString SC_VIEWER ${LANG_ENGLISH} "KV Viewer"
LangString SC_VIEWER ${LANG_TRADCHINESE} "KV 邏輯分析儀"
LangString SC_VIEWER ${LANG_SIMPCHINESE} "KV 逻辑分析仪"
LangString SC_LOGGER ${LANG_ENGLISH} "Data Logger"
LangString SC_LOGGER ${LANG_TRADCHINESE} "資料記錄器"
LangString SC_LOGGER ${LANG_SIMPCHINESE} "数据记录器"
LangString SC_INTERFACE ${LANG_ENGLISH} "Interface Setting"
LangString SC_INTERFACE ${LANG_TRADCHINESE} "介面設定"
LangString SC_INTERFACE ${LANG_SIMPCHINESE} "接口设置"
LangString SC_DEMO ${LANG_ENGLISH} "Demo Capture"
LangString SC_DEMO ${LANG_TRADCHINESE} "示範波形"
LangString SC_DEMO ${LANG_SIMPCHINESE} "演示波形"
LangString SC_UNINSTALL ${LANG_ENGLISH} "Uninstall KV Viewer"
LangString SC_UNINSTALL ${LANG_TRADCHINESE} "移除 KV"
LangString SC_UNINSTALL ${LANG_SIMPCHINESE} "卸载 KV"
LangString FILE_TYPE ${LANG_ENGLISH} "KV Waveform File"
LangString FILE_TYPE ${LANG_TRADCHINESE} "KV 波形檔"
LangString FILE_TYPE ${LANG_SIMPCHINESE} "KV 波形文件"

; Setuvo's calls: (window, pointer to a 32-bit number, ANSI text), stdcall, result in $0.
!macro SETUVO FUNCTION NUMBER TEXT
  System::Call '$PLUGINSDIR\Setuvo.dll::${FUNCTION}(p $HWNDPARENT, *i ${NUMBER}, m "${TEXT}") i .r0'
!macroend

; The installer's language follows the system's (NSIS picks among the three).
Function .onInit
  InitPluginsDir
  File /oname=$PLUGINSDIR\Setuvo.dll "${BIN}\Setuvo.dll"
FunctionEnd

Section "KV Viewer" SecMain
  SetShellVarContext all
  ; 1. Settings of an older installation: the user is asked whether to keep them. A silent run
  ;    keeps them (the answer that changes nothing) and asks nothing.
  ${IfNot} ${Silent}
    !insertmacro SETUVO DelOldPrj 0 "KV"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${BIN}\KV.exe"
  File "${BIN}\Halvex.dll"
  File "${BIN}\Zentro.dll"
  File "${BIN}\Nimbrel.exe"
  File "${BIN}\OmbixInterface.exe"
  SetOutPath "$INSTDIR\Demo"
  File "${DEMO}"
  SetOutPath "$INSTDIR"

  ; 2. The parallel-port driver service, when the machine has it, is made to run.
  !insertmacro SETUVO ChkEppDrv 0 ""

  ; 3. The installation language: InstLang opens this key and complains when it cannot, so it is
  ;    created first (also what keeps a silent run free of message boxes).
  WriteRegStr HKLM "${INST_KEY}" "Path" "$INSTDIR"
  !insertmacro SETUVO InstLang 0 ""

  ; Double-clicking a capture opens it in the viewer (its one command-line argument).
  WriteRegStr HKCR ".kvw" "" "${FILE_CLASS}"
  WriteRegStr HKCR "${FILE_CLASS}" "" "$(FILE_TYPE)"
  WriteRegStr HKCR "${FILE_CLASS}\DefaultIcon" "" "$INSTDIR\KV.exe,0"
  WriteRegStr HKCR "${FILE_CLASS}\shell\open\command" "" '"$INSTDIR\KV.exe" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(SC_VIEWER).lnk" "$INSTDIR\KV.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(SC_LOGGER).lnk" "$INSTDIR\Nimbrel.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(SC_INTERFACE).lnk" "$INSTDIR\OmbixInterface.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(SC_DEMO).lnk" "$INSTDIR\KV.exe" '"$INSTDIR\Demo\Demo01.kvw"'
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(SC_UNINSTALL).lnk" "$INSTDIR\Uninstall.exe"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Ombix"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The user's settings and projects (Software\Ombix\KV) stay: a later installation offers to keep them.
Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\KV.exe"
  Delete "$INSTDIR\Halvex.dll"
  Delete "$INSTDIR\Zentro.dll"
  Delete "$INSTDIR\Nimbrel.exe"
  Delete "$INSTDIR\OmbixInterface.exe"
  Delete "$INSTDIR\Demo\Demo01.kvw"
  RMDir "$INSTDIR\Demo"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  RMDir /r "$SMPROGRAMS\${PRODUCT}"
  ReadRegStr $0 HKCR ".kvw" ""
  StrCmp $0 "${FILE_CLASS}" 0 +2
    DeleteRegKey HKCR ".kvw"
  DeleteRegKey HKCR "${FILE_CLASS}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  DeleteRegKey HKLM "${INST_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
