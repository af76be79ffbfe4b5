@echo off
rem remove-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER]
rem
rem Undoes install-fonts.cmd with the same arguments: for every .ttf, .ttc,
rem .otf and .fon file of SOURCE_FOLDER, removes the copy of that name in
rem TARGET_FOLDER (by default the per-user font folder
rem LOCALAPPDATA\Microsoft\Windows\Fonts) from the font table and deletes it,
rem with fontctl.exe taken from this script's folder or else from PATH. A
rem copy that is not there counts as removed.
rem
rem Prints one line per file: the code fontctl.exe answered, what the code
rem means, and the file name. Exit status: 0 when every file answered 0,
rem 1 when one did not, 2 for a usage error.
rem
rem A path is kept in a FOR variable or expanded once inside quotes, so that
rem spaces, parentheses, ampersands and percent signs in it are taken as
rem they are. fontctl.exe writes its code into a file that FOR /F reads:
rem FOR /F over a command would hand the command to a second cmd, which
rem would expand the percent signs of the paths again.
setlocal EnableExtensions DisableDelayedExpansion

if "%~1"=="" goto usage
set "FC_SOURCE=%~f1"
if not "%~2"=="" (
    set "FC_TARGET=%~f2"
) else (
    if not defined LOCALAPPDATA goto no_local_app_data
    set "FC_TARGET=%LOCALAPPDATA%\Microsoft\Windows\Fonts"
)
set "FC_EXE=%~dp0fontctl.exe"
if not exist "%FC_EXE%" for %%p in (fontctl.exe) do set "FC_EXE=%%~$PATH:p"
if not defined FC_EXE goto no_fontctl

set "FC_OUT=%TEMP%\fontctl-%RANDOM%-%RANDOM%.txt"
set "FC_FOUND="
set "FC_FAILED="
rem The FOR below lists the current folder: make sure it is the source.
rem "||" is not used: Wine's cmd runs what follows it even after a
rem PUSHD that worked. "(call )" clears ERRORLEVEL for the test below.
(call )
pushd "%FC_SOURCE%" 2>nul
if errorlevel 1 goto no_source
for %%f in (*) do (
    for %%t in (.ttf .ttc .otf .fon) do (
        rem A wildcard also matches short names: compare the whole extension.
        if /i "%%~xf"=="%%t" (
            set "FC_FOUND=1"
            "%FC_EXE%" 2 "%FC_TARGET%\%%~nxf" >"%FC_OUT%"
            call :report
            echo %%~nxf
        )
    )
)
popd
del "%FC_OUT%" 2>nul

if not defined FC_FOUND echo No .ttf, .ttc, .otf or .fon file in "%FC_SOURCE%".
if defined FC_FAILED exit /b 1
exit /b 0

rem Prints the code in FC_OUT and its meaning, leaving the line open for the
rem file name; a missing code (fontctl.exe printed nothing) fails too.
:report
set "FC_CODE="
for /f "usebackq delims=" %%c in ("%FC_OUT%") do set "FC_CODE=%%c"
set "FC_MEANING=unexpected answer"
if "%FC_CODE%"=="" set "FC_MEANING=no answer from fontctl.exe"
if "%FC_CODE%"=="0" set "FC_MEANING=removed, or not there"
if "%FC_CODE%"=="1" set "FC_MEANING=not taken out of the font table, nothing deleted"
if "%FC_CODE%"=="2" set "FC_MEANING=taken out of the font table, but not deleted"
if not "%FC_CODE%"=="0" set "FC_FAILED=1"
if "%FC_CODE%"=="" set "FC_CODE=-"
<nul set /p "=%FC_CODE% %FC_MEANING%: "
goto :eof

:usage
echo usage: remove-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER] 1>&2
exit /b 2

:no_source
echo remove-fonts: no folder "%FC_SOURCE%" 1>&2
exit /b 2

:no_local_app_data
echo remove-fonts: LOCALAPPDATA is not set; name a target folder 1>&2
exit /b 2

:no_fontctl
echo remove-fonts: fontctl.exe is neither beside this script nor on PATH 1>&2
exit /b 2
