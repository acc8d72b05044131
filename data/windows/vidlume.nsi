; The Windows installer of Vidlume, made by makensis (NSIS 3) from the files of a
; Windows build: scripts/package-windows.sh, or the vidlume_installer target.
;   makensis -DVERSION=1.1.0.1 -DFILES=files.nsh -DOUTFILE=vidlume-setup.exe -DLICENSE=LICENSE \
;            -DICON=vidlume.ico vidlume.nsi
; FILES names an include made by WindowsInstallerFiles.cmake: the File lines of
; every installed file and the Delete lines that take them away again.
; A per-user installation needs no administrator; /AllUsers or /CurrentUser on
; the command line choose without asking (silent installs with /S).

Unicode true
Target amd64-unicode
!include "${FILES}"
SetCompressor /SOLID lzma

!define PRODUCT "Norvane Vidlume"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NorvaneVidlume"
!define APP_KEY "Software\Classes\Applications\vidlume.exe"
!define PROGID "NorvaneVidlume.flv"
!define PROGID_KEY "Software\Classes\${PROGID}"

; MultiUser.nsh asks for this level (RequestExecutionLevel highest): an
; administrator is asked for elevation and may install for everyone, anyone
; else installs for themselves.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Vidlume"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
; The program's own icon on the installer and the uninstaller.
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!include MUI2.nsh
!include x64.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "Norvane"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The last page offers to start the program (a silent install does not).
!define MUI_FINISHPAGE_RUN "$INSTDIR\vidlume.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Run Vidlume"
!define MUI_FINISHPAGE_NOREBOOTSUPPORT
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Vidlume"
  SetOutPath "$INSTDIR"
  !insertmacro INSTALL_FILES
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The Start menu entry: the window program.
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\vidlume.exe"

  ; "Apps & features": the uninstaller, for this user or for every user.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Norvane"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "https://www.norvane.example/vidlume.htm"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vidlume.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}

  ; "Open with": Vidlume is offered for Flash Video files, and "vidlume.exe FILE"
  ; takes the file as the video. The program that opens them by default stays.
  WriteRegStr SHCTX "${APP_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr SHCTX "${APP_KEY}\shell\open\command" "" '"$INSTDIR\vidlume.exe" "%1"'
  WriteRegStr SHCTX "${APP_KEY}\SupportedTypes" ".flv" ""
  WriteRegStr SHCTX "${PROGID_KEY}" "" "Flash Video"
  WriteRegStr SHCTX "${PROGID_KEY}\DefaultIcon" "" "$INSTDIR\vidlume.exe,0"
  WriteRegStr SHCTX "${PROGID_KEY}\shell\open\command" "" '"$INSTDIR\vidlume.exe" "%1"'
  WriteRegStr SHCTX "Software\Classes\.flv\OpenWithProgids" "${PROGID}" ""
SectionEnd

Section "Uninstall"
  !insertmacro UNINSTALL_FILES
  Delete "$INSTDIR\LICENSE.txt"
  ; The user's settings live in %APPDATA%\Vidlume and stay. A vidlume.ini that an
  ; earlier version wrote here, and that no start has moved there yet, stays too,
  ; with the folder that holds it.
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey SHCTX "${APP_KEY}"
  DeleteRegKey SHCTX "${PROGID_KEY}"
  DeleteRegValue SHCTX "Software\Classes\.flv\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty SHCTX "Software\Classes\.flv\OpenWithProgids"
SectionEnd
