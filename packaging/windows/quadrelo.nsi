; Installer of Quadrelo for Windows: the window (quadrelo.exe), the batch tool
; (quadrelo-convert.exe) and LEEME.txt in one folder, a "Quadrelo" entry in the Start menu, a
; desktop shortcut the user may leave out, and an entry in the list of installed programs.
;   makensis -DVERSION=1.0.0 -DWINDOW_EXE=<quadrelo.exe> -DCONVERT_EXE=<quadrelo-convert.exe>
;            -DOUTFILE=<setup.exe> [-DLEEME=<LEEME.txt as installed>] quadrelo.nsi
; For the Qt window, -DWINDOW_DIR=<the folder windeployqt prepared> instead of WINDOW_EXE puts
; that folder in "ventana" beside the batch tool.
; Paths are best absolute: makensis works in this script's folder.
; Silent install and uninstall: setup.exe /S, desinstalar.exe /S (every component installed).

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
!ifdef WINDOW_EXE
  !define WINDOW "$INSTDIR\quadrelo.exe"
!else ifdef WINDOW_DIR
  !define WINDOW "$INSTDIR\ventana\quadrelo.exe"
!else
  !error "WINDOW_EXE (or WINDOW_DIR) is not defined"
!endif

!ifndef LEEME
  !define LEEME "LEEME.txt"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quadrelo"
!define SHORTCUT_TEXT "Convierte ficheros de transferencias recibidas en libros de Excel"

Name "Quadrelo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quadrelo"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
; In place of the installer system's name and version at the foot of every page.
BrandingText "Quadrelo ${VERSION}"

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "quadrelo.ico"
!define MUI_UNICON "quadrelo.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Este asistente instalará Quadrelo ${VERSION}, que convierte los ficheros de transferencias recibidas del banco en libros de Excel 97-2003 (.xls).$\r$\n$\r$\nSe instalan la ventana de Quadrelo, que se abre desde el menú Inicio, y quadrelo-convert, para convertir ficheros desde el Símbolo del sistema o un fichero .bat.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "${WINDOW}"
!define MUI_FINISHPAGE_RUN_TEXT "&Iniciar Quadrelo"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LEEME.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "&Ver LEEME.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductName" "Quadrelo"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileDescription" "Instalador de Quadrelo"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "LegalCopyright" "Quadrelo"

Section "Quadrelo" SecPrograms
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=quadrelo-convert.exe" "${CONVERT_EXE}"
  File "/oname=LEEME.txt" "${LEEME}"
!ifdef WINDOW_EXE
  File "/oname=quadrelo.exe" "${WINDOW_EXE}"
!else
  SetOutPath "$INSTDIR\ventana"
  File /r "${WINDOW_DIR}\*.*"
!endif
  ; The shortcuts start the window in the installation folder.
  SetOutPath "$INSTDIR"
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\Quadrelo.lnk" "${WINDOW}" "" "${WINDOW}" 0 SW_SHOWNORMAL "" \
    "${SHORTCUT_TEXT}"
  WriteUninstaller "$INSTDIR\desinstalar.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quadrelo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${WINDOW},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quadrelo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\desinstalar.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\desinstalar.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Icono en el escritorio" SecDesktop
  SetOutPath "$INSTDIR"
  SetShellVarContext all
  CreateShortcut "$DESKTOP\Quadrelo.lnk" "${WINDOW}" "" "${WINDOW}" 0 SW_SHOWNORMAL "" \
    "${SHORTCUT_TEXT}"
SectionEnd

LangString DESC_SecPrograms ${LANG_SPANISH} "La ventana de Quadrelo con su entrada en el menú Inicio, quadrelo-convert para convertir por lotes y el LEEME."
LangString DESC_SecDesktop ${LANG_SPANISH} "Un acceso directo a la ventana de Quadrelo en el escritorio."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPrograms} $(DESC_SecPrograms)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} $(DESC_SecDesktop)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  ; Only what the installer put there: files the user saved in the folder stay, and so does
  ; the folder then. A Qt window's folder holds nothing but what windeployqt gathered.
  SetShellVarContext all
  Delete "$SMPROGRAMS\Quadrelo.lnk"
  Delete "$DESKTOP\Quadrelo.lnk"
!ifdef WINDOW_EXE
  Delete "$INSTDIR\quadrelo.exe"
!else
  RMDir /r "$INSTDIR\ventana"
!endif
  Delete "$INSTDIR\quadrelo-convert.exe"
  Delete "$INSTDIR\LEEME.txt"
  Delete "$INSTDIR\desinstalar.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
