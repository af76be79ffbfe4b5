; A per-user font installer around fontctl: no elevation, and the fonts stay
; after the next sign-in, as when Windows installs a font for one user. Each
; font is copied into the per-user font folder and added to the font table by
; fontctl, then recorded under HKCU so that Windows loads it in later
; sessions. The uninstaller takes the fonts out again.
;
; The installer is all or nothing. Before it changes anything it checks
; every font's registry value and keeps a copy, checked to be whole, of each
; font that an earlier run installed and of the earlier uninstaller: a copy
; that cannot be made (a full temporary folder) stops it there. It then
; takes out the fonts that the earlier run installed and this version no
; longer ships, and installs each font, first taking out the earlier run's
; copy of it, keeping its file: Windows keeps the file of a loaded font open,
; so it could not be copied over. When a font fails, the fonts that this run
; added are taken out again, and those it took out are put back from the
; copies kept, before it stops. Only once every font is in does it write its
; uninstaller, its uninstall entry and, under that entry, the record of the
; fonts it installed (registry value and file of each), which the next
; version and the uninstaller work from: after a failed run the earlier
; uninstaller and record stay as they were. A face that the registry already
; lists for a file that is not in the record belongs to another program, and
; so does a file of a font's name in the font folder that the record does
; not name: the installer then stops before it changes anything, naming it,
; and never replaces or deletes such a file; the uninstaller never deletes
; such a value.
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
!include FileFunc.nsh

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
; The record of the fonts that the last successful run installed: one value
; a font, named as its value under FONTS_KEY, holding the path of its copy.
!define RECORD_KEY "${UNINSTALL_KEY}\Fonts"
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
; The font of the record that ForEachRecordedFont is at (its registry value
; and the file name of its copy), the function it calls for each font, and
; the index of the next.
Var RecordFace
Var RecordFile
Var RecordAction
Var RecordIndex
; 1 when this version ships the font of the record that ShipsRecordedFont
; was asked about.
Var Shipped
; The file that KeepCopy keeps, and the folder it keeps it in.
Var KeepSource
Var KeepFolder
; The path that RecordNamesPath looks for, and 1 when the record names it.
Var RecordPath
Var InRecord
; 1 when an earlier run left an uninstaller, kept in $PLUGINSDIR\uninstaller.
Var KeptUninstaller

; Stops the installer or uninstaller with MESSAGE: a message box in a normal
; run, exit status 2 in a silent one.
!macro Fail MESSAGE
    DetailPrint "${MESSAGE}"
    MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
    SetErrorLevel 2
    Quit
!macroend

; Makes the file at PATH, if any, neither read-only, hidden nor system.
!macro ClearAttributes PATH
    ${If} ${FileExists} "${PATH}"
        SetFileAttributes "${PATH}" NORMAL
    ${EndIf}
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
; its registry value FACE, unless the value names another file by now. The
; copy's attributes are cleared first: fontctl leaves a read-only copy in the
; font table. fontctl answers 1 when the font is not in this session's font
; table (it did not load at sign-in, or the value was written in this
; session by a run that failed) and 2 when it was taken out but the file
; stayed: either way the copy is deleted here. A copy that cannot be deleted
; keeps its value, and is added to $Left.
!macro TakeOutFont FILE FACE
    !insertmacro ClearAttributes "${USER_FONTS}\${FILE}"
    !insertmacro RunFontctl '2 "${USER_FONTS}\${FILE}"'
    ${If} $R0 == "1"
    ${OrIf} $R0 == "2"
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

; Calls the function at $RecordAction for each font in the record of the
; last successful run, with $RecordFace and $RecordFile set. Only copies in
; the per-user font folder count: the record is the user's to edit, and
; the installer deletes nothing outside that folder.
!macro ForEachRecordedFontFunction UN
    Function ${UN}ForEachRecordedFont
        StrCpy $RecordIndex 0
        ${Do}
            EnumRegValue $RecordFace HKCU "${RECORD_KEY}" $RecordIndex
            ${IfThen} $RecordFace == "" ${|} ${ExitDo} ${|}
            IntOp $RecordIndex $RecordIndex + 1
            ReadRegStr $R6 HKCU "${RECORD_KEY}" $RecordFace
            ${${UN}GetParent} $R6 $R7
            ${${UN}GetFileName} $R6 $RecordFile
            ${If} $R7 == "${USER_FONTS}"
            ${AndIf} $RecordFile != ""
                Call $RecordAction
            ${EndIf}
        ${Loop}
    FunctionEnd
