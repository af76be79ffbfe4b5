rem fonts-common.cmd: the work of install-fonts.cmd and remove-fonts.cmd,
rem which call it from their own folder with FC_ACTION (install or remove),
rem FC_SOURCE and FC_TARGET (full paths, or not set), inside their SETLOCAL,
rem and read its exit status from FC_STATUS. Not to be run by itself.
rem
rem Both: a font is a .ttf, .ttc, .otf or .fon file of the source folder;
rem hidden and system files are left out, as FOR leaves them out of its
rem list. A font named like the short (8.3) name of another file in the
rem target, which would reach that file, is reported and left alone; so is
rem a font whose path in the source or the target is longer than 259
rem characters, which cmd cannot reach. The source and the target must be
rem two folders, however each is written: the script makes a new folder in
rem the target and stops when it shows in the source (a link, a drive letter
rem of its own, a short name or \\?\). Such a folder that a run stopped
rem midway left behind is removed by the next run once a minute has turned.
rem
rem The install: one fontctl run a font, on a first run as on a run at
rem logon. A copy already there is installed over, which fontctl does in one
rem step, keeping the copy as it was when the new one cannot be made or
rem holds no font. Windows refuses to write over a read-only, hidden or
rem system file, so such a copy loses those attributes first (ATTRIB runs
rem only then). The target folder's path, with the name of the temporary
rem file fontctl writes beside the copy, must fit in 259 characters, or no
rem font is installed there. A copy whose fonts are loaded is held open by
rem Windows, and the install answers 3: when that copy holds the source's
rem very bytes (fc /b), the font is installed already. Otherwise the new
rem version is first installed into this run's folder in TEMP and taken out
rem again, to show that it can be read and holds a font; only then is the
rem copy kept aside, taken out of the font table, installed over, and put
rem back should the install fail (and left in this run's folder in TEMP,
rem which the report names, should that fail too). A copy keeps no read-only
rem attribute, so that it can be removed later. The only file the install
rem deletes is a copy this run made of a file that holds no font (code 4
rem where no file of that name was there, and the copy is the source's).
rem
rem The removal: only a copy that holds the source's very bytes is taken
rem out of the font table and deleted (fontctl 2); when fontctl answers 1
rem (not in this session's font table) or 2 (the file stayed), the script
rem deletes it, read-only, hidden or system as it may be. Any other file of
rem a font's name is reported and left alone. A target that is not there is
rem a usage error.
rem
rem A path is kept in a FOR variable or expanded once inside quotes, so that
rem spaces, parentheses, ampersands and percent signs in it are taken as
rem they are. fontctl writes its code into a file, in a folder of this run's
rem own, that FOR /F reads and deletes: FOR /F over a command would hand the
rem command to a second cmd, which would expand the percent signs of the
rem paths again; a code file that cannot be deleted (another program holds
rem it) runs no fontctl, so that no code is read twice. A file is named by
rem %%G alone, as the folder lists it. FOR variables are letters that are
rem no path modifier (G, I, J), so that %%~aG cannot be misread.
if not defined FC_ACTION goto not_alone
set "FC_SCRIPT=%FC_ACTION%-fonts"
set "FC_STATUS=2"
if not defined FC_SOURCE goto usage
if not defined FC_TARGET (
    if not defined LOCALAPPDATA goto no_local_app_data
    set "FC_TARGET=%LOCALAPPDATA%\Microsoft\Windows\Fonts"
)
rem The target is quoted as the last argument of fontctl: a backslash before
rem the closing quote would escape it. So a folder loses its last
rem backslash, and a drive root becomes "D:\.", because a bare "D:" names
rem that drive's current folder. The source is written alike, to compare.
rem The removal uses the same folder text as the install: the font table
rem knows a font by the path it was added under.
if "%FC_TARGET:~-1%"=="\" set "FC_TARGET=%FC_TARGET:~0,-1%"
if "%FC_TARGET:~-1%"==":" set "FC_TARGET=%FC_TARGET%\."
if "%FC_SOURCE:~-1%"=="\" set "FC_SOURCE=%FC_SOURCE:~0,-1%"
if "%FC_SOURCE:~-1%"==":" set "FC_SOURCE=%FC_SOURCE%\."
rem A source that is the target holds no copies, only the fonts themselves.
if /i "%FC_SOURCE%"=="%FC_TARGET%" goto same_folder
rem A target that is there must be a folder. Its attributes tell, where
rem "TARGET\*" matches nothing in an empty drive root, which lists no
rem "." or "..". A removal from a target that is not there (a mistyped
rem folder, a drive that has gone) would report every font removed.
set "FC_TARGET_ATTRIBUTES="
for %%I in ("%FC_TARGET%") do set "FC_TARGET_ATTRIBUTES=%%~aI"
if defined FC_TARGET_ATTRIBUTES if not "%FC_TARGET_ATTRIBUTES:~0,1%"=="d" goto target_not_a_folder
if "%FC_ACTION%"=="remove" if not defined FC_TARGET_ATTRIBUTES if not exist "%FC_TARGET%\" goto no_target

rem fontctl-utf8.exe receives every name that Windows can hold; fontctl.exe
rem only those of the ANSI code page.
set "FC_EXE=%~dp0fontctl-utf8.exe"
if not exist "%FC_EXE%" set "FC_EXE=%~dp0fontctl.exe"
if not exist "%FC_EXE%" for %%I in (fontctl-utf8.exe) do set "FC_EXE=%%~$PATH:I"
if not defined FC_EXE for %%I in (fontctl.exe) do set "FC_EXE=%%~$PATH:I"
if not defined FC_EXE goto no_fontctl
rem By their full paths: cmd looks for a program in the current folder, which
rem is the source, before PATH, and would run an attrib.cmd found there.
set "FC_ATTRIB=%SystemRoot%\System32\attrib.exe"
set "FC_FC=%SystemRoot%\System32\fc.exe"

set "FC_FOUND="
set "FC_FAILED="
rem The FOR below lists the current folder: make sure it is the source.
rem "||" is not used after PUSHD: ERRORLEVEL is tested instead, cleared by
rem "(call )" first.
(call )
pushd "%FC_SOURCE%" 2>nul
if errorlevel 1 goto no_source
if "%FC_ACTION%"=="install" if not exist "%FC_TARGET%\" mkdir "%FC_TARGET%"
set "FC_SAME="
call :compare_folders
rem Another run started at the turn of a minute may have taken this run's
rem check folder for a stale one: one more look, with a new folder.
if not defined FC_SAME if not defined FC_CHECKED call :compare_folders
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
set "FC_TRIAL=%FC_MADE%\trial"
set "FC_STUCK="
rem 320 question marks, a character that no path holds: a path followed by
rem them has a 260th character, which is one of them unless the path is
rem longer than 259. FC_COPY less its last 320 is the path of the copy.
set "FC_PAD=????????????????"
set "FC_PAD=%FC_PAD%%FC_PAD%%FC_PAD%%FC_PAD%"
set "FC_PAD=%FC_PAD%%FC_PAD%%FC_PAD%%FC_PAD%%FC_PAD%"
rem fontctl writes a new copy beside the old one first, named ~FC and five
rem hex digits .TMP, and takes no such path of 260 characters or more.
set "FC_TEMPORARY=%FC_TARGET%\~FC00000.TMP%FC_PAD%"
set "FC_TARGET_TOO_LONG="
if "%FC_ACTION%"=="install" if not "%FC_TEMPORARY:~259,1%"=="?" set "FC_TARGET_TOO_LONG=1"
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
        rem FOR values in a subroutine.) For an install the subroutine
        rem also reads the attributes of a copy there. Only when there is a
        rem copy: a first run looks no further.
        if not defined FC_SKIP if exist "%%G" if exist "%FC_TARGET%\%%G" if not exist "%FC_TARGET%\%%G\*" (
            if not defined FC_STUCK dir /b /a "%FC_TARGET%\%%G" >"%FC_OUT%" 2>nul
            >"%FC_NAMED%" echo %%G
            call :look_at_copy
        )
        rem A name that names no file of the source is reported, never used.
        if not defined FC_SKIP if not exist "%%G" set "FC_SKIP=not in the source folder"
        if defined FC_SKIP (
            call :skipped
            echo %%G
        )
        if not defined FC_SKIP (
            if "%FC_ACTION%"=="install" (
                if defined FC_LOCKED call :unlock_copy
                if not defined FC_STUCK "%FC_EXE%" 1 "%FC_SOURCE%\%%G" "%FC_TARGET%" >"%FC_OUT%"
                set "FC_COPY_THERE="
                if exist "%FC_TARGET%\%%G" if not exist "%FC_TARGET%\%%G\*" set "FC_COPY_THERE=1"
                call :answered
                rem 3 over a copy, or 4 where there was none: is the copy
                rem there now the source's very bytes?
                if defined FC_COMPARE "%FC_FC%" /b "%FC_SOURCE%\%%G" "%FC_TARGET%\%%G" >nul 2>&1
                if defined FC_COMPARE call :compared
                if defined FC_COMPARE call :judge_install
                rem A copy in use that is another version: tried first in
                rem this run's folder, then kept aside whole, out of the
                rem font table (0; 2 says another program holds the file),
                rem installed over once more, and put back should that fail.
                if defined FC_RETRY (
                    if not exist "%FC_TRIAL%\" mkdir "%FC_TRIAL%"
                    if not defined FC_STUCK "%FC_EXE%" 1 "%FC_SOURCE%\%%G" "%FC_TRIAL%" >"%FC_OUT%"
                    call :tried
                    if defined FC_UNTRY if not defined FC_STUCK "%FC_EXE%" 2 "%FC_TRIAL%\%%G" >"%FC_OUT%"
                    if defined FC_UNTRY call :untried
                    if defined FC_RETRY if not exist "%FC_KEPT%\" mkdir "%FC_KEPT%"
                    if defined FC_RETRY copy /b /y "%FC_TARGET%\%%G" "%FC_KEPT%\%%G" >nul 2>&1
                    if defined FC_RETRY call :check_kept
                    if defined FC_RETRY if not defined FC_STUCK "%FC_EXE%" 2 "%FC_TARGET%\%%G" >"%FC_OUT%"
                    if defined FC_RETRY call :released
                    if defined FC_RETRY if not defined FC_STUCK "%FC_EXE%" 1 "%FC_SOURCE%\%%G" "%FC_TARGET%" >"%FC_OUT%"
                    if defined FC_RETRY call :answered_again
                    rem Another run may have installed the new version in
                    rem the meantime: a copy of the source's bytes in use
                    rem there is the font installed, and nothing goes back.
                    set "FC_AGAIN_THERE="
                    if defined FC_PUT_BACK if exist "%FC_TARGET%\%%G" if not exist "%FC_TARGET%\%%G\*" set "FC_AGAIN_THERE=1"
                    if defined FC_AGAIN_THERE "%FC_FC%" /b "%FC_SOURCE%\%%G" "%FC_TARGET%\%%G" >nul 2>&1
                    if defined FC_AGAIN_THERE call :installed_meanwhile
                    if defined FC_PUT_BACK if not defined FC_STUCK "%FC_EXE%" 1 "%FC_KEPT%\%%G" "%FC_TARGET%" >"%FC_OUT%"
                    if defined FC_PUT_BACK call :put_back
                    rem A copy that could not be put back stays where
                    rem it was kept, and the report says where.
                    if not defined FC_KEEP del /f /q "%FC_KEPT%\%%G" >nul 2>&1
                )
                call :report_install
                echo %%G
                if defined FC_READ_ONLY if exist "%FC_TARGET%\%%G" "%FC_ATTRIB%" -r "%FC_TARGET%\%%G" >nul 2>&1
                rem DEL given a folder would empty it: files only.
                if defined FC_DROP if not exist "%FC_TARGET%\%%G\*" del /f /q "%FC_TARGET%\%%G" 2>nul
            )
            if "%FC_ACTION%"=="remove" (
                rem Only the source's copy, of the same bytes.
                set "FC_COPY_THERE="
                if exist "%FC_TARGET%\%%G" set "FC_COPY_THERE=1"
                set "FC_COMPARE="
                if exist "%FC_TARGET%\%%G" if not exist "%FC_TARGET%\%%G\*" set "FC_COMPARE=1"
                if defined FC_COMPARE "%FC_FC%" /b "%FC_SOURCE%\%%G" "%FC_TARGET%\%%G" >nul 2>&1
                if defined FC_COMPARE call :compared
                if defined FC_SAME_BYTES if not defined FC_STUCK "%FC_EXE%" 2 "%FC_TARGET%\%%G" >"%FC_OUT%"
                if defined FC_SAME_BYTES call :read_removal
                rem DEL given a folder would empty it: files only.
                if defined FC_DELETE if not exist "%FC_TARGET%\%%G\*" del /f /a /q "%FC_TARGET%\%%G" >nul 2>&1
                set "FC_LEFT="
                if exist "%FC_TARGET%\%%G" set "FC_LEFT=1"
                call :report_removal
                echo %%G
            )
        )
    )
)
del "%FC_OUT%" "%FC_NAMED%" 2>nul
rmdir "%FC_TRIAL%" 2>nul
rmdir "%FC_KEPT%" 2>nul
rmdir "%FC_MADE%" 2>nul
popd

