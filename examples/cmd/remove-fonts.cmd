@echo off
rem remove-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER]
rem
rem Undoes install-fonts.cmd with the same arguments: for every .ttf, .ttc,
rem .otf and .fon file of SOURCE_FOLDER, takes the copy of that name in
rem TARGET_FOLDER (by default the per-user font folder
rem LOCALAPPDATA\Microsoft\Windows\Fonts) out of the font table and deletes
rem it, with fontctl-utf8.exe, or else fontctl.exe: taken from this script's
rem folder, or else from PATH. Only a copy that holds the same bytes as the
rem source file is touched: a file of that name that is not the source's
rem copy (another program's font, or an earlier version) is left alone and
rem reported.
rem
rem The work is done by fonts-common.cmd, which must be in this script's
rem folder.
rem
rem Prints one line per file: the code fontctl answered, what became of the
rem copy, and the file name. Exit status: 0 when every copy is gone, 1 when
rem a file of a font's name is left, 2 for a usage error (a target folder
rem that is not there included) or a target folder that cannot be checked.
setlocal EnableExtensions DisableDelayedExpansion
set "FC_ACTION=remove"
set "FC_SOURCE="
set "FC_TARGET="
if not "%~1"=="" set "FC_SOURCE=%~f1"
if not "%~2"=="" set "FC_TARGET=%~f2"
rem From the script's own folder, named with .\ so that CALL takes the one
rem beside it (and no other on PATH, where the current folder may not be
rem searched) and reads no percent sign of the folder's name as a variable.
set "FC_STATUS=2"
(call )
pushd "%~dp0" 2>nul
if errorlevel 1 goto no_home
if not exist "fonts-common.cmd" goto no_common
call .\fonts-common.cmd
popd
exit /b %FC_STATUS%

:no_common
popd
:no_home
echo remove-fonts: fonts-common.cmd is not beside this script 1>&2
exit /b 2