!macroend
!insertmacro ForEachRecordedFontFunction ""
!insertmacro ForEachRecordedFontFunction "un."

; Leaves the size of the file at PATH in RESULT: empty when it cannot be
; opened.
!macro FileSize PATH RESULT
    StrCpy ${RESULT} ""
    ClearErrors
    FileOpen $R9 "${PATH}" r
    ${IfNot} ${Errors}
        FileSeek $R9 0 END ${RESULT}
        FileClose $R9
    ${EndIf}
!macroend

; Copies $KeepSource into the folder $KeepFolder, for a failed run to put
; back, and stops the installer when the copy is not whole: it runs before
; anything is changed, so a full temporary folder costs no font.
Function KeepCopy
    CreateDirectory "$KeepFolder"
    ${GetFileName} "$KeepSource" $R5
    ClearErrors
    CopyFiles /SILENT "$KeepSource" "$KeepFolder"
    StrCpy $R8 ""
    ${IfNot} ${Errors}
        !insertmacro FileSize "$KeepFolder\$R5" $R8
    ${EndIf}
    !insertmacro FileSize "$KeepSource" $R7
    ${If} $R8 == ""
    ${OrIf} $R7 != $R8
        !insertmacro Fail "Could not keep a whole copy of $KeepSource in $KeepFolder, to put it back should the installation fail (the disk may be full). Nothing was changed."
    ${EndIf}
    ; A copy put back comes back as a normal file, whatever the attributes
    ; of the one kept.
    SetFileAttributes "$KeepFolder\$R5" NORMAL
FunctionEnd

; 1 in $InRecord when a value of the record of the last successful run,
; whatever its face, names the file $RecordPath (compared ignoring case,
; as Windows compares paths).
Function RecordNamesPath
    StrCpy $InRecord ""
    StrCpy $R8 0
    ${Do}
        EnumRegValue $R7 HKCU "${RECORD_KEY}" $R8
        ${IfThen} $R7 == "" ${|} ${ExitDo} ${|}
        IntOp $R8 $R8 + 1
        ReadRegStr $R6 HKCU "${RECORD_KEY}" $R7
        ${If} $R6 == $RecordPath
            StrCpy $InRecord 1
            ${ExitDo}
        ${EndIf}
    ${Loop}
FunctionEnd

; Puts back the font of an earlier run that this run took out: its file,
; kept in the folder KEPT, copied and added to the font table again, and
; its value. With no file kept (the copy was gone before the run) and none
; in its place, the value goes if it names the copy, so that it names no
; missing file.
!macro PutBackFont KEPT FILE FACE
    ${If} ${FileExists} "${KEPT}\${FILE}"
        !insertmacro RunFontctl '1 "${KEPT}\${FILE}" "${USER_FONTS}"'
        ${If} $R0 == "0"
            WriteRegStr HKCU "${FONTS_KEY}" "${FACE}" "${USER_FONTS}\${FILE}"
            DetailPrint "Put back ${FACE}"
        ${Else}
            StrCpy $Left "$Left$\r$\n${USER_FONTS}\${FILE} (not put back: fontctl answered '$R0')"
        ${EndIf}
    ${ElseIfNot} ${FileExists} "${USER_FONTS}\${FILE}"
        ReadRegStr $R4 HKCU "${FONTS_KEY}" "${FACE}"
        ${If} $R4 == "${USER_FONTS}\${FILE}"
            DeleteRegValue HKCU "${FONTS_KEY}" "${FACE}"
        ${EndIf}
    ${EndIf}
!macroend

; Stops before anything is changed when the registry lists FACE for a file
; other than the copy this installer makes, and the record does not name
; that file for it: another program's font, whose value and file are not
; this installer's to replace or delete. Stops too when a file of the name
; FILE is in the font folder and the record does not name it: another
; program's font, or one put there by hand, which this installer would
; replace and a failed run or its uninstaller delete. Notes whether an
; earlier run installed the font: the record names its copy for FACE.
!macro CheckFontValue N FILE FACE
    ReadRegStr $R0 HKCU "${FONTS_KEY}" "${FACE}"
    ReadRegStr $R1 HKCU "${RECORD_KEY}" "${FACE}"
    StrCpy $Earlier${N} ""
    ${If} $R1 == "${USER_FONTS}\${FILE}"
        ${If} $R0 == $R1
        ${OrIf} $R0 == ""
            StrCpy $Earlier${N} 1
        ${EndIf}
    ${EndIf}
    ${If} $R0 != ""
    ${AndIf} $R0 != "${USER_FONTS}\${FILE}"
    ${AndIf} $R1 != $R0
        !insertmacro Fail "${FACE} is already installed from another file, $R0, by another program. Uninstall that program first. Nothing was installed."
    ${EndIf}
    ${If} ${FileExists} "${USER_FONTS}\${FILE}"
        StrCpy $RecordPath "${USER_FONTS}\${FILE}"
        Call RecordNamesPath
        ${If} $InRecord != 1
            !insertmacro Fail "A file that ${NAME} did not install is in the way: ${USER_FONTS}\${FILE} (another program's font, or one put there by hand). Uninstall that program, or move the file away. Nothing was installed."
        ${EndIf}
    ${EndIf}
