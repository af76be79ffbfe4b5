; A per-user font installer around fontctl.exe: no elevation, and the fonts
; stay after the next sign-in, as when Windows installs a font for one user.
; Each font is copied into the per-user font folder and added to the font
; table by fontctl.exe, then recorded under HKCU so that Windows loads it in
; later sessions. The uninstaller takes the fonts out again.
;
; Built with defines (see README.md beside this file):
;   FONTCTL    fontctl.exe to bundle
;   FONTS_DIR  folder holding the fonts on the build machine
;   FONT1..n   file names of the fonts in FONTS_DIR, numbered from 1
;   FACE1..n   registry value of each font: its face name and type, for
;              instance "Example Sans (TrueType)"
;   OUTFILE    the installer to write (default fonts-setup.exe)
;   NAME       the name shown and used for the uninstall entry (default
;              "Example Fonts")

Unicode true
; A 64-bit installer, like the fontctl.exe it carries. The user's own rights
; are enough: everything goes into the user's folders and HKCU.
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include LogicLib.nsh

!ifndef FONTCTL
    !error "define FONTCTL: the fontctl.exe to bundle"
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

Name "${NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
ShowInstDetails show
ShowUninstDetails show

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Inserts MACRO FILE FACE for FONT1/FACE1, FONT2/FACE2 and so on, up to the
; first number that is not defined.
!macro ForEachFont MACRO N
    !ifdef FONT${N}
        !ifndef FACE${N}
            !error "FONT${N} has no FACE${N}"
        !endif
        !insertmacro ${MACRO} "${FONT${N}}" "${FACE${N}}"
        !define /redef /math ForEachFont_NEXT ${N} + 1
        !insertmacro ForEachFont ${MACRO} ${ForEachFont_NEXT}
    !endif
!macroend

; Stops the installer or uninstaller with MESSAGE: a message box in a normal
; run, exit status 2 in a silent one.
!macro Fail MESSAGE
    DetailPrint "${MESSAGE}"
    MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
    SetErrorLevel 2
    Quit
!macroend

; Runs fontctl.exe from the plug-ins folder with ARGUMENTS, hidden, and leaves
; what it printed, its result code, in $R0: empty when it printed nothing or
; did not start. Its exit status is 0 whatever the result, so it is not used.
!macro RunFontctl ARGUMENTS
    nsExec::ExecToStack '"$PLUGINSDIR\fontctl.exe" ${ARGUMENTS}'
    Pop $R1 ; the exit status, or "error" when it did not start
    Pop $R0
!macroend

!macro InstallFont FILE FACE
    File "/oname=$PLUGINSDIR\fonts\${FILE}" "${FONTS_DIR}\${FILE}"
    !insertmacro RunFontctl '1 "$PLUGINSDIR\fonts\${FILE}" "${USER_FONTS}"'
    ${If} $R0 != "0"
        ; Answer 4 leaves a copy that holds no font: not kept in the fonts.
        ${If} $R0 == "4"
            Delete "${USER_FONTS}\${FILE}"
        ${EndIf}
        !insertmacro Fail "fontctl.exe could not install ${FILE}: it answered '$R0'."
    ${EndIf}
    WriteRegStr HKCU "${FONTS_KEY}" "${FACE}" "${USER_FONTS}\${FILE}"
    DetailPrint "Installed ${FACE}"
!macroend

!macro RemoveFont FILE FACE
    !insertmacro RunFontctl '2 "${USER_FONTS}\${FILE}"'
    ${If} $R0 != "0"
        !insertmacro Fail "fontctl.exe could not remove ${FILE}: it answered '$R0'."
    ${EndIf}
    DeleteRegValue HKCU "${FONTS_KEY}" "${FACE}"
    DetailPrint "Removed ${FACE}"
!macroend

Section "Fonts"
    SetShellVarContext current
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "/oname=$PLUGINSDIR\fontctl.exe" "${FONTCTL}"
    CreateDirectory "$PLUGINSDIR\fonts"
    CreateDirectory "${USER_FONTS}"
    !insertmacro ForEachFont InstallFont 1

    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    InitPluginsDir
    SetOutPath "$PLUGINSDIR"
    File "/oname=$PLUGINSDIR\fontctl.exe" "${FONTCTL}"
    !insertmacro ForEachFont RemoveFont 1

    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    SetOutPath "$TEMP"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
