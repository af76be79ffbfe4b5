; A per-user font installer around fontctl: no elevation, and the fonts stay
; after the next sign-in, as when Windows installs a font for one user. Each
; font is copied into the per-user font folder and added to the font table by
; fontctl, then recorded under HKCU so that Windows loads it in later
; sessions. The uninstaller takes the fonts out again.
;
; The installer is all or nothing: its uninstaller and uninstall entry are
; written before the first font, and when a font fails, the fonts that this
; run added are taken out again, and those it replaced are put back, before
; it stops. Running it again (a repair, or a newer version of the fonts)
; first takes out each font that an earlier run installed, keeping its file:
; Windows keeps the file of a loaded font open, so it could not be copied
; over. A face that the registry already lists for another file belongs to
; another program: the installer then stops before it changes anything, and
; the uninstaller never deletes such a value.
;
; Built with defines (see README.md beside this file):
;   FONTCTL    the fontctl program to bundle: fontctl-utf8.exe, so that
;              profile and font names in any writing system reach it
;   FONTS_DIR  folder holding the fonts on the build machine
;   FONT1..n   file names of the fonts in FONTS_DIR, numbered from 1
;   FACE1..n   registry value of each font: its face name and type, for
;              instance "Example Sans (TrueType)"
;   OUTFILE    the installer to write (default fonts-setup.exe)
;   NAME       the name shown and used for the uninstall entry (default
;              "Example Fonts")

; A 32-bit installer, the kind that NSIS for Windows builds (it ships no
; 64-bit stubs), which starts the 64-bit fontctl. Nothing it touches is
; redirected for a 32-bit program: HKCU\Software is one key for both, and
; $LOCALAPPDATA and $PLUGINSDIR are the user's folders, not System32. The
; user's own rights are enough: everything goes into the user's folders and
; HKCU.
Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include WinVer.nsh

!ifndef FONTCTL
    !error "define FONTCTL: the fontctl-utf8.exe (or fontctl.exe) to bundle"
!endif
!ifndef FONTS_DIR
    !error "define FONTS_DIR: the folder that holds the fonts"
!endif
!ifndef FONT1
    !error "define FONT1 (and FACE1) at least"
!endif
!ifndef OUTFILE
    !define OUTFILE "fonts-setup.exe"
!endif
!ifndef NAME
    !define NAME "Example Fonts"
!endif

; Where Windows keeps one user's fonts, and their registry entries.
!define USER_FONTS "$LOCALAPPDATA\Microsoft\Windows\Fonts"
!define FONTS_KEY "Software\Microsoft\Windows NT\CurrentVersion\Fonts"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
; Windows 10 version 1809 is the first to load the fonts listed under HKCU.
!define FIRST_BUILD_WITH_USER_FONTS 17763

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
ShowInstDetails show
ShowUninstDetails show

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Inserts MACRO N FILE FACE for FONT1/FACE1, FONT2/FACE2 and so on, up to the
; first number that is not defined.
!macro ForEachFont MACRO N
    !ifdef FONT${N}
        !ifndef FACE${N}
            !error "FONT${N} has no FACE${N}"
        !endif
        !insertmacro ${MACRO} ${N} "${FONT${N}}" "${FACE${N}}"
        !define /redef /math ForEachFont_NEXT ${N} + 1
        !insertmacro ForEachFont ${MACRO} ${ForEachFont_NEXT}
    !endif
!macroend

; What the installer knows of each font: whether an earlier run installed
; it (1: its registry value names the copy), and what this run did, which a
; failure undoes: "added" where no earlier run had installed it, "replaced"
; where it took out an earlier run's font, kept in $PLUGINSDIR\previous.
!macro DeclareFontVariables N FILE FACE
    Var Earlier${N}
    Var Done${N}
!macroend
!insertmacro ForEachFont DeclareFontVariables 1

; The fonts that could not be taken out, one per line, for the message.
Var Left
; 1 when an earlier run left the uninstall entry.
Var InstalledBefore

; Stops the installer or uninstaller with MESSAGE: a message box in a normal
; run, exit status 2 in a silent one.
!macro Fail MESSAGE
    DetailPrint "${MESSAGE}"
    MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
    SetErrorLevel 2
    Quit
!macroend