!macroend

; 1 in $Shipped when this version installs the font of the record at hand
; under the same value and file name.
!macro MatchRecordedFont N FILE FACE
    ${If} $RecordFace == "${FACE}"
    ${AndIf} $RecordFile == "${FILE}"
        StrCpy $Shipped 1
    ${EndIf}
!macroend

Function ShipsRecordedFont
    StrCpy $Shipped ""
    !insertmacro ForEachFont MatchRecordedFont 1
FunctionEnd

!macro KeepEarlierFont N FILE FACE
    ${If} $Earlier${N} == 1
    ${AndIf} ${FileExists} "${USER_FONTS}\${FILE}"
        StrCpy $KeepSource "${USER_FONTS}\${FILE}"
        StrCpy $KeepFolder "$PLUGINSDIR\previous"
        Call KeepCopy
    ${EndIf}
!macroend

; The fonts of the record that this version no longer ships ("dropped"):
; kept before anything is changed, taken out before the first font is
; installed (a face may move to another file), and put back when the run
; fails.
Function KeepDroppedFont
    Call ShipsRecordedFont
    ${If} $Shipped != 1
    ${AndIf} ${FileExists} "${USER_FONTS}\$RecordFile"
        StrCpy $KeepSource "${USER_FONTS}\$RecordFile"
        StrCpy $KeepFolder "$PLUGINSDIR\dropped"
        Call KeepCopy
    ${EndIf}
FunctionEnd

Function TakeOutDroppedFont
    Call ShipsRecordedFont
    ${If} $Shipped != 1
        !insertmacro TakeOutFont "$RecordFile" "$RecordFace"
    ${EndIf}
FunctionEnd

Function PutBackDroppedFont
    Call ShipsRecordedFont
    ${If} $Shipped != 1
    ${AndIfNot} ${FileExists} "${USER_FONTS}\$RecordFile"
        !insertmacro PutBackFont "$PLUGINSDIR\dropped" "$RecordFile" "$RecordFace"
    ${EndIf}
FunctionEnd

; A file that cannot be unpacked whole stops the installer there (NSIS
; aborts it): so every font is unpacked before anything is changed.
!macro UnpackFont N FILE FACE
    File "/oname=$PLUGINSDIR\fonts\${FILE}" "${FONTS_DIR}\${FILE}"
!macroend

!macro InstallFont N FILE FACE
    StrCpy $Done${N} ""
    ; fontctl neither takes out nor replaces a read-only copy.
    !insertmacro ClearAttributes "${USER_FONTS}\${FILE}"
    ${If} $Earlier${N} == 1
        ; Installed by an earlier run, and kept: out of the font table
        ; first, so that Windows lets go of the file.
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
        ; Where no file was there, 4 leaves a copy that holds no font;
        ; where one was, fontctl leaves it as it was.
        ${If} $R2 == ""
            !insertmacro ClearAttributes "${USER_FONTS}\${FILE}"
            Delete "${USER_FONTS}\${FILE}"
        ${EndIf}
        ${If} $Earlier${N} == 1
            !insertmacro PutBackFont "$PLUGINSDIR\previous" "${FILE}" "${FACE}"
        ${EndIf}
        Call FailAfterChanges
        !insertmacro Fail "fontctl could not install ${FILE}: it answered '$R3'. Nothing of this run was kept."
    ${EndIf}
!macroend

; A font that this run installed is taken out again; one it replaced goes
; back to the earlier run's once the new one is out. One that cannot be
; taken out goes into the record, for the uninstaller to remove.
!macro RollBackFont N FILE FACE
    ${If} $Done${N} != ""
        !insertmacro TakeOutFont "${FILE}" "${FACE}"
        ${If} ${FileExists} "${USER_FONTS}\${FILE}"
            WriteRegStr HKCU "${RECORD_KEY}" "${FACE}" "${USER_FONTS}\${FILE}"
        ${ElseIf} $Done${N} == replaced
            !insertmacro PutBackFont "$PLUGINSDIR\previous" "${FILE}" "${FACE}"
        ${EndIf}
    ${EndIf}