if not defined FC_FOUND echo No .ttf, .ttc, .otf or .fon file in "%FC_SOURCE%".
set "FC_STATUS=0"
if defined FC_FAILED set "FC_STATUS=1"
goto :eof

rem The subroutines. cmd looks for the label of a CALL from the line it is
rem on onwards, reading every line on its way: those that run for every font
rem come first.

rem Picks the file FC_NAME, with the attributes FC_ATTRIBUTES (as in
rem "--a------": d, r, a, h, s, ...), when its name ends in a font extension
rem (a wildcard such as *.ttf would match short names too), unless it is
rem hidden or system, as FOR leaves them out. Only the last four characters
rem of the name are expanded. Sets FC_SKIP to the reason to leave it alone
rem when its path, or that of its copy, is longer than 259 characters: cmd
rem reaches no such file (IF EXIST does not find it), so none of the checks
rem here would hold. FC_PATH and FC_COPY hold those paths followed by FC_PAD.
:pick
set "FC_PICKED="
set "FC_SKIP="
set "FC_READ_ONLY="
set "FC_COPY_ATTRIBUTES="
set "FC_LOCKED="
set "FC_COMPARE="
set "FC_SAME_BYTES="
set "FC_CODE="
set "FC_DELETE="
set "FC_EXTENSION=%FC_NAME:~-4%"
if /i not "%FC_EXTENSION%"==".ttf" if /i not "%FC_EXTENSION%"==".ttc" if /i not "%FC_EXTENSION%"==".otf" if /i not "%FC_EXTENSION%"==".fon" goto :eof
if not "%FC_PATH:~259,1%"=="?" set "FC_SKIP=path too long for cmd"
if not "%FC_COPY:~259,1%"=="?" set "FC_SKIP=path too long for cmd"
if not defined FC_SKIP if "%FC_ATTRIBUTES:~3,1%"=="h" goto :eof
if not defined FC_SKIP if "%FC_ATTRIBUTES:~4,1%"=="s" goto :eof
if not defined FC_SKIP if defined FC_TARGET_TOO_LONG set "FC_SKIP=target folder path too long for fontctl's temporary file"
if "%FC_ATTRIBUTES:~1,1%"=="r" set "FC_READ_ONLY=1"
if defined FC_STUCK call :clear_out
if not defined FC_SKIP if defined FC_STUCK set "FC_SKIP=fontctl's answer file in TEMP is held by another program"
set "FC_PICKED=1"
set "FC_FOUND=1"
goto :eof

