; Hourlink's setup program: a per-user installation that needs no administrator
; rights. The program goes to the user's local programs folder, where it can
; write its record file "adsl.bs" beside itself as it does, with a Start-menu
; folder and an entry in the current user's list of installed programs.
;
; The uninstaller keeps the records ("adsl.bs", "adsl.bak") unless the user ticks
; their removal (or passes /REMOVERECORDS to a silent uninstall), and removes
; the start-with-Windows entry from both places the program may have written it.
;
; On its components page (or with /ADDTOPATH on a silent install) the program's
; folder can be added to the current user's PATH, so hourlink-stat runs from any
; console. Only an entry the installer added is removed again at uninstall, and
; the rest of the user's PATH is kept as it was.
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
!include WinMessages.nsh

!define PRODUCT "Hourlink"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Hourlink"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The program's settings; its Directory value, when set, holds the records.
!define SETTINGS_KEY "Software\Hourlink\Hourlink"
; The named mutex a running copy holds for its life: the program file's base name.
!define INSTANCE_MUTEX "Hourlink"
; The current user's environment; its Path is REG_EXPAND_SZ.
!define ENVIRONMENT_KEY "Environment"
; Under the uninstall key: the PATH entry the installer added, if it did.
!define PATH_ENTRY_VALUE "PathEntry"

Var RecordsDir
Var PathEntry

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
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "勾选“程序文件夹加入 PATH”后，可以在任何新开的命令行窗口中直接运行 hourlink-stat（读取上网记录的命令行工具）。卸载时会从 PATH 中移除。"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolderWritable
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Hourlink.exe"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
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

; The user's Path ($R0) split at ";" and joined again without each element
; that names the folder $R8 (any case, with or without a final backslash):
; the result in $R1, and $R5 = 1 when such an element was there. Every other
; element, empty ones too, is kept as it was.
!macro PATH_WITHOUT UN
Function ${UN}PathWithout
  StrCpy $R1 ""
  StrCpy $R2 ""
  StrCpy $R3 0
  StrCpy $R5 0
  StrCpy $R7 0
  StrLen $R4 $R0
  ${Do}
    StrCpy $R6 $R0 1 $R3
    ${If} $R6 == ";"
    ${OrIf} $R3 >= $R4
      ${If} $R2 == $R8
      ${OrIf} $R2 == "$R8\"
        StrCpy $R5 1
      ${Else}
        ${If} $R7 > 0
          StrCpy $R1 "$R1;"
        ${EndIf}
        StrCpy $R1 "$R1$R2"
        IntOp $R7 $R7 + 1
      ${EndIf}
      StrCpy $R2 ""
      ${IfThen} $R3 >= $R4 ${|} ${ExitDo} ${|}
    ${Else}
      StrCpy $R2 "$R2$R6"
    ${EndIf}
    IntOp $R3 $R3 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro PATH_WITHOUT ""
!insertmacro PATH_WITHOUT "un."

; The user's Path into $R0, "" when there is none. Sets the error flag when
; a Path is there but longer than this setup program can edit whole.
!macro READ_USER_PATH UN
Function ${UN}ReadUserPath
  ClearErrors
  ReadRegStr $R0 HKCU "${ENVIRONMENT_KEY}" "Path"
  ${If} ${Errors}
    StrCpy $R0 ""
    ; ERROR_FILE_NOT_FOUND (2): no Path at all, which is no error.
    System::Call 'advapi32::RegGetValueW(p 0x80000001, w "${ENVIRONMENT_KEY}", w "Path", \
      i 0x1000FFFF, p 0, p 0, p 0) i .r9'
    ClearErrors
    ${If} $9 <> 2
      SetErrors
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro READ_USER_PATH ""
!insertmacro READ_USER_PATH "un."

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

Section /o "程序文件夹加入 PATH（仅当前用户）" SecPath
  Call ReadUserPath
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION "当前用户的 PATH 太长，安装程序无法完整地修改它。$\r$\n请手动将 $INSTDIR 加入 PATH。" /SD IDOK
    Return
  ${EndIf}
  StrCpy $R8 "$INSTDIR"
  Call PathWithout
  ; Already there (the user's own entry, or an earlier installation's).
  ${IfThen} $R5 == 1 ${|} Return ${|}
  StrLen $0 $R0
  StrLen $1 $R8
  IntOp $0 $0 + $1
  ${If} $0 >= ${NSIS_MAX_STRLEN}
    MessageBox MB_OK|MB_ICONEXCLAMATION "当前用户的 PATH 太长，安装程序无法完整地修改它。$\r$\n请手动将 $INSTDIR 加入 PATH。" /SD IDOK
    Return
  ${EndIf}
  StrCpy $1 $R0 1 -1
  ${If} $R0 == ""
  ${OrIf} $1 == ";"
    StrCpy $R0 "$R0$R8"
  ${Else}
    StrCpy $R0 "$R0;$R8"
  ${EndIf}
  WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" $R0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "${PATH_ENTRY_VALUE}" $R8
  ; Programs started from now on (a new console) see it.
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
SectionEnd

;; The program keeps its records beside itself: a folder this user cannot write
;; (Program Files without administrator rights) would leave the install failing
;; half way, so the folder page does not let it through. The folder is made,
;; written to and, when it was made only for the check, taken away again.
Function CheckFolderWritable
  StrCpy $1 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $1 1
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $0 "$INSTDIR\hourlink-write-test.tmp" w
  ${If} ${Errors}
    ${If} $1 == 1
      RMDir "$INSTDIR"
    ${EndIf}
    MessageBox MB_OK|MB_ICONEXCLAMATION "不能在这个文件夹中写入文件：$\r$\n$INSTDIR$\r$\n$\r$\nHourlink 把上网记录保存在程序所在的文件夹里，请选择一个你可以写入的文件夹，例如你自己的程序文件夹。"
    Abort
  ${EndIf}
  FileClose $0
  Delete "$INSTDIR\hourlink-write-test.tmp"
  ${If} $1 == 1
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

Function .onInit
  Call WaitForExit
  ${GetOptions} $CMDLINE "/ADDTOPATH" $0
  ${IfNot} ${Errors}
    SectionSetFlags ${SecPath} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Section "un.Hourlink 程序" SecUnProgram
  SectionIn RO
  ; The PATH entry the installer added, and only that.
  ${If} $PathEntry != ""
    Call un.ReadUserPath
    ${IfNot} ${Errors}
      StrCpy $R8 $PathEntry
      Call un.PathWithout
      ${If} $R5 == 1
        ${If} $R1 == ""
          DeleteRegValue HKCU "${ENVIRONMENT_KEY}" "Path"
        ${Else}
          WriteRegExpandStr HKCU "${ENVIRONMENT_KEY}" "Path" $R1
        ${EndIf}
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
      ${EndIf}
    ${EndIf}
  ${EndIf}
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
  ReadRegStr $PathEntry HKCU "${UNINSTALL_KEY}" "${PATH_ENTRY_VALUE}"
  ${GetOptions} $CMDLINE "/REMOVERECORDS" $0
  ${IfNot} ${Errors}
    SectionSetFlags ${SecRecords} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