; Runs fontctl from the plug-ins folder with ARGUMENTS, hidden, and leaves
; what it printed, its result code, in $R0: empty when it printed nothing or
; did not start. Its exit status is 0 whatever the result, so it is not used.
!macro RunFontctl ARGUMENTS
    nsExec::ExecToStack '"$PLUGINSDIR\fontctl.exe" ${ARGUMENTS}'
    Pop $R1 ; the exit status, or "error" when it did not start
    Pop $R0
!macroend

; Takes the copy of FILE out of the font table and deletes it, then deletes
; its registry value FACE, unless the value names another file by now.
; fontctl answers 1 when the font is not in this session's font table (it
; did not load at sign-in, or the value was written in this session by a
; run that failed) and 2 when it was taken out but the file stayed: either
; way the copy is deleted here. A copy that cannot be deleted keeps its
; value, and is added to $Left.
!macro TakeOutFont FILE FACE
    !insertmacro RunFontctl '2 "${USER_FONTS}\${FILE}"'
    ${If} $R0 == "1"
    ${OrIf} $R0 == "2"
        SetFileAttributes "${USER_FONTS}\${FILE}" NORMAL
        Delete "${USER_FONTS}\${FILE}"
    ${EndIf}
    ${If} ${FileExists} "${USER_FONTS}\${FILE}"
        StrCpy $Left "$Left$\r$\n${USER_FONTS}\${FILE} (fontctl answered '$R0')"
        DetailPrint "Could not remove ${FACE}"
    ${Else}
        ReadRegStr $R4 HKCU "${FONTS_KEY}" "${FACE}"
        ${If} $R4 == "${USER_FONTS}\${FILE}"
            DeleteRegValue HKCU "${FONTS_KEY}" "${FACE}"
        ${EndIf}
        DetailPrint "Removed ${FACE}"
    ${EndIf}
!macroend

; Puts back the font of an earlier run that this run took out: its file,
; kept in $PLUGINSDIR\previous, copied and added to the font table again,
; and its value. With no file kept (the copy was gone before the run) and
; none in its place, the value goes, so that it names no missing file.
!macro PutBackFont FILE FACE
    ${If} ${FileExists} "$PLUGINSDIR\previous\${FILE}"
        !insertmacro RunFontctl '1 "$PLUGINSDIR\previous\${FILE}" "${USER_FONTS}"'
        ${If} $R0 == "0"
            WriteRegStr HKCU "${FONTS_KEY}" "${FACE}" "${USER_FONTS}\${FILE}"
            DetailPrint "Put back ${FACE}"
        ${Else}
            StrCpy $Left "$Left$\r$\n${USER_FONTS}\${FILE} (not put back: fontctl answered '$R0')"
        ${EndIf}
    ${ElseIfNot} ${FileExists} "${USER_FONTS}\${FILE}"
        DeleteRegValue HKCU "${FONTS_KEY}" "${FACE}"
    ${EndIf}
!macroend

; Stops before anything is changed when the registry lists FACE for a file
; other than the copy this installer makes: another program's font, whose
; value and file are not this installer's to replace or delete. Notes
; whether an earlier run installed the font.
!macro CheckFontValue N FILE FACE
    ReadRegStr $R0 HKCU "${FONTS_KEY}" "${FACE}"
    StrCpy $Earlier${N} ""
    ${If} $R0 == "${USER_FONTS}\${FILE}"
        StrCpy $Earlier${N} 1
    ${ElseIf} $R0 != ""
        !insertmacro Fail "${FACE} is already installed from another file, $R0, by another program. Uninstall that program first. Nothing was installed."
    ${EndIf}
!macroend