rem Sets FC_SKIP when the file that the target path reaches, whose name DIR
rem wrote into FC_OUT, is not named as the font in FC_NAMED: the font's name
rem is then the short (8.3) name that Windows gave another file. Otherwise
rem an install reads the attributes of the copy found there. Clears FC_OUT
rem as :clear_out does, in place: this runs for every copy.
:look_at_copy
set "FC_ALIAS="
if not defined FC_STUCK for /f "usebackq eol=/ delims=" %%J in ("%FC_OUT%") do for /f "usebackq eol=/ delims=" %%I in ("%FC_NAMED%") do if /i not "%%J"=="%%I" set "FC_ALIAS=1"
if defined FC_STUCK set "FC_ALIAS=1"
set "FC_STUCK="
if exist "%FC_OUT%" del /f /q "%FC_OUT%" >nul 2>&1
if exist "%FC_OUT%" set "FC_STUCK=1"
if defined FC_ALIAS set "FC_SKIP=another file's short name in the target folder, left alone"
if defined FC_ALIAS goto :eof
if "%FC_ACTION%"=="remove" goto :eof
rem Runs on into the next.

rem Sets FC_COPY_ATTRIBUTES to the attributes of the copy, FC_COPY without
rem its FC_PAD (not set when there is none), and FC_LOCKED when they hold
rem read-only, hidden or system.
:read_copy_attributes
set "FC_COPY_ATTRIBUTES="
set "FC_LOCKED="
for %%J in ("%FC_COPY:~0,-320%") do set "FC_COPY_ATTRIBUTES=%%~aJ"
if not defined FC_COPY_ATTRIBUTES goto :eof
if "%FC_COPY_ATTRIBUTES:~1,1%"=="r" set "FC_LOCKED=1"
if "%FC_COPY_ATTRIBUTES:~3,1%"=="h" set "FC_LOCKED=1"
if "%FC_COPY_ATTRIBUTES:~4,1%"=="s" set "FC_LOCKED=1"
goto :eof

