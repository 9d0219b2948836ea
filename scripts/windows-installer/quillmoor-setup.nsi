; QuillmoorSetup.exe: what scripts/package-windows packs, installed for the
; player alone. The folder is the player's own (no administrator rights), so
; that the launcher can replace itself there; Program Files would make every
; self-update fail.
;
;   makensis -INPUTCHARSET UTF8 -DPRODUCT_NSH=FILE -DPACKAGE=FOLDER -DOUT_FILE=FILE
;            [-DSIGN_COMMAND=PROGRAM] quillmoor-setup.nsi
;
; PRODUCT_NSH is the Windows build's installer/product.nsh (names, version,
; icon); PACKAGE the folder whose files are installed; SIGN_COMMAND signs a
; file in place, here the uninstaller, which makensis writes inside the
; installer.
Unicode true
ManifestSupportedOS all
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "${PRODUCT_NSH}"
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

; The launcher keeps its data (the client, its downloads, its log) in
; %LOCALAPPDATA%\Quillmoor, whatever folder it is installed in
; (state/launcher_settings.h).
!define DATA_FOLDER "$LOCALAPPDATA\Quillmoor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${INSTALL_NAME}"
!define SHORTCUT_NAME "${PRODUCT_NAME}.lnk"

Name "${PRODUCT_NAME}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\${INSTALL_NAME}"
; An install over an earlier one goes where that one went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT_NAME} ${PRODUCT_VERSION}"
!ifdef SIGN_COMMAND
  !uninstfinalize '"${SIGN_COMMAND}" "%1"' = 0
!endif

!define MUI_ICON "${LAUNCHER_ICON}"
!define MUI_UNICON "${LAUNCHER_ICON}"
!define MUI_ABORTWARNING
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartLauncher
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first is the fallback; otherwise the system's language chooses.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "TradChinese"

LangString ForeignFolder ${LANG_ENGLISH} "$INSTDIR holds files of something else, which uninstalling would remove with it. Choose an empty folder, or the folder of an earlier ${PRODUCT_NAME}."
LangString ForeignFolder ${LANG_SIMPCHINESE} "$INSTDIR 中已有其他程序的文件，卸载时会被一并删除。请选择一个空文件夹，或之前安装 ${PRODUCT_NAME} 的文件夹。"
LangString ForeignFolder ${LANG_TRADCHINESE} "$INSTDIR 中已有其他程式的檔案，解除安裝時會被一併刪除。請選擇一個空資料夾，或先前安裝 ${PRODUCT_NAME} 的資料夾。"
LangString RemoveData ${LANG_ENGLISH} "Also remove the game data in ${DATA_FOLDER} (the downloaded game and the launcher's records)?$\r$\n$\r$\nChoose No to keep it: a later install then finds the game in place."
LangString RemoveData ${LANG_SIMPCHINESE} "是否同时删除 ${DATA_FOLDER} 中的游戏数据（已下载的游戏和启动器的记录）？$\r$\n$\r$\n选择“否”将其保留，日后重新安装时无需再次下载游戏。"
LangString RemoveData ${LANG_TRADCHINESE} "是否同時刪除 ${DATA_FOLDER} 中的遊戲資料（已下載的遊戲和啟動器的記錄）？$\r$\n$\r$\n選擇「否」將其保留，日後重新安裝時無需再次下載遊戲。"

VIProductVersion "${PRODUCT_VERSION}"
VIFileVersion "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${COMPANY_NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "© ${COMPANY_NAME}"

; $0 is 1 when $INSTDIR holds something and no launcher: the uninstaller
; removes the whole folder, which must then be ours.
Function IsForeignFolder
  StrCpy $0 0
  IfFileExists "$INSTDIR\Launcher.exe" done
  FindFirst $1 $2 "$INSTDIR\*"
  ${DoWhile} $2 != ""
    ${If} $2 != "."
    ${AndIf} $2 != ".."
      StrCpy $0 1
      ${Break}
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
  done:
FunctionEnd

Function DirectoryLeave
  Call IsForeignFolder
  ${If} $0 == 1
    MessageBox MB_ICONEXCLAMATION|MB_OK "$(ForeignFolder)"
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
  ; A silent install has no page to choose again on: it ends, with code 2.
  ${If} ${Silent}
    Call IsForeignFolder
    ${If} $0 == 1
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

; The launcher reads its settings from its current folder: started in its own.
Function StartLauncher
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\Launcher.exe"'
FunctionEnd

Section "Install"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${PACKAGE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; A shortcut starts its program in $OUTPATH, the launcher's folder.
  CreateShortcut "$SMPROGRAMS\${SHORTCUT_NAME}" "$INSTDIR\Launcher.exe"
  CreateShortcut "$DESKTOP\${SHORTCUT_NAME}" "$INSTDIR\Launcher.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Launcher.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as the list of installed programs reads it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${SHORTCUT_NAME}"
  Delete "$DESKTOP\${SHORTCUT_NAME}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The game data is the player's: kept unless the player asks, and always
  ; by a silent uninstall.
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveData)" /SD IDNO IDNO keepData
  RMDir /r "${DATA_FOLDER}"
  keepData:
  ; Last, so that a folder gone means the uninstall is done. The launcher's
  ; self-updates may have added files: the whole folder goes.
  RMDir /r "$INSTDIR"
SectionEnd
