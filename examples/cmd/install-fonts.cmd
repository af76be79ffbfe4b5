@echo off
rem install-fonts.cmd SOURCE_FOLDER [TARGET_FOLDER]
rem
rem Installs every .ttf, .ttc, .otf and .fon file of SOURCE_FOLDER for this
rem session with fontctl-utf8.exe, or else fontctl.exe: taken from this
rem script's folder, or else from PATH. The copies go into TARGET_FOLDER, by
rem default the per-user font folder LOCALAPPDATA\Microsoft\Windows\Fonts;
rem the folder is created when missing. Fonts added this way last until the
rem user signs out: run the script at logon to have them in every session.
rem
rem The work is done by fonts-common.cmd, which must be in this script's
rem folder; it says what the install does to a copy already there, and
rem what it deletes (only a copy of this run's that holds no font).
rem
rem Prints one line per file: the code fontctl answered, what the code
rem means, and the file name. Exit status: 0 when every file is installed,
rem 1 when one is not, 2 for a usage error or a target folder that cannot be
rem checked.
setlocal EnableExtensions DisableDelayedExpansion
set "FC_ACTION=install"
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
echo install-fonts: fonts-common.cmd is not beside this script 1>&2
exit /b 2