rem Reads the code of an install into FC_CODE (as :read_out does, in place:
rem this runs for every font), and sets FC_COMPARE when the copy there now
rem (FC_COPY_THERE) is to be compared with the source: after 3 (Windows
rem holds the file of a loaded font open: maybe this very font, loaded by
rem an earlier run or by another run at the same time), and after 4 where
rem no copy was there (fontctl then leaves its copy, and only this run's
rem copy is deleted). IF DEFINED is evaluated as the loop runs, where a
rem percent expansion keeps the value from before it.
:answered
set "FC_EARLIER=%FC_COPY_ATTRIBUTES%"
set "FC_CODE="
if not defined FC_STUCK for /f "usebackq delims=" %%J in ("%FC_OUT%") do set "FC_CODE=%%J"
set "FC_STUCK="
if exist "%FC_OUT%" del /f /q "%FC_OUT%" >nul 2>&1
if exist "%FC_OUT%" set "FC_STUCK=1"
set "FC_COMPARE="
set "FC_SAME_BYTES="
if defined FC_COPY_THERE if "%FC_CODE%"=="3" set "FC_COMPARE=1"
if defined FC_COPY_THERE if "%FC_CODE%"=="4" if not defined FC_EARLIER set "FC_COMPARE=1"
rem Runs on into the next: what is left to do after an answer that needs
rem no comparing.

