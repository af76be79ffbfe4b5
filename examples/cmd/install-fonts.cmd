@echo off
rem install-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER]
rem
rem Installs every .ttf, .ttc, .otf and .fon file of SOURCE_FOLDER for this
rem session with fontctl.exe, taken from this script's folder or else from
rem PATH. The copies go into TARGET_FOLDER, by default the per-user font
rem folder LOCALAPPDATA\Microsoft\Windows\Fonts; the folder is created when
rem missing. The copy of a file that holds no font is deleted again. Fonts
rem added this way last until the user signs out: run the script at logon
rem to have them in every session.
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
if not exist "%FC_TARGET%\" mkdir "%FC_TARGET%"
for %%f in (*) do (
    for %%t in (.ttf .ttc .otf .fon) do (
        rem A wildcard also matches short names: compare the whole extension.
        if /i "%%~xf"=="%%t" (
            set "FC_FOUND=1"
            "%FC_EXE%" 1 "%%~ff" "%FC_TARGET%" >"%FC_OUT%"
            call :report
            echo %%~nxf
            if defined FC_DROP del "%FC_TARGET%\%%~nxf" 2>nul
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
rem Sets FC_DROP when the copy holds no font: IF DEFINED is evaluated as the
rem loop runs, where a percent expansion keeps the value from before it.
:report
set "FC_CODE="
set "FC_DROP="
for /f "usebackq delims=" %%c in ("%FC_OUT%") do set "FC_CODE=%%c"
set "FC_MEANING=unexpected answer"
if "%FC_CODE%"=="" set "FC_MEANING=no answer from fontctl.exe"
if "%FC_CODE%"=="0" set "FC_MEANING=installed"
if "%FC_CODE%"=="1" set "FC_MEANING=font file not found"
if "%FC_CODE%"=="2" set "FC_MEANING=target folder not found"
if "%FC_CODE%"=="3" set "FC_MEANING=copy failed"
if "%FC_CODE%"=="4" set "FC_MEANING=no font in the file, copy deleted"
if "%FC_CODE%"=="4" set "FC_DROP=1"
if not "%FC_CODE%"=="0" set "FC_FAILED=1"
if "%FC_CODE%"=="" set "FC_CODE=-"
<nul set /p "=%FC_CODE% %FC_MEANING%: "
goto :eof

:usage
echo usage: install-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER] 1>&2
exit /b 2

:no_source
echo install-fonts: no folder "%FC_SOURCE%" 1>&2
exit /b 2

:no_local_app_data
echo install-fonts: LOCALAPPDATA is not set; name a target folder 1>&2
exit /b 2

:no_fontctl
echo install-fonts: fontctl.exe is neither beside this script nor on PATH 1>&2
exit /b 2
