; Installer of Quadrelo for Windows: quadrelo-convert.exe and this LEEME.txt, and the window
; (quadrelo.exe with its Qt libraries, in a folder of their own) when WINDOW_DIR names the
; folder that windeployqt prepared.
;   makensis -DVERSION=1.0.0 -DCONVERT_EXE=<quadrelo-convert.exe> -DOUTFILE=<setup.exe>
;            [-DLEEME=<LEEME.txt as installed>] [-DWINDOW_DIR=<folder>] quadrelo-convert.nsi
; Paths are best absolute: makensis works in this script's folder.
; Silent install and uninstall: setup.exe /S, desinstalar.exe /S.

; A 64-bit installer, as the programs it installs: it runs where they run (and under a Wine
; without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef CONVERT_EXE
  !error "CONVERT_EXE is not defined"
!endif
!ifndef OUTFILE
  !error "OUTFILE is not defined"
!endif

!ifndef LEEME
  !define LEEME "LEEME.txt"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quadrelo"

Name "Quadrelo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quadrelo"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

!include "MUI2.nsh"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductName" "Quadrelo"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileDescription" "Instalador de Quadrelo"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "LegalCopyright" "Quadrelo"

Section "Quadrelo"
  SetOutPath "$INSTDIR"
  File "/oname=quadrelo-convert.exe" "${CONVERT_EXE}"
  File "/oname=LEEME.txt" "${LEEME}"
!ifdef WINDOW_DIR
  SetOutPath "$INSTDIR\ventana"
  File /r "${WINDOW_DIR}\*.*"
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\Quadrelo.lnk" "$INSTDIR\ventana\quadrelo.exe"
  SetOutPath "$INSTDIR"
!endif
  WriteUninstaller "$INSTDIR\desinstalar.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quadrelo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quadrelo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\desinstalar.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\desinstalar.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only what the installer put there: files the user saved in the folder stay, and so does
  ; the folder then. The window's folder holds nothing but what windeployqt gathered.
  Delete "$INSTDIR\quadrelo-convert.exe"
  Delete "$INSTDIR\LEEME.txt"
!ifdef WINDOW_DIR
  SetShellVarContext all
  Delete "$SMPROGRAMS\Quadrelo.lnk"
  RMDir /r "$INSTDIR\ventana"
!endif
  Delete "$INSTDIR\desinstalar.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