rem What the install's answer leaves to do: FC_DONE when a 3 found the
rem source's own bytes in use (installed), FC_DROP for this run's copy of a
rem file that holds no font, FC_RETRY for a copy in use of another version.
:judge_install
set "FC_DONE="
set "FC_DROP="
set "FC_RETRY="
set "FC_PUT_BACK="
set "FC_KEEP="
set "FC_HELD="
set "FC_TRIED="
set "FC_UNTRY="
set "FC_RELEASED="
if "%FC_CODE%"=="3" if defined FC_SAME_BYTES set "FC_DONE=1"
if "%FC_CODE%"=="3" if defined FC_COPY_THERE if not defined FC_DONE set "FC_RETRY=1"
if "%FC_CODE%"=="4" if defined FC_SAME_BYTES set "FC_DROP=1"
goto :eof

rem Sets FC_SAME_BYTES when fc /b, which ran last, found that the copy
rem holds the very bytes of the source (0).
:compared
if not errorlevel 1 set "FC_SAME_BYTES=1"
goto :eof

rem Prints the code in FC_CODE and its meaning, leaving the line open for
rem the file name; a missing code (fontctl printed nothing) fails too.
:report_install
set "FC_MEANING=unexpected answer"
if "%FC_CODE%"=="" set "FC_MEANING=no answer from fontctl"
if "%FC_CODE%"=="0" set "FC_MEANING=installed"
if "%FC_CODE%"=="1" set "FC_MEANING=font file not found"
if "%FC_CODE%"=="2" set "FC_MEANING=target folder not found"
if "%FC_CODE%"=="3" set "FC_MEANING=copy failed"
if "%FC_CODE%"=="4" set "FC_MEANING=no font in the file"
if "%FC_CODE%"=="4" if defined FC_DROP set "FC_MEANING=no font in the file, copy deleted"
if "%FC_CODE%"=="4" if defined FC_EARLIER set "FC_MEANING=no font in the file, the earlier copy kept"
if "%FC_CODE%"=="4" if not defined FC_EARLIER if not defined FC_DROP if defined FC_COPY_THERE set "FC_MEANING=no font in the file, the file there is not this run's copy and stays"
if defined FC_DONE set "FC_MEANING=installed already: the copy in use holds the same bytes"
rem A copy in use of another version: what the trial, the removal and the
rem put back say.
if defined FC_TRIED if not "%FC_TRIED%"=="0" set "FC_CODE=%FC_TRIED%"
if defined FC_TRIED if not "%FC_TRIED%"=="0" set "FC_MEANING=copy failed, the earlier copy kept in use"
if "%FC_TRIED%"=="4" set "FC_MEANING=no font in the file, the earlier copy kept in use"
if "%FC_TRIED%"=="-" set "FC_MEANING=no answer from fontctl, the earlier copy kept in use"
if "%FC_TRIED%"=="0" if not defined FC_RELEASED set "FC_MEANING=copy failed, the earlier copy kept in use"
if defined FC_HELD set "FC_MEANING=copy failed, the earlier copy is out of the font table but still in the target folder: another program holds it open"
if "%FC_PUT_BACK%"=="0" set "FC_MEANING=%FC_MEANING%, the earlier copy put back"
if defined FC_KEEP set "FC_MEANING=%FC_MEANING%, the earlier copy not put back but kept in %FC_KEPT%"
if not defined FC_DONE if not "%FC_CODE%"=="0" set "FC_FAILED=1"
if "%FC_CODE%"=="" set "FC_CODE=-"
<nul set /p "=%FC_CODE% %FC_MEANING%: "
goto :eof

