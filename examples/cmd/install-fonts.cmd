@echo off
rem install-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER]
rem
rem Installs every .ttf, .ttc, .otf and .fon file of SOURCE_FOLDER for this
rem session with fontctl-utf8.exe, or else fontctl.exe: taken from this
rem script's folder, or else from PATH. The copies go into TARGET_FOLDER, by
rem default the per-user font folder LOCALAPPDATA\Microsoft\Windows\Fonts;
rem the folder is created when missing. A copy already there is taken out of
rem the font table and deleted first, since Windows keeps the file of a
rem loaded font open. A copy keeps no read-only attribute, so that it can be
rem removed later; the copy of a file that holds no font is deleted again.
rem Hidden and system files are left out, as Windows' FOR leaves them out of
rem its list. Fonts added this way last until the user signs out: run the
rem script at logon to have them in every session.
rem
rem Prints one line per file: the code fontctl answered, what the code
rem means, and the file name. Exit status: 0 when every file answered 0,
rem 1 when one did not, 2 for a usage error.
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
rem The target is quoted as the last argument of fontctl: a backslash before
rem the closing quote would escape it. So a folder loses its last
rem backslash, and a drive root becomes "D:\.", because a bare "D:" names
rem that drive's current folder. The source is written alike, to compare.
if "%FC_TARGET:~-1%"=="\" set "FC_TARGET=%FC_TARGET:~0,-1%"
if "%FC_TARGET:~-1%"==":" set "FC_TARGET=%FC_TARGET%\."
if "%FC_SOURCE:~-1%"=="\" set "FC_SOURCE=%FC_SOURCE:~0,-1%"
if "%FC_SOURCE:~-1%"==":" set "FC_SOURCE=%FC_SOURCE%\."
rem A source that is the target holds no copies, only the fonts themselves.
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
if not exist "%FC_TARGET%\" mkdir "%FC_TARGET%"
for %%G in (*) do (
    for %%H in (.ttf .ttc .otf .fon) do (
        rem A wildcard also matches short names: compare the whole extension.
        if /i "%%~xG"=="%%H" (
            set "FC_ATTRIBUTES=%%~aG"
            call :pick
            if defined FC_PICKED (
                if exist "%FC_TARGET%\%%~nxG" (
                    attrib -r "%FC_TARGET%\%%~nxG" >nul 2>&1
                    "%FC_EXE%" 2 "%FC_TARGET%\%%~nxG" >nul
                )
                "%FC_EXE%" 1 "%%~fG" "%FC_TARGET%" >"%FC_OUT%"
                call :report
                echo %%~nxG
                if exist "%FC_TARGET%\%%~nxG" attrib -r "%FC_TARGET%\%%~nxG" >nul 2>&1
                rem DEL given a folder would empty it: files only. (Wine's cmd
                rem finds "NAME\" for a file NAME too, but not "NAME\*".)
                if defined FC_DROP if not exist "%FC_TARGET%\%%~nxG\*" del /f /q "%FC_TARGET%\%%~nxG" 2>nul
            )
        )
    )
)
popd
del "%FC_OUT%" 2>nul

if not defined FC_FOUND echo No .ttf, .ttc, .otf or .fon file in "%FC_SOURCE%".
if defined FC_FAILED exit /b 1
exit /b 0

rem Prints the code in FC_OUT and its meaning, leaving the line open for the
rem file name; a missing code (fontctl printed nothing) fails too.
rem Sets FC_DROP when the copy holds no font: IF DEFINED is evaluated as the
rem loop runs, where a percent expansion keeps the value from before it.
:report
set "FC_CODE="
set "FC_DROP="
for /f "usebackq delims=" %%J in ("%FC_OUT%") do set "FC_CODE=%%J"
set "FC_MEANING=unexpected answer"
if "%FC_CODE%"=="" set "FC_MEANING=no answer from fontctl"
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
echo usage: install-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER] 1>&2
exit /b 2

:no_source
echo install-fonts: no folder "%FC_SOURCE%" 1>&2
exit /b 2

:same_folder
echo install-fonts: the source folder is the target folder "%FC_TARGET%" 1>&2
exit /b 2

:no_local_app_data
echo install-fonts: LOCALAPPDATA is not set; name a target folder 1>&2
exit /b 2

:no_fontctl
echo install-fonts: neither fontctl-utf8.exe nor fontctl.exe is beside this script or on PATH 1>&2
exit /b 2
