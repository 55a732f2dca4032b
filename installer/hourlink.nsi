; Hourlink's setup program: a per-user installation that needs no administrator
; rights. The program goes to the user's local programs folder, where it can
; write its record file "adsl.bs" beside itself as it does, with a Start-menu
; folder and an entry in the current user's list of installed programs.
;
; The uninstaller keeps the records ("adsl.bs", "adsl.bak") unless the user ticks
; their removal (or passes /REMOVERECORDS to a silent uninstall), and removes
; the start-with-Windows entry from both places the program may have written it.
;
; Built by CMake (target "installer"): makensis -DVERSION=x.y.z -DBINDIR=<folder
; of Hourlink.exe and Hourlink.chm> -DOUTFILE=<setup program> hourlink.nsi
; A 64-bit setup program for the 64-bit program (it also runs where no 32-bit
; Windows layer is installed).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!ifndef VERSION | BINDIR | OUTFILE
  !error "VERSION, BINDIR and OUTFILE must be defined"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Hourlink"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Hourlink"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The program's settings; its Directory value, when set, holds the records.
!define SETTINGS_KEY "Software\Hourlink\Hourlink"
; The named mutex a running copy holds for its life: the program file's base name.
!define INSTANCE_MUTEX "Hourlink"

Var RecordsDir

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Hourlink"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${__FILEDIR__}\..\src\res\hourlink.ico"
!define MUI_UNICON "${__FILEDIR__}\..\src\res\hourlink.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${__FILEDIR__}\wizard.bmp"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "此程序将引导你完成 Hourlink ${VERSION} 的安装。$\r$\n$\r$\nHourlink 记录这台电脑的上网时间。它安装在你自己的程序文件夹中，不需要管理员权限；上网记录保存在程序所在的文件夹里。$\r$\n$\r$\n点击 [下一步(N)] 继续。"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Hourlink.exe"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "Hourlink 上网计时 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "${PRODUCT}"

; A running copy keeps its program file open: replacing or deleting it would
; fail half-way. Asks the user to end it first; a silent run gives up.
!macro WAIT_FOR_EXIT UN
Function ${UN}WaitForExit
  retry:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r0'
    ${If} $0 P<> 0
      System::Call 'kernel32::CloseHandle(p r0)'
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Hourlink 正在运行。请先退出它（菜单“文件”中的“退出”），然后点“重试”。" \
        /SD IDCANCEL IDRETRY retry
      SetErrorLevel 2
      Quit
    ${EndIf}
FunctionEnd
!macroend
!insertmacro WAIT_FOR_EXIT ""
!insertmacro WAIT_FOR_EXIT "un."

Function .onInit
  Call WaitForExit
FunctionEnd

Section "Hourlink" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BINDIR}\Hourlink.exe"
  File "${BINDIR}\Hourlink.chm"
  ; The console reader of the record file.
  File "${BINDIR}\hourlink-stat.exe"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Hourlink"
  CreateShortcut "$SMPROGRAMS\Hourlink\Hourlink.lnk" "$INSTDIR\Hourlink.exe"
  CreateShortcut "$SMPROGRAMS\Hourlink\Hourlink 帮助.lnk" "$INSTDIR\Hourlink.chm"
  CreateShortcut "$SMPROGRAMS\Hourlink\卸载 Hourlink.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Hourlink.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "un.Hourlink 程序" SecUnProgram
  SectionIn RO
  Delete "$INSTDIR\Hourlink.exe"
  Delete "$INSTDIR\Hourlink.chm"
  Delete "$INSTDIR\hourlink-stat.exe"
  ; The HTML report the program writes beside itself.
  Delete "$INSTDIR\rpt_temp.htm"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\Hourlink\Hourlink.lnk"
  Delete "$SMPROGRAMS\Hourlink\Hourlink 帮助.lnk"
  Delete "$SMPROGRAMS\Hourlink\卸载 Hourlink.lnk"
  RMDir "$SMPROGRAMS\Hourlink"
  ; Written for the machine when the program was allowed to, else for the user.
  DeleteRegValue HKLM "${RUN_KEY}" "Hourlink"
  DeleteRegValue HKCU "${RUN_KEY}" "Hourlink"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.删除上网记录（adsl.bs、adsl.bak）" SecRecords
  Delete "$RecordsDir\adsl.bs"
  Delete "$RecordsDir\adsl.bak"
SectionEnd

Section "-un.Tail"
  ; What an interrupted purge of the records leaves; the records themselves
  ; are whole without it.
  Delete "$RecordsDir\adsl.bs.new"
  ; Only when nothing is left in it: kept records keep the folder.
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  Call un.WaitForExit
  ; The records lie in the folder of the Directory setting when it is set.
  ReadRegStr $RecordsDir HKCU "${SETTINGS_KEY}" "Directory"
  ${If} $RecordsDir == ""
    StrCpy $RecordsDir "$INSTDIR"
  ${EndIf}
  ${GetOptions} $CMDLINE "/REMOVERECORDS" $0
  ${IfNot} ${Errors}
    SectionSetFlags ${SecRecords} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
