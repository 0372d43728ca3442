; SPDX-License-Identifier: MIT
; The Windows installer of wydrukid95: one user's copy, no administrator rights.
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=2.0.3 -DARCH=win64 -DAGENT=...\wydrukid95.exe
;            -DTESTPAGE=...\wydrukid95-testpage.exe -DLICENSE=...\LICENSE.txt
;            -DOUTFILE=...\wydrukid95-2.0.3-win64.exe wydrukid95.nsi
;
; ARCH "win64" makes a 64-bit installer of the 64-bit programs, "win32" a 32-bit one of the
; 32-bit programs. Silent use, for administrators:
;
;   wydrukid95-2.0.3-win64.exe /S /JOBDIR=C:\D95\          the job directory (default C:\D95\)
;   uninstall.exe /S [/FONTDEF=REMOVE]                     "font.def" stays unless REMOVE

Unicode true
!if "${ARCH}" == "win64"
  Target amd64-unicode
!else
  Target x86-unicode
!endif
SetCompressor /SOLID lzma

!define PRODUCT "wydrukid95"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SETTINGS_KEY "Software\${PRODUCT}"
!define TESTPAGE_LINK "$SMPROGRAMS\${PRODUCT}\Strona testowa drukarki.lnk"
!define STARTUP_LINK "$SMSTARTUP\${PRODUCT}.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Under the user's own programs folder: "font.def" beside the program must stay writable.
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${SETTINGS_KEY}" "InstallDirectory"
ShowInstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} installer"
VIAddVersionKey /LANG=0 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) the ${PRODUCT} authors, MIT licence"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include StrFunc.nsh
${StrRep}
${StrStr}
${StrLoc}

Var JobDir
Var Arguments

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

; The licence comes first; the user only reads it (nothing to accept: the MIT licence asks
; nothing of those who merely use the program), and it stays beside the program.
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Program jest udostępniony na licencji MIT."
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY

; The second directory page asks where the DOS program writes its print-outs.
!define MUI_DIRECTORYPAGE_VARIABLE $JobDir
!define MUI_PAGE_HEADER_TEXT "Katalog wydruków"
!define MUI_PAGE_HEADER_SUBTEXT "Gdzie program DOS zapisuje wydruki i sygnał win95.drk?"
!define MUI_DIRECTORYPAGE_TEXT_TOP "Agent sprawdza ten katalog i drukuje zapisane w nim wydruki. \
Skrót w folderze Autostart uruchamia go z tym katalogiem przy każdym logowaniu."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Katalog wydruków"
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Uruchom agenta teraz"
!define MUI_FINISHPAGE_RUN_FUNCTION StartAgent
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Polish"

; The agent takes its job directory as its one argument and appends file names to it: the
; directory must end in a backslash. In the shortcut it is quoted (it may hold spaces), and a
; backslash before the closing quote would escape the quote, so that backslash is doubled.
Function AgentArguments
  StrCpy $0 $JobDir 1 -1
  ${If} $0 != "\"
    StrCpy $JobDir "$JobDir\"
  ${EndIf}
  StrCpy $Arguments '"$JobDir\"'
FunctionEnd

Function StartAgent
  Exec '"$INSTDIR\wydrukid95.exe" $Arguments'
FunctionEnd

Function .onInit
  ; The directory chosen last time, else the DOS program's usual one; /JOBDIR= overrides both.
  ReadRegStr $JobDir HKCU "${SETTINGS_KEY}" "JobDirectory"
  ${If} $JobDir == ""
    StrCpy $JobDir "C:\D95\"
  ${EndIf}
  ; The option may be quoted whole ("/JOBDIR=C:\Biuro D95\\", as programs quote an argument
  ; with a space) or in its value (/JOBDIR="C:\Biuro D95\"); it runs to the next option.
  ${GetParameters} $0
  ${StrStr} $1 $0 "/JOBDIR="
  ${If} $1 != ""
    StrCpy $1 $1 "" 8
    ${StrLoc} $2 $1 " /" ">"
    ${If} $2 != ""
      StrCpy $1 $1 $2
    ${EndIf}
    ${StrRep} $1 $1 '"' ''
    ${Do}
      StrCpy $2 $1 1 -1
      ${IfThen} $2 != " " ${|} ${ExitDo} ${|}
      StrCpy $1 $1 -1
    ${Loop}
    ; A backslash doubled before a closing quote stands for one.
    ${StrRep} $1 "$1|" "\\|" "\|"
    ${StrRep} $1 $1 "|" ""
    ${If} $1 != ""
      StrCpy $JobDir $1
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Program"
  Call AgentArguments
  SetOutPath "$INSTDIR"
  File "/oname=wydrukid95.exe" "${AGENT}"
  File "/oname=wydrukid95-testpage.exe" "${TESTPAGE}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The DOS program expects the directory to be there.
  CreateDirectory "$JobDir"

  ; The agent starts with the user's session, watching the chosen directory.
  CreateShortcut "${STARTUP_LINK}" "$INSTDIR\wydrukid95.exe" $Arguments \
    "$INSTDIR\wydrukid95.exe" 0 SW_SHOWNORMAL "" "Agent wydruków programu D95"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "${TESTPAGE_LINK}" "$INSTDIR\wydrukid95-testpage.exe" "" \
    "$INSTDIR\wydrukid95.exe" 0 SW_SHOWNORMAL "" "Drukuje stronę testową na drukarce domyślnej"

  WriteRegStr HKCU "${SETTINGS_KEY}" "InstallDirectory" "$INSTDIR"
  WriteRegStr HKCU "${SETTINGS_KEY}" "JobDirectory" "$JobDir"
  ; The user's own entry in "Programs and Features".
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\wydrukid95.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only the files this installer put there: the directory may have been chosen by hand, and
  ; whatever else is in it is not ours to delete.
  Delete "$INSTDIR\wydrukid95.exe"
  Delete "$INSTDIR\wydrukid95-testpage.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "${STARTUP_LINK}"
  Delete "${TESTPAGE_LINK}"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  ; The font the user chose is kept unless the user says otherwise ("No" is the default
  ; answer); silently it is kept unless /FONTDEF=REMOVE is given.
  ${If} ${FileExists} "$INSTDIR\font.def"
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/FONTDEF=" $1
    ${If} $1 == "REMOVE"
      Delete "$INSTDIR\font.def"
    ${ElseIfNot} ${Silent}
      MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Usunąć także ustawienia czcionki (font.def)?$\r$\nPo ponownej instalacji agent użyje ich znowu." \
        /SD IDNO IDNO keep_font
      Delete "$INSTDIR\font.def"
      keep_font:
    ${EndIf}
  ${EndIf}

  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd
