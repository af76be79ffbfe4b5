@echo off
rem remove-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER]
rem
rem Undoes install-fonts.cmd with the same arguments: for every .ttf, .ttc,
rem .otf and .fon file of SOURCE_FOLDER, removes the copy of that name in
rem TARGET_FOLDER (by default the per-user font folder
rem LOCALAPPDATA\Microsoft\Windows\Fonts) from the font table and deletes it,
rem with fontctl-utf8.exe, or else fontctl.exe: taken from this script's
rem folder, or else from PATH. fontctl runs only for a copy that is there; a
rem copy that is not there counts as removed. A target that is not a folder
rem is a usage error. A copy whose fonts are not in this session's font
rem table (installed in an earlier session), or that fontctl could not
rem delete, is deleted here, read-only, hidden or system as it may be
rem (DEL /F /A). Hidden and system files of SOURCE_FOLDER are left out, as
rem install-fonts.cmd leaves them out.
rem
rem The source and the target must be two folders, however each is written,
rem or the script would delete the fonts themselves: it makes a new folder
rem in the target and stops when it shows in the source (a link, a drive
rem letter of its own, a short name or \\?\).
rem Such a folder that a run stopped midway left behind is removed by the
rem next run once a minute has turned. A font named like the short (8.3)
rem name of another file in the target, which would reach that file, is
rem reported and left alone; so is a font whose path in the source or the
rem target is longer than 259 characters, which cmd cannot reach.
rem
rem Prints one line per file: the code fontctl answered, what became of the
rem copy, and the file name. Exit status: 0 when every copy is gone, 1 when
rem one is left, 2 for a usage error or a target folder that cannot be
rem checked.
rem
rem A path is kept in a FOR variable or expanded once inside quotes, so that
rem spaces, parentheses, ampersands and percent signs in it are taken as
rem they are. fontctl writes its code into a file, in a folder of this run's
rem own, that FOR /F reads: FOR /F over a command would hand the command to a
rem second cmd, which would expand the percent signs of the paths again. A
rem file is named by %%G alone, as the folder lists it. FOR variables are
rem letters that are no path modifier (G, I, J), so that %%~aG cannot be
rem misread.
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
rem A target that is there must be a folder. Its attributes tell, where
rem "TARGET\*" matches nothing in an empty drive root, which lists no
rem "." or "..".
set "FC_TARGET_ATTRIBUTES="
for %%I in ("%FC_TARGET%") do set "FC_TARGET_ATTRIBUTES=%%~aI"
if defined FC_TARGET_ATTRIBUTES if not "%FC_TARGET_ATTRIBUTES:~0,1%"=="d" goto target_not_a_folder

rem fontctl-utf8.exe receives every name that Windows can hold; fontctl.exe
rem only those of the ANSI code page.
set "FC_EXE=%~dp0fontctl-utf8.exe"
if not exist "%FC_EXE%" set "FC_EXE=%~dp0fontctl.exe"
if not exist "%FC_EXE%" for %%I in (fontctl-utf8.exe) do set "FC_EXE=%%~$PATH:I"
if not defined FC_EXE for %%I in (fontctl.exe) do set "FC_EXE=%%~$PATH:I"
if not defined FC_EXE goto no_fontctl