!macro InstallFont N FILE FACE
    StrCpy $Done${N} ""
    File "/oname=$PLUGINSDIR\fonts\${FILE}" "${FONTS_DIR}\${FILE}"
    ${If} $Earlier${N} == 1
        ; Installed by an earlier run: out of the font table first, so that
        ; Windows lets go of the file, keeping it to put back should this
        ; run fail.
        ${If} ${FileExists} "${USER_FONTS}\${FILE}"
            CopyFiles /SILENT "${USER_FONTS}\${FILE}" "$PLUGINSDIR\previous"
        ${EndIf}
        !insertmacro RunFontctl '2 "${USER_FONTS}\${FILE}"'
    ${EndIf}
    StrCpy $R2 ""
    ${If} ${FileExists} "${USER_FONTS}\${FILE}"
        StrCpy $R2 1
    ${EndIf}
    !insertmacro RunFontctl '1 "$PLUGINSDIR\fonts\${FILE}" "${USER_FONTS}"'
    ${If} $R0 == "0"
        WriteRegStr HKCU "${FONTS_KEY}" "${FACE}" "${USER_FONTS}\${FILE}"
        StrCpy $Done${N} added
        ${If} $Earlier${N} == 1
            StrCpy $Done${N} replaced
        ${EndIf}
        DetailPrint "Installed ${FACE}"
    ${Else}
        StrCpy $R3 $R0
        ; 4 leaves a copy that holds no font; a failed copy (3) may leave
        ; part of one where there was no file.
        ${If} $R3 == "4"
        ${OrIf} $R2 == ""
            SetFileAttributes "${USER_FONTS}\${FILE}" NORMAL
            Delete "${USER_FONTS}\${FILE}"
        ${EndIf}
        ${If} $Earlier${N} == 1
            !insertmacro PutBackFont "${FILE}" "${FACE}"
        ${EndIf}
        Call RollBack
        ${If} $Left != ""
            !insertmacro Fail "fontctl could not install ${FILE}: it answered '$R3'. These fonts could not be taken out again or put back as they were; the uninstaller removes them:$Left"
        ${EndIf}
        !insertmacro Fail "fontctl could not install ${FILE}: it answered '$R3'. Nothing of this run was kept."
    ${EndIf}
!macroend

; A font that this run replaced goes back to the earlier run's once the
; new one is out.
!macro RollBackFont N FILE FACE
    ${If} $Done${N} != ""
        !insertmacro TakeOutFont "${FILE}" "${FACE}"
        ${If} $Done${N} == replaced
        ${AndIfNot} ${FileExists} "${USER_FONTS}\${FILE}"
            !insertmacro PutBackFont "${FILE}" "${FACE}"
        ${EndIf}
    ${EndIf}
!macroend

; Takes out again every font that this run installed, puts back those of an
; earlier run that it replaced, and, when nothing is left and no earlier run
; installed the fonts, removes the uninstaller and its entry.
Function RollBack
    !insertmacro ForEachFont RollBackFont 1
    ${If} $Left == ""
    ${AndIf} $InstalledBefore != 1
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
        Delete "$INSTDIR\uninstall.exe"
        RMDir "$INSTDIR"
    ${EndIf}
FunctionEnd

Section "Fonts"
    SetShellVarContext current
    ${IfNot} ${AtLeastBuild} ${FIRST_BUILD_WITH_USER_FONTS}
        !insertmacro Fail "${NAME} needs Windows 10 version 1809 or later: older Windows does not load fonts installed for one user. Nothing was installed."
    ${EndIf}
    !insertmacro ForEachFont CheckFontValue 1
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "/oname=$PLUGINSDIR\fontctl.exe" "${FONTCTL}"
    ; fontctl is a 64-bit program: on 32-bit Windows (or any that runs no
    ; x64 program) it does not start. Command 0 does nothing.
    nsExec::ExecToStack '"$PLUGINSDIR\fontctl.exe" 0'
    Pop $R1
    Pop $R0
    ${If} $R1 == "error"
        !insertmacro Fail "fontctl.exe does not start on this Windows: ${NAME} needs 64-bit Windows. Nothing was installed."
    ${EndIf}
    CreateDirectory "$PLUGINSDIR\fonts"
    CreateDirectory "$PLUGINSDIR\previous"
    CreateDirectory "${USER_FONTS}"
    StrCpy $Left ""

    ; The uninstaller and its entry first: whatever a run leaves behind
    ; can be taken out again.
    ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "UninstallString"
    StrCpy $InstalledBefore ""
    ${If} $R0 != ""
        StrCpy $InstalledBefore 1
    ${EndIf}
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

    ; fontctl starts in the output folder: out of $INSTDIR, which a failure
    ; removes again.
    SetOutPath "$PLUGINSDIR"
    !insertmacro ForEachFont InstallFont 1
SectionEnd

!macro UninstallFont N FILE FACE
    !insertmacro TakeOutFont "${FILE}" "${FACE}"
!macroend

; Goes through every font, whatever happens to one; keeps the uninstaller
; and its entry while a font is left, so that it can be run again.
Section "Uninstall"
    SetShellVarContext current
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "/oname=$PLUGINSDIR\fontctl.exe" "${FONTCTL}"
    StrCpy $Left ""
    !insertmacro ForEachFont UninstallFont 1
    ${If} $Left != ""
        !insertmacro Fail "These fonts could not be removed; close the programs that use them and run the uninstaller again:$Left"
    ${EndIf}

    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    SetOutPath "$TEMP"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
