@echo off
rem Puts this release's files into the suite's folder. The installer runs the package's copy in
rem <suite>\backup\<package>\, so the suite's folder is two levels above the script, whatever the
rem current folder is.
setlocal
set "SUITE=%~dp0..\.."
copy /y "%~dp0Files\*.*" "%SUITE%\" >nul
if errorlevel 1 exit /b 1
type "%~dp0Files\version.txt" >>"%SUITE%\Install.log"
exit /b 0
