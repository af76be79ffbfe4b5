@echo off
rem install-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER]
rem
rem Installs every .ttf, .ttc, .otf and .fon file of SOURCE_FOLDER for this
rem session with fontctl-utf8.exe, or else fontctl.exe: taken from this
rem script's folder, or else from PATH. The copies go into TARGET_FOLDER, by
rem default the per-user font folder LOCALAPPDATA\Microsoft\Windows\Fonts;
rem the folder is created when missing. One fontctl run a font, on a first
rem run as on a run at logon: a copy already there is installed over, which
rem fontctl does in one step, keeping the copy when the new one cannot be
rem made. Windows refuses to write over a read-only, hidden or system file,
rem so such a copy loses those attributes first (ATTRIB runs only then). A
rem copy whose fonts are loaded is held open by Windows, and the install
rem answers 3: only then is that copy kept aside, taken out of the font
rem table and installed over, and put back should the install fail (and
rem left in this run's folder in TEMP, which the report names, should that
rem fail too). A copy keeps no read-only attribute, so that it can be
rem removed later; the copy of a file that holds no font is deleted again.
rem Hidden and system files are left out, as Windows' FOR leaves them out of
rem its list. Fonts added this way last until the user signs out: run the
rem script at logon to have them in every session.
rem
rem The source and the target must be two folders, however each is written:
rem the script makes a new folder in the target and stops when it shows in
rem the source (a link, a drive letter of its own, a short name or \\?\).
rem Such a folder that a run stopped midway left behind is removed by the
rem next run once a minute has turned. A font named like the short (8.3)
rem name of another file in the target, which would reach that file, is
rem reported and left alone; so is a font whose path in the source or the
rem target is longer than 259 characters, which cmd cannot reach.
rem
rem Prints one line per file: the code fontctl answered, what the code
rem means, and the file name. Exit status: 0 when every file answered 0,
rem 1 when one did not, 2 for a usage error or a target folder that cannot
rem be checked.
rem
rem A path is kept in a FOR variable or expanded once inside quotes, so that
rem spaces, parentheses, ampersands and percent signs in it are taken as
rem they are. fontctl writes its code into a file, in a folder of this run's
rem own, that FOR /F reads: FOR /F over a command would hand the command to a
rem second cmd, which would expand the percent signs of the paths again. A
rem file is named by %%G alone, as the folder lists it. FOR variables are
rem letters that are no path modifier (G, I, J, K), so that %%~aG cannot be
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
rem By its full path: cmd looks for a program in the current folder, which
rem is the source, before PATH, and would run an attrib.cmd found there.
set "FC_ATTRIB=%SystemRoot%\System32\attrib.exe"

set "FC_FOUND="
set "FC_FAILED="
rem The FOR below lists the current folder: make sure it is the source.
rem "||" is not used: Wine's cmd runs what follows it even after a
rem PUSHD that worked. "(call )" clears ERRORLEVEL for the test below.
(call )
pushd "%FC_SOURCE%" 2>nul
if errorlevel 1 goto no_source
if not exist "%FC_TARGET%\" mkdir "%FC_TARGET%"
set "FC_SAME="
call :compare_folders
if defined FC_SAME goto same_folder_named_otherwise
if not defined FC_CHECKED goto target_not_checked
rem cmd seeds RANDOM from the clock's seconds: a file name made from it is
rem shared by runs started together. The folder is this run's alone.
set "FC_IN=%TEMP%\fontctl-"
call :new_folder
if not defined FC_MADE goto no_temporary_folder
set "FC_OUT=%FC_MADE%\code.txt"
set "FC_NAMED=%FC_MADE%\name.txt"
set "FC_KEPT=%FC_MADE%\kept"
rem 320 question marks, a character that no path holds: a path followed by
rem them has a 260th character, which is one of them unless the path is
rem longer than 259. (Wine's cmd gives stale text for a substring that
rem starts beyond the end of a value.) FC_COPY less its last 320 is the
rem path of the copy.
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
        rem The subroutine also reads the attributes of a copy there.
        rem Only when there is a copy: a first run looks no further.
        if not defined FC_TOO_LONG if exist "%%G" if exist "%FC_TARGET%\%%G" if not exist "%FC_TARGET%\%%G\*" (
            dir /b /a "%FC_TARGET%\%%G" >"%FC_OUT%" 2>nul
            >"%FC_NAMED%" echo %%G
            call :look_at_copy
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
                    if defined FC_LOCKED call :unlock_copy
                    "%FC_EXE%" 1 "%FC_SOURCE%\%%G" "%FC_TARGET%" >"%FC_OUT%"
                    call :answered
                    rem 3 for a copy that was there: it may be loaded. It is
                    rem kept aside whole, or not touched; out of the font
                    rem table (0 or 2 says it was in it), it is installed
                    rem over once more, and put back should that fail.
                    if defined FC_RETRY (
                        if not exist "%FC_KEPT%\" mkdir "%FC_KEPT%"
                        copy /b /y "%FC_TARGET%\%%G" "%FC_KEPT%\%%G" >nul 2>&1
                        call :check_kept
                        if defined FC_RETRY "%FC_EXE%" 2 "%FC_TARGET%\%%G" >"%FC_OUT%"
                        if defined FC_RETRY call :released
                        if defined FC_RETRY "%FC_EXE%" 1 "%FC_SOURCE%\%%G" "%FC_TARGET%" >"%FC_OUT%"
                        if defined FC_RETRY call :answered_again
                        if defined FC_PUT_BACK "%FC_EXE%" 1 "%FC_KEPT%\%%G" "%FC_TARGET%" >"%FC_OUT%"
                        if defined FC_PUT_BACK call :put_back
                        rem A copy that could not be put back stays where
                        rem it was kept, and the report says where.
                        if not defined FC_KEEP del /f /q "%FC_KEPT%\%%G" >nul 2>&1
                    )
                    call :report
                    echo %%G
                    if defined FC_READ_ONLY if exist "%FC_TARGET%\%%G" "%FC_ATTRIB%" -r "%FC_TARGET%\%%G" >nul 2>&1
                    rem DEL given a folder would empty it: files only. (Wine's
                    rem cmd finds "NAME\" for a file NAME too, but not
                    rem "NAME\*".)
                    if defined FC_DROP if not exist "%FC_TARGET%\%%G\*" del /f /q "%FC_TARGET%\%%G" 2>nul
                )
            )
        )
    )
)
del "%FC_OUT%" "%FC_NAMED%" 2>nul
rmdir "%FC_KEPT%" 2>nul
rmdir "%FC_MADE%" 2>nul
popd