rem Prints the code and what became of the copy, leaving the line open for
rem the file name; a missing code (fontctl printed nothing) fails too.
:report_removal
if not defined FC_COPY_THERE (
    <nul set /p "=- no copy in the target folder: "
    goto :eof
)
if not defined FC_SAME_BYTES (
    set "FC_FAILED=1"
    <nul set /p "=- not the source's copy, left alone: "
    goto :eof
)
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

rem Reads the code of a removal into FC_CODE, and sets FC_DELETE when the
rem copy is for this script to delete: its fonts were not in the font table
rem (1), or were taken out but the file stayed (2).
:read_removal
call :read_out
set "FC_CODE=%FC_ANSWER%"
if "%FC_CODE%"=="1" set "FC_DELETE=1"
if "%FC_CODE%"=="2" set "FC_DELETE=1"
goto :eof

rem Reads what fontctl or DIR wrote into FC_OUT into FC_ANSWER, unless
rem FC_STUCK says that the file could not be cleared before, and deletes it:
rem a run writes into a file that is not there, or does not run.
:read_out
set "FC_ANSWER="
if not defined FC_STUCK for /f "usebackq delims=" %%J in ("%FC_OUT%") do set "FC_ANSWER=%%J"
rem Runs on into the next.

:clear_out
set "FC_STUCK="
if exist "%FC_OUT%" del /f /q "%FC_OUT%" >nul 2>&1
if exist "%FC_OUT%" set "FC_STUCK=1"
goto :eof

rem Prints why a font is left alone, leaving the line open for its name.
:skipped
set "FC_FAILED=1"
<nul set /p "=- %FC_SKIP%: "
goto :eof

rem Reads the trial install into this run's folder: only a 0 lets the copy
rem in the target be taken out, once the trial copy is out of the font
rem table again (FC_UNTRY). A trial copy whose fonts were not added is
rem deleted.
:tried
call :read_out
set "FC_TRIED=%FC_ANSWER%"
if not defined FC_TRIED set "FC_TRIED=-"
if "%FC_TRIED%"=="0" set "FC_UNTRY=1"
if "%FC_TRIED%"=="0" goto :eof
set "FC_RETRY="
if exist "%FC_TRIAL%\%FC_NAME%" del /f /q "%FC_TRIAL%\%FC_NAME%" >nul 2>&1
goto :eof

rem Reads the removal of the trial copy: unless it is out of the font table
rem and gone, the copy in the target stays as it is.
:untried
call :read_out
if not "%FC_ANSWER%"=="0" set "FC_RETRY="
if exist "%FC_TRIAL%\%FC_NAME%" set "FC_RETRY="
goto :eof