set "FC_FOUND="
set "FC_FAILED="
rem The FOR below lists the current folder: make sure it is the source.
rem "||" is not used: Wine's cmd runs what follows it even after a
rem PUSHD that worked. "(call )" clears ERRORLEVEL for the test below.
(call )
pushd "%FC_SOURCE%" 2>nul
if errorlevel 1 goto no_source
rem A target that is not there holds no copy to remove.
set "FC_SAME="
set "FC_CHECKED=1"
if exist "%FC_TARGET%\*" call :compare_folders
if defined FC_SAME goto same_folder_named_otherwise
if not defined FC_CHECKED goto target_not_checked
rem cmd seeds RANDOM from the clock's seconds: a file name made from it is
rem shared by runs started together. The folder is this run's alone.
set "FC_IN=%TEMP%\fontctl-"
call :new_folder
if not defined FC_MADE goto no_temporary_folder
set "FC_OUT=%FC_MADE%\code.txt"
set "FC_NAMED=%FC_MADE%\name.txt"
rem 320 question marks, a character that no path holds: a path followed by
rem them has a 260th character, which is one of them unless the path is
rem longer than 259. (Wine's cmd gives stale text for a substring that
rem starts beyond the end of a value.)
set "FC_PAD=????????????????"
set "FC_PAD=%FC_PAD%%FC_PAD%%FC_PAD%%FC_PAD%"
set "FC_PAD=%FC_PAD%%FC_PAD%%FC_PAD%%FC_PAD%%FC_PAD%"
for %%G in (*) do (
    set "FC_NAME=%%G"
    set "FC_ATTRIBUTES=%%~aG"
    set "FC_PATH=%FC_SOURCE%\%%G%FC_PAD%"
    set "FC_COPY=%FC_TARGET%\%%G%FC_PAD%"
    call :pick
    if defined FC_PICKED (
        rem A name can be the short (8.3) name that Windows gave another
        rem file of the target, which opens that file: DIR lists the name
        rem of the file that the path reaches. (The names are compared as
        rem FOR values in a subroutine: Wine's cmd misreads an IF ... ELSE
        rem after a FOR nested here, and expands a variable's value again.)
        rem Only when there is a copy: a first run looks no further.
        if not defined FC_TOO_LONG if exist "%%G" if exist "%FC_TARGET%\%%G" if not exist "%FC_TARGET%\%%G\*" (
            dir /b /a "%FC_TARGET%\%%G" >"%FC_OUT%" 2>nul
            >"%FC_NAMED%" echo %%G
            call :check_copy_name
        )
        if defined FC_TOO_LONG (
            set "FC_FAILED=1"
            <nul set /p "=- path too long for cmd: "
            echo %%G
        ) else (
            rem Wine's cmd expands a percent sign in a FOR value again: a
            rem name that then names no file of the source is reported,
            rem never used.
            if not exist "%%G" (
                set "FC_FAILED=1"
                <nul set /p "=- not in the source folder: "
                echo %%G
            ) else (
                if defined FC_ALIAS (
                    set "FC_FAILED=1"
                    <nul set /p "=- another file's short name in the target folder, left alone: "
                    echo %%G
                ) else (
                    if not exist "%FC_TARGET%\%%G" (
                        <nul set /p "=- no copy in the target folder: "
                        echo %%G
                    ) else (
                        "%FC_EXE%" 2 "%FC_TARGET%\%%G" >"%FC_OUT%"
                        call :read_code
                        rem DEL given a folder would empty it: files only.
                        rem (Wine's cmd finds "NAME\" for a file NAME too,
                        rem but not "NAME\*".)
                        if defined FC_DELETE if not exist "%FC_TARGET%\%%G\*" (
                            del /f /a /q "%FC_TARGET%\%%G" >nul 2>&1
                        )
                        if exist "%FC_TARGET%\%%G" (set "FC_LEFT=1") else set "FC_LEFT="
                        call :report
                        echo %%G
                    )
                )
            )
        )
    )
)
del "%FC_OUT%" "%FC_NAMED%" 2>nul
rmdir "%FC_MADE%" 2>nul
popd

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

rem Picks the file FC_NAME, with the attributes FC_ATTRIBUTES (as in
rem "--a------": d, r, a, h, s, ...), when its name ends in a font extension
rem (a wildcard such as *.ttf would match short names too), unless it is
rem hidden or system, as Windows' FOR does; Wine's FOR lists such files too.
rem Only the last four characters of the name are expanded. Sets
rem FC_TOO_LONG when its path, or that of its copy, is longer than 259
rem characters: cmd reaches no such file (Windows' IF EXIST does not find
rem it, and Wine's cmd gives it no attributes), so none of the checks here
rem would hold. FC_PATH and FC_COPY hold those paths followed by FC_PAD.
:pick
set "FC_PICKED="
set "FC_TOO_LONG="
set "FC_ALIAS="
set "FC_EXTENSION=%FC_NAME:~-4%"
if /i not "%FC_EXTENSION%"==".ttf" if /i not "%FC_EXTENSION%"==".ttc" if /i not "%FC_EXTENSION%"==".otf" if /i not "%FC_EXTENSION%"==".fon" goto :eof
if not "%FC_PATH:~259,1%"=="?" set "FC_TOO_LONG=1"
if not "%FC_COPY:~259,1%"=="?" set "FC_TOO_LONG=1"
if not defined FC_TOO_LONG if "%FC_ATTRIBUTES:~3,1%"=="h" goto :eof
if not defined FC_TOO_LONG if "%FC_ATTRIBUTES:~4,1%"=="s" goto :eof
set "FC_PICKED=1"
set "FC_FOUND=1"
goto :eof

rem Sets FC_ALIAS when the file that the target path reaches, whose name DIR
rem wrote into FC_OUT, is not named as the font in FC_NAMED: the font's name
rem is then the short (8.3) name that Windows gave another file.
:check_copy_name
for /f "usebackq eol=/ delims=" %%J in ("%FC_OUT%") do for /f "usebackq eol=/ delims=" %%I in ("%FC_NAMED%") do if /i not "%%J"=="%%I" set "FC_ALIAS=1"
goto :eof

rem Clears FC_CHECKED, and sets FC_SAME when the target folder is the source
rem folder, the current folder, under another name (a link, a drive letter
rem of its own, a short name, \\?\): a new folder made in the target then
rem shows here. It is removed again at once. Sets FC_CHECKED again once that
rem could be told: the folder was still there after the look in the source.
:compare_folders
set "FC_CHECKED="
(call )
pushd "%FC_TARGET%" 2>nul
if errorlevel 1 goto :eof
set "FC_IN=fontctl-check-"
call :new_folder
if defined FC_MADE call :remove_stale_checks
popd
if not defined FC_MADE goto :eof
if exist "%FC_MADE%\*" set "FC_SAME=1"
(call )
pushd "%FC_TARGET%" 2>nul
if errorlevel 1 goto :eof
set "FC_STILL="
if exist "%FC_MADE%\*" set "FC_STILL=1"
rmdir "%FC_MADE%" 2>nul
popd
if defined FC_STILL set "FC_CHECKED=1"
goto :eof

rem Removes, from the current folder (the target), the check folders that
rem runs stopped midway left behind: empty (RMDIR without /S), named
rem fontctl-check- and numbers, and stamped in an earlier minute than the
rem one just made (by the clock of the target's own file system). Another
rem run's check folder lives for milliseconds; should it still go at the turn
rem of a minute, that run finds it gone after its look in the source and
rem stops, never taking one folder for two.
:remove_stale_checks
for %%I in ("%FC_MADE%") do set "FC_NOW=%%~tI"
for /d %%I in (fontctl-check-*) do (
    set "FC_STALE=%%I"
    set "FC_STAMP=%%~tI"
    call :remove_if_stale
)
goto :eof

:remove_if_stale
if /i "%FC_STALE%"=="%FC_MADE%" goto :eof
if "%FC_STAMP%"=="%FC_NOW%" goto :eof
rem What follows fontctl-check-, by way of a last character of its own:
rem an offset at the very end of a value gives its last character in
rem Wine 10's cmd, and what is left of an earlier value in Wine 8's.
set "FC_NUMBERS=%FC_STALE%."
set "FC_NUMBERS=%FC_NUMBERS:~14%"
set "FC_NUMBERS=%FC_NUMBERS:~0,-1%"
if not defined FC_NUMBERS goto :eof
for /f "delims=0123456789-" %%I in ("0%FC_NUMBERS%") do goto :eof
rmdir "%FC_STALE%" 2>nul
goto :eof

rem Makes a new folder named FC_IN and two random numbers, and sets FC_MADE
rem to it. MKDIR fails on a name that is taken, so no other run, nor anyone
rem else, has the folder; runs started together draw the same numbers and
rem try the next ones.
:new_folder
set "FC_MADE="
for /l %%I in (1,1,100) do if not defined FC_MADE call :try_new_folder
goto :eof

:try_new_folder
set "FC_TRY=%FC_IN%%RANDOM%-%RANDOM%"
(call )
mkdir "%FC_TRY%" 2>nul
if not errorlevel 1 set "FC_MADE=%FC_TRY%"
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

:target_not_a_folder
echo remove-fonts: the target "%FC_TARGET%" is not a folder 1>&2
exit /b 2

:same_folder_named_otherwise
popd
echo remove-fonts: the target folder "%FC_TARGET%" is the source folder "%FC_SOURCE%" 1>&2
exit /b 2

:target_not_checked
popd
echo remove-fonts: the target folder "%FC_TARGET%" cannot be told from the source folder: it cannot be entered, takes no new folder, or lost the one made in it 1>&2
exit /b 2

:no_temporary_folder
popd
echo remove-fonts: cannot make a folder in TEMP "%TEMP%" 1>&2
exit /b 2

:no_local_app_data
echo remove-fonts: LOCALAPPDATA is not set; name a target folder 1>&2
exit /b 2

:no_fontctl
echo remove-fonts: neither fontctl-utf8.exe nor fontctl.exe is beside this script or on PATH 1>&2
exit /b 2