if not defined FC_FOUND echo No .ttf, .ttc, .otf or .fon file in "%FC_SOURCE%".
if defined FC_FAILED exit /b 1
exit /b 0

rem Reads the code of an install from FC_OUT into FC_CODE, and sets FC_RETRY
rem when it is 3 for a copy that was there (FC_COPY_ATTRIBUTES): Windows
rem holds the file of a loaded font open. IF DEFINED is evaluated as the loop
rem runs, where a percent expansion keeps the value from before it.
:answered
set "FC_CODE="
set "FC_RETRY="
set "FC_PUT_BACK="
set "FC_KEEP="
for /f "usebackq delims=" %%J in ("%FC_OUT%") do set "FC_CODE=%%J"
if "%FC_CODE%"=="3" if defined FC_COPY_ATTRIBUTES set "FC_RETRY=1"
goto :eof

rem Clears FC_RETRY unless the copy kept aside has the size of the copy in
rem the target: a full TEMP leaves part of it, or none.
:check_kept
set "FC_WHOLE="
set "FC_SIZE=-"
for %%J in ("%FC_COPY:~0,-320%") do set "FC_SIZE=%%~zJ"
for %%J in ("%FC_KEPT%\%FC_NAME%") do if "%%~zJ"=="%FC_SIZE%" set "FC_WHOLE=1"
if not defined FC_WHOLE set "FC_RETRY="
goto :eof

rem Clears FC_RETRY unless the removal in FC_OUT took the copy out of the
rem font table (0, or 2 when its file stayed); 1 says it was not loaded, and
rem the install's 3 stands.
:released
set "FC_RELEASED="
for /f "usebackq delims=" %%J in ("%FC_OUT%") do set "FC_RELEASED=%%J"
if not "%FC_RELEASED%"=="0" if not "%FC_RELEASED%"=="2" set "FC_RETRY="
goto :eof

rem Reads the code of the second install, and sets FC_PUT_BACK when it
rem failed: the copy kept aside goes back.
:answered_again
set "FC_CODE="
for /f "usebackq delims=" %%J in ("%FC_OUT%") do set "FC_CODE=%%J"
if not "%FC_CODE%"=="0" set "FC_PUT_BACK=1"
goto :eof

rem Reads whether the copy kept aside was installed again (FC_PUT_BACK 0),
rem and sets FC_KEEP when it was not: that copy is then the only one left.
:put_back
set "FC_PUT_BACK=-"
for /f "usebackq delims=" %%J in ("%FC_OUT%") do set "FC_PUT_BACK=%%J"
if not "%FC_PUT_BACK%"=="0" set "FC_KEEP=1"
goto :eof