!macroend

; Takes out again every font that this run installed and puts back those of
; an earlier run that it took out.
Function RollBack
    !insertmacro ForEachFont RollBackFont 1
    GetFunctionAddress $RecordAction PutBackDroppedFont
    Call ForEachRecordedFont
FunctionEnd

!macro WriteUninstallEntry
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
!macroend

; Undoes the run after a failure; when fonts are left that could not be
; taken out or put back, stops with their names, keeping (or, on a first
; run, writing) the uninstaller that removes them.
Function FailAfterChanges
    Call RollBack
    ${If} $Left != ""
        ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
            CreateDirectory "$INSTDIR"
            WriteUninstaller "$INSTDIR\uninstall.exe"
            !insertmacro WriteUninstallEntry
        ${EndIf}
        !insertmacro Fail "${NAME} could not be installed, and these fonts could not be taken out again or put back as they were; the uninstaller removes them:$Left"
    ${EndIf}
FunctionEnd

!macro RecordFont N FILE FACE
    WriteRegStr HKCU "${RECORD_KEY}" "${FACE}" "${USER_FONTS}\${FILE}"
!macroend

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
    StrCpy $Left ""

    ; The fonts to install, and a whole copy of everything that the run may
    ; take out or overwrite, before it changes anything.
    !insertmacro ForEachFont UnpackFont 1
    !insertmacro ForEachFont KeepEarlierFont 1
    GetFunctionAddress $RecordAction KeepDroppedFont
    Call ForEachRecordedFont
    StrCpy $KeptUninstaller ""
    ${If} ${FileExists} "$INSTDIR\uninstall.exe"
        StrCpy $KeepSource "$INSTDIR\uninstall.exe"
        StrCpy $KeepFolder "$PLUGINSDIR\uninstaller"
        Call KeepCopy
        StrCpy $KeptUninstaller 1
    ${EndIf}

    CreateDirectory "${USER_FONTS}"
    GetFunctionAddress $RecordAction TakeOutDroppedFont
    Call ForEachRecordedFont
    ${If} $Left != ""
        Call FailAfterChanges
    ${EndIf}
    !insertmacro ForEachFont InstallFont 1

    ; Every font is in: the uninstaller, its entry and the record of what
    ; this run installed replace the earlier run's. An uninstaller that
    ; cannot be written undoes the run, and the earlier one goes back.
    CreateDirectory "$INSTDIR"
    ClearErrors
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ${If} ${Errors}
        Delete "$INSTDIR\uninstall.exe"
        ${If} $KeptUninstaller == 1
            CopyFiles /SILENT "$PLUGINSDIR\uninstaller\uninstall.exe" "$INSTDIR"
        ${Else}
            RMDir "$INSTDIR"
        ${EndIf}
        Call FailAfterChanges
        !insertmacro Fail "Could not write the uninstaller, $INSTDIR\uninstall.exe. Nothing of this run was kept."
    ${EndIf}
    !insertmacro WriteUninstallEntry
    DeleteRegKey HKCU "${RECORD_KEY}"
    !insertmacro ForEachFont RecordFont 1
SectionEnd

Function un.TakeOutRecordedFont
    !insertmacro TakeOutFont "$RecordFile" "$RecordFace"
FunctionEnd

!macro UninstallFont N FILE FACE
    !insertmacro TakeOutFont "${FILE}" "${FACE}"
!macroend

; Goes through every font of the record, whatever happens to one; keeps the
; uninstaller, its entry and the record while a font is left, so that it can
; be run again. A run that succeeds records at least one font: with no
; record (deleted by hand), the fonts that this version installs go.
Section "Uninstall"
    SetShellVarContext current
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "/oname=$PLUGINSDIR\fontctl.exe" "${FONTCTL}"
    StrCpy $Left ""
    EnumRegValue $R0 HKCU "${RECORD_KEY}" 0
    ${If} $R0 == ""
        !insertmacro ForEachFont UninstallFont 1
    ${Else}
        GetFunctionAddress $RecordAction un.TakeOutRecordedFont
        Call un.ForEachRecordedFont
    ${EndIf}
    ${If} $Left != ""
        !insertmacro Fail "These fonts could not be removed; close the programs that use them and run the uninstaller again:$Left"
    ${EndIf}

    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    SetOutPath "$TEMP"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
