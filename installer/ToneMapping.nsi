; Installer of the Tone Mapping plug-in for 64-bit Windows hosts, built with
; makensis on any platform:
;   makensis -DMODULE=/abs/ToneMapping.8bf -DHELP_DIR=/abs/docs/help -DVERSION=1.2 \
;            -DFILE_VERSION=1.2.0.0 -DOUTFILE=ToneMapping-Setup.exe installer/ToneMapping.nsi
; (installer/CMakeLists.txt passes them, the version from host/PluginIdentity.h).
; It copies the plug-in, its help page and an uninstaller into one folder of
; the user's choice and records that folder as `Path` under the plug-in's key
; in the current user's registry, where the dialog's "?" button looks for
; Help.html. Silent use: ToneMapping-Setup.exe /S [/D=folder]

!ifndef MODULE | HELP_DIR | VERSION | FILE_VERSION | OUTFILE
  !error "define MODULE, HELP_DIR, VERSION, FILE_VERSION and OUTFILE"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Tone Mapping Plug-In"
!define PLUGIN_KEY "Software\Corvanta\Quillon\ToneMappingPlugin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuillonToneMapping"
!define UNINSTALLER "Uninstall Tone Mapping.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The applications' shared plug-ins folder, which current hosts search with
; its subfolders. Browsing to another folder appends "Tone Mapping" to it.
InstallDir "$COMMONFILES64\Adobe\Plug-Ins\CC\Tone Mapping"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "Corvanta"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${FILE_VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Corvanta"

!include "MUI2.nsh"

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup installs the Tone Mapping filter (ToneMapping.8bf) and its help page into the folder below. Choose a folder inside one that your image editor searches for plug-ins; the suggested one lies in the plug-ins folder shared by current versions of Photoshop. Restart the application after installing."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Help.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the help page"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "Tone Mapping"
  SetOutPath "$INSTDIR"
  File "/oname=ToneMapping.8bf" "${MODULE}"
  File "/oname=Help.html" "${HELP_DIR}/Help.html"
  ; The help page's screenshots, where the source tree has them.
  !if /FileExists "${HELP_DIR}/dialog-small.png"
    File "/oname=dialog-small.png" "${HELP_DIR}/dialog-small.png"
  !endif
  !if /FileExists "${HELP_DIR}/dialog-large.png"
    File "/oname=dialog-large.png" "${HELP_DIR}/dialog-large.png"
  !endif

  ; Where the dialog's "?" finds Help.html.
  WriteRegStr HKCU "${PLUGIN_KEY}" "Path" "$INSTDIR"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  SetRegView 64
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Corvanta"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\ToneMapping.8bf"
  Delete "$INSTDIR\Help.html"
  Delete "$INSTDIR\dialog-small.png"
  Delete "$INSTDIR\dialog-large.png"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when nothing else was put there.
  RMDir "$INSTDIR"

  ; The plug-in's key holds the installation folder and the folder last used
  ; for settings files; its parents go only when empty.
  DeleteRegKey HKCU "${PLUGIN_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Corvanta\Quillon"
  DeleteRegKey /ifempty HKCU "Software\Corvanta"
  SetRegView 64
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
