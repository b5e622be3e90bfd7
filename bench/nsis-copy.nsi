; The yardstick of the installation's copying: an NSIS installer that copies the large medium's files (the
; database, the server's files, the release packages, the updater's files and the newest package's files) with
; CopyFiles, as an installer that takes its files from beside itself would. Built by scripts/bench-install with
; Debian's makensis, MEDIUM being the Windows path of the medium; run silently: nsis-copy.exe /S /D=<target>.
; A copy that fails ends the run with exit code 3, so that the benchmark never times a run that did not copy.
Unicode true

Name "Тессаро-Холтер (образец NSIS, копирование)"
OutFile "${OUTFILE}"
InstallDir "$TEMP\NsisCopyYardstick"
RequestExecutionLevel user

Page instfiles

!macro Copy FROM TO
  CopyFiles /SILENT "${MEDIUM}\${FROM}" "${TO}"
  IfErrors 0 +3
    SetErrorLevel 3
    Abort "Не скопировано: ${FROM}"
!macroend

Section
  ClearErrors
  SetOutPath "$INSTDIR"
  ; A destination that does not exist would be taken for the name of a single file's copy. The server's
  ; folders intl and udf come with Firebird\*.*, before the suite's libraries join udf.
  CreateDirectory "$INSTDIR\DTAfb"
  CreateDirectory "$INSTDIR\backup"
  IfErrors 0 +3
    SetErrorLevel 3
    Abort "Папки не созданы"
  !insertmacro Copy "DTAfb\T12.FDB" "$INSTDIR\DTAfb"
  !insertmacro Copy "Firebird\*.*" "$INSTDIR"
  !insertmacro Copy "UDF\*.*" "$INSTDIR\udf"
  !insertmacro Copy "backup\*.*" "$INSTDIR\backup"
  !insertmacro Copy "Updater\*.*" "$INSTDIR"
  !insertmacro Copy "backup\R010321\Files\*.*" "$INSTDIR"
SectionEnd