rem Prints the code in FC_CODE and its meaning, leaving the line open for
rem the file name; a missing code (fontctl printed nothing) fails too. Sets
rem FC_DROP when the copy holds no font.
:report
set "FC_DROP="
set "FC_MEANING=unexpected answer"
if "%FC_CODE%"=="" set "FC_MEANING=no answer from fontctl"
if "%FC_CODE%"=="0" set "FC_MEANING=installed"
if "%FC_CODE%"=="1" set "FC_MEANING=font file not found"
if "%FC_CODE%"=="2" set "FC_MEANING=target folder not found"
if "%FC_CODE%"=="3" set "FC_MEANING=copy failed"
if "%FC_CODE%"=="4" set "FC_MEANING=no font in the file, copy deleted"
if "%FC_CODE%"=="4" set "FC_DROP=1"
if "%FC_CODE%"=="4" if "%FC_PUT_BACK%"=="0" set "FC_MEANING=no font in the file"
if "%FC_PUT_BACK%"=="0" set "FC_DROP="
if "%FC_PUT_BACK%"=="0" set "FC_MEANING=%FC_MEANING%, the earlier copy put back"
if defined FC_PUT_BACK if not "%FC_PUT_BACK%"=="0" set "FC_MEANING=%FC_MEANING%, the earlier copy not put back but kept in %FC_KEPT%"
if not "%FC_CODE%"=="0" set "FC_FAILED=1"
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
set "FC_READ_ONLY="
set "FC_ALIAS="
set "FC_COPY_ATTRIBUTES="
set "FC_LOCKED="
set "FC_EXTENSION=%FC_NAME:~-4%"
if /i not "%FC_EXTENSION%"==".ttf" if /i not "%FC_EXTENSION%"==".ttc" if /i not "%FC_EXTENSION%"==".otf" if /i not "%FC_EXTENSION%"==".fon" goto :eof
if not "%FC_PATH:~259,1%"=="?" set "FC_TOO_LONG=1"
if not "%FC_COPY:~259,1%"=="?" set "FC_TOO_LONG=1"
if not defined FC_TOO_LONG if "%FC_ATTRIBUTES:~3,1%"=="h" goto :eof
if not defined FC_TOO_LONG if "%FC_ATTRIBUTES:~4,1%"=="s" goto :eof
if "%FC_ATTRIBUTES:~1,1%"=="r" set "FC_READ_ONLY=1"
set "FC_PICKED=1"
set "FC_FOUND=1"
goto :eof

rem Sets FC_ALIAS when the file that the target path reaches, whose name DIR
rem wrote into FC_OUT, is not named as the font in FC_NAMED: the font's name
rem is then the short (8.3) name that Windows gave another file. Otherwise
rem reads the attributes of the copy found there.
:look_at_copy
for /f "usebackq eol=/ delims=" %%J in ("%FC_OUT%") do for /f "usebackq eol=/ delims=" %%I in ("%FC_NAMED%") do if /i not "%%J"=="%%I" set "FC_ALIAS=1"
if defined FC_ALIAS goto :eof
rem Runs on into the next.

rem Sets FC_COPY_ATTRIBUTES to the attributes of the copy, FC_COPY without
rem its FC_PAD, and FC_LOCKED when they hold read-only, hidden or system.
rem (Wine's cmd gives no attributes in a FOR nested in a FOR /F.)
:read_copy_attributes
set "FC_COPY_ATTRIBUTES="
set "FC_LOCKED="
for %%J in ("%FC_COPY:~0,-320%") do set "FC_COPY_ATTRIBUTES=%%~aJ"
if not defined FC_COPY_ATTRIBUTES goto :eof
if "%FC_COPY_ATTRIBUTES:~1,1%"=="r" set "FC_LOCKED=1"
if "%FC_COPY_ATTRIBUTES:~3,1%"=="h" set "FC_LOCKED=1"
if "%FC_COPY_ATTRIBUTES:~4,1%"=="s" set "FC_LOCKED=1"
goto :eof

rem Clears the read-only, hidden and system attributes of the copy in the
rem target, in one ATTRIB: Windows' changes nothing else of a hidden or
rem system file unless both go. Wine's applies only the last flag it is
rem given, so what is left goes one flag a run.
:unlock_copy
call :attrib_copy -r -h -s
call :read_copy_attributes
if not defined FC_LOCKED goto :eof
call :attrib_copy -r
call :attrib_copy -h
call :attrib_copy -s
goto :eof

:attrib_copy
"%FC_ATTRIB%" %* "%FC_COPY:~0,-320%" >nul 2>&1
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
echo usage: install-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER] 1>&2
exit /b 2

:no_source
echo install-fonts: no folder "%FC_SOURCE%" 1>&2
exit /b 2

:same_folder
echo install-fonts: the source folder is the target folder "%FC_TARGET%" 1>&2
exit /b 2

:target_not_a_folder
echo install-fonts: the target "%FC_TARGET%" is not a folder 1>&2
exit /b 2

:same_folder_named_otherwise
popd
echo install-fonts: the target folder "%FC_TARGET%" is the source folder "%FC_SOURCE%" 1>&2
exit /b 2

:target_not_checked
popd
echo install-fonts: the target folder "%FC_TARGET%" cannot be told from the source folder: it cannot be entered, takes no new folder, or lost the one made in it 1>&2
exit /b 2

:no_temporary_folder
popd
echo install-fonts: cannot make a folder in TEMP "%TEMP%" 1>&2
exit /b 2

:no_local_app_data
echo install-fonts: LOCALAPPDATA is not set; name a target folder 1>&2
exit /b 2

:no_fontctl
echo install-fonts: neither fontctl-utf8.exe nor fontctl.exe is beside this script or on PATH 1>&2
exit /b 2