rem Clears FC_RETRY unless the copy kept aside has the size of the copy in
rem the target: a full TEMP leaves part of it, or none, and another run may
rem have taken the copy away (no size).
:check_kept
set "FC_WHOLE="
set "FC_COPY_SIZE=-"
for %%J in ("%FC_COPY:~0,-320%") do set "FC_COPY_SIZE=%%~zJ"
if not defined FC_COPY_SIZE set "FC_COPY_SIZE=-"
for %%J in ("%FC_KEPT%\%FC_NAME%") do if "%%~zJ"=="%FC_COPY_SIZE%" set "FC_WHOLE=1"
if not defined FC_WHOLE set "FC_RETRY="
goto :eof

rem Clears FC_RETRY unless the removal took the copy out of the font table
rem and deleted it (0). 2 says it is out of the font table but another
rem program holds the file (FC_HELD); 1 that it was not in the font table,
rem and the install's 3 stands.
:released
call :read_out
if "%FC_ANSWER%"=="0" set "FC_RELEASED=1"
if "%FC_ANSWER%"=="2" set "FC_HELD=1"
if not "%FC_ANSWER%"=="0" set "FC_RETRY="
goto :eof

rem Reads the code of the second install, and sets FC_PUT_BACK when it
rem failed: the copy kept aside goes back.
:answered_again
call :read_out
set "FC_CODE=%FC_ANSWER%"
if not "%FC_CODE%"=="0" set "FC_PUT_BACK=1"
goto :eof

rem After fc /b, which ran last: a copy of the source's bytes in use in the
rem target is the new version installed, by another run; nothing goes back.
:installed_meanwhile
if errorlevel 1 goto :eof
set "FC_PUT_BACK="
set "FC_DONE=1"
goto :eof

rem Reads whether the copy kept aside was installed again (FC_PUT_BACK 0),
rem and sets FC_KEEP when it was not: that copy is then the only one left.
:put_back
call :read_out
set "FC_PUT_BACK=-%FC_ANSWER%"
if "%FC_ANSWER%"=="0" set "FC_PUT_BACK=0"
if not "%FC_ANSWER%"=="0" set "FC_KEEP=1"
goto :eof

rem Clears the read-only, hidden and system attributes of the copy in the
rem target, in one ATTRIB: Windows changes nothing else of a hidden or
rem system file unless both go. What is left goes one flag a run.
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
rem looks once more with a new one, never taking one folder for two.
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
rem What follows fontctl-check-, by way of a last character of its own,
rem so that no offset reaches the very end of the value.
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

:not_alone
echo fonts-common: run install-fonts.cmd or remove-fonts.cmd, which call this script 1>&2
exit /b 2

:usage
echo usage: %FC_SCRIPT%.cmd SOURCE_FOLDER [TARGET_FOLDER] 1>&2
goto :eof

:no_source
echo %FC_SCRIPT%: no folder "%FC_SOURCE%" 1>&2
goto :eof

:no_target
echo %FC_SCRIPT%: no target folder "%FC_TARGET%" 1>&2
goto :eof

:same_folder
echo %FC_SCRIPT%: the source folder is the target folder "%FC_TARGET%" 1>&2
goto :eof

:target_not_a_folder
echo %FC_SCRIPT%: the target "%FC_TARGET%" is not a folder 1>&2
goto :eof

:same_folder_named_otherwise
popd
echo %FC_SCRIPT%: the target folder "%FC_TARGET%" is the source folder "%FC_SOURCE%" 1>&2
goto :eof

:target_not_checked
popd
echo %FC_SCRIPT%: the target folder "%FC_TARGET%" cannot be told from the source folder: it cannot be entered, takes no new folder, or lost the one made in it 1>&2
goto :eof

:no_temporary_folder
popd
echo %FC_SCRIPT%: cannot make a folder in TEMP "%TEMP%" 1>&2
goto :eof

:no_local_app_data
echo %FC_SCRIPT%: LOCALAPPDATA is not set; name a target folder 1>&2
goto :eof

:no_fontctl
echo %FC_SCRIPT%: neither fontctl-utf8.exe nor fontctl.exe is beside this script or on PATH 1>&2
goto :eof
