; A typical NSIS 3 Modern UI 2 installer, the yardstick of the wizard's start-up: Unicode, Russian, the pages
; most users have seen (welcome, folder, components, progress, finish). It installs one small file.
; Built by scripts/bench-startup with Debian's makensis; never part of the product or its tests.
Unicode true
!include "MUI2.nsh"

Name "Тессаро-Холтер (образец NSIS)"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\NsisYardstick"
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "Russian"

Section "Программы" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${__FILE__}"
SectionEnd

Section "Драйвер USB" SecDriver
SectionEnd
