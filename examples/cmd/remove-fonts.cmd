@echo off
rem remove-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER]
rem
rem Undoes install-fonts.cmd with the same arguments: for every .ttf, .ttc,
rem .otf and .fon file of SOURCE_FOLDER, removes the copy of that name in
rem TARGET_FOLDER (by default the per-user font folder
rem LOCALAPPDATA\Microsoft\Windows\Fonts) from the font table and deletes it,
rem with fontctl-utf8.exe, or else fontctl.exe: taken from this script's
rem folder, or else from PATH. A copy that is not there counts as removed.
rem A copy whose fonts are not in this session's font table (installed in an
rem earlier session), or that fontctl could not delete, is deleted here.
rem Hidden and system files of SOURCE_FOLDER are left out, as install-fonts.cmd
rem leaves them out.
rem
rem Prints one line per file: the code fontctl answered, what became of the
rem copy, and the file name. Exit status: 0 when every copy is gone, 1 when
rem one is left, 2 for a usage error.
rem
rem A path is kept in a FOR variable or expanded once inside quotes, so that
rem spaces, parentheses, ampersands and percent signs in it are taken as
rem they are. fontctl writes its code into a file that FOR /F reads: FOR /F
rem over a command would hand the command to a second cmd, which would
rem expand the percent signs of the paths again. FOR variables are letters
rem that are no path modifier (G, H, I, J), so that %%~nxG cannot be misread.
setlocal EnableExtensions DisableDelayedExpansion

if "%~1"=="" goto usage
set "FC_SOURCE=%~f1"
if not "%~2"=="" (
    set "FC_TARGET=%~f2"
) else (
    if not defined LOCALAPPDATA goto no_local_app_data
    set "FC_TARGET=%LOCALAPPDATA%\Microsoft\Windows\Fonts"
)
rem The same folder text as install-fonts.cmd makes of it: the font table
rem knows a font by the path it was added under. The source is written
rem alike, to compare.
if "%FC_TARGET:~-1%"=="\" set "FC_TARGET=%FC_TARGET:~0,-1%"
if "%FC_TARGET:~-1%"==":" set "FC_TARGET=%FC_TARGET%\."
if "%FC_SOURCE:~-1%"=="\" set "FC_SOURCE=%FC_SOURCE:~0,-1%"
if "%FC_SOURCE:~-1%"==":" set "FC_SOURCE=%FC_SOURCE%\."
rem A source that is the target holds no copies, only the fonts themselves,
rem which this script would delete.
if /i "%FC_SOURCE%"=="%FC_TARGET%" goto same_folder

rem fontctl-utf8.exe receives every name that Windows can hold; fontctl.exe
rem only those of the ANSI code page.
set "FC_EXE=%~dp0fontctl-utf8.exe"
if not exist "%FC_EXE%" set "FC_EXE=%~dp0fontctl.exe"
if not exist "%FC_EXE%" for %%I in (fontctl-utf8.exe) do set "FC_EXE=%%~$PATH:I"
if not defined FC_EXE for %%I in (fontctl.exe) do set "FC_EXE=%%~$PATH:I"
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
for %%G in (*) do (
    for %%H in (.ttf .ttc .otf .fon) do (
        rem A wildcard also matches short names: compare the whole extension.
        if /i "%%~xG"=="%%H" (
            set "FC_ATTRIBUTES=%%~aG"
            call :pick
            if defined FC_PICKED (
                "%FC_EXE%" 2 "%FC_TARGET%\%%~nxG" >"%FC_OUT%"
                call :read_code
                rem DEL given a folder would empty it: files only. (Wine's cmd
                rem finds "NAME\" for a file NAME too, but not "NAME\*".)
                if defined FC_DELETE if not exist "%FC_TARGET%\%%~nxG\*" (
                    attrib -r "%FC_TARGET%\%%~nxG" >nul 2>&1
                    del /f /q "%FC_TARGET%\%%~nxG" >nul 2>&1
                )
                if exist "%FC_TARGET%\%%~nxG" (set "FC_LEFT=1") else set "FC_LEFT="
                call :report
                echo %%~nxG
            )
        )
    )
)
popd
del "%FC_OUT%" 2>nul

if not defined FC_FOUND echo No .ttf, .ttc, .otf or .fon file in "%FC_SOURCE%".
if defined FC_FAILED exit /b 1
exit /b 0

rem Reads the code in FC_OUT into FC_CODE, and sets FC_DELETE when the copy
rem is for this script to delete: its fonts were not in the font table (1),
rem or were taken out but the file stayed (2). IF DEFINED is evaluated as
rem the loop runs, where a percent expansion keeps the value from before it.
:read_code
set "FC_CODE="
set "FC_DELETE="
for /f "usebackq delims=" %%J in ("%FC_OUT%") do set "FC_CODE=%%J"
if "%FC_CODE%"=="1" set "FC_DELETE=1"
if "%FC_CODE%"=="2" set "FC_DELETE=1"
goto :eof

rem Prints the code and what became of the copy, leaving the line open for
rem the file name; a missing code (fontctl printed nothing) fails too.
:report
set "FC_MEANING=unexpected answer"
if "%FC_CODE%"=="" set "FC_MEANING=no answer from fontctl"
if "%FC_CODE%"=="0" set "FC_MEANING=removed, or not there"
if "%FC_CODE%"=="1" set "FC_MEANING=not in the font table, copy deleted"
if "%FC_CODE%"=="2" set "FC_MEANING=taken out of the font table, copy deleted"
if "%FC_CODE%%FC_LEFT%"=="11" set "FC_MEANING=not in the font table, copy not deleted"
if "%FC_CODE%%FC_LEFT%"=="21" set "FC_MEANING=taken out of the font table, copy not deleted"
if not "%FC_CODE%"=="0" if not defined FC_DELETE set "FC_FAILED=1"
if defined FC_LEFT set "FC_FAILED=1"
if "%FC_CODE%"=="" set "FC_CODE=-"
<nul set /p "=%FC_CODE% %FC_MEANING%: "
goto :eof

rem Picks the file whose attributes are in FC_ATTRIBUTES (as in "--a------":
rem d, r, a, h, s, ...) unless it is hidden or system, as Windows' FOR does;
rem Wine's FOR lists such files too.
:pick
set "FC_PICKED="
if "%FC_ATTRIBUTES:~3,1%"=="h" goto :eof
if "%FC_ATTRIBUTES:~4,1%"=="s" goto :eof
set "FC_PICKED=1"
set "FC_FOUND=1"
goto :eof

:usage
echo usage: remove-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER] 1>&2
exit /b 2

:no_source
echo remove-fonts: no folder "%FC_SOURCE%" 1>&2
exit /b 2

:same_folder
echo remove-fonts: the source folder is the target folder "%FC_TARGET%" 1>&2
exit /b 2

:no_local_app_data
echo remove-fonts: LOCALAPPDATA is not set; name a target folder 1>&2
exit /b 2

:no_fontctl
echo remove-fonts: neither fontctl-utf8.exe nor fontctl.exe is beside this script or on PATH 1>&2
exit /b 2
