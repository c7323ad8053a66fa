; ZirbelWerk for all users of 64-bit Windows. package.cmake builds it and
; defines VERSION, STAGE (the installed build: the files to install), FILES
; (the macro that deletes exactly those files), SIZE_KB and OUTFILE.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!include WinVer.nsh
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZirbelWerk"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; HKEY_LOCAL_MACHINE as the 64-bit handle, for calls into the registry API.
!define HKLM_HANDLE -2147483646
; KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY
!define PATH_KEY_ACCESS 0x103
!define LINK "$SMPROGRAMS\ZirbelWerk.lnk"
; The station, where the build has it: its Start-menu entry, and its files
; open in it.
!if /FileExists "${STAGE}/zirbelwerk-station.exe"
    !define STATION "$INSTDIR\zirbelwerk-station.exe"
    !define STATION_LINK "$SMPROGRAMS\ZirbelWerk Station.lnk"
    !define STATION_CLASS "Software\Classes\ZirbelWerk.Station"
    !define STATION_EXTENSION "Software\Classes\.zwstation"
    ; SHCNE_ASSOCCHANGED: Explorer shows the new icons and verbs at once.
    !define ASSOCIATIONS_CHANGED "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"
!endif
; The window's settings, as Qt keeps them for its organisation and name.
!define SETTINGS_KEY "HKEY_CURRENT_USER\Software\ORV\Kolibar"

; The local application data folder of the user who uninstalls: the record's.
Var UserData

Name "ZirbelWerk ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\ZirbelWerk"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "ZirbelWerk ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${STAGE}/images/fwloader.ico"
!define MUI_UNICON "${STAGE}/images/fwloader.ico"
; The GPL asks for no consent: the page shows it and goes on.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "$(LicenceBottom)"
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}/licences/GPL-3.0.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\zirbelwerk.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(StartProgram)"
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(Kept)"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first is the default where Windows speaks neither.
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "English"

LangString LicenceBottom ${LANG_GERMAN} "ZirbelWerk ist freie Software unter dieser Lizenz. Was Qt und die anderen mitgelieferten Teile erlauben, steht im Ordner licences (README.txt)."
LangString LicenceBottom ${LANG_ENGLISH} "ZirbelWerk is free software under this licence. What Qt and the other parts it ships allow is in the folder licences (README.txt)."
LangString StartProgram ${LANG_GERMAN} "ZirbelWerk starten"
LangString StartProgram ${LANG_ENGLISH} "Start ZirbelWerk"
LangString TooOld ${LANG_GERMAN} "ZirbelWerk braucht 64-Bit-Windows 10 oder neuer. Dieses Windows ist aelter; es wird nichts installiert."
LangString TooOld ${LANG_ENGLISH} "ZirbelWerk needs 64-bit Windows 10 or later. This Windows is older; nothing is installed."
LangString Kept ${LANG_GERMAN} "Das Flash-Protokoll und die Einstellungen bleiben erhalten: das Protokoll in $UserData\zirbelwerk, die Einstellungen in der Registry unter ${SETTINGS_KEY}."
LangString Kept ${LANG_ENGLISH} "The flash record and the settings are kept: the record in $UserData\zirbelwerk, the settings in the registry under ${SETTINGS_KEY}."

LangString PathUnchanged ${LANG_GERMAN} "PATH der Maschine nicht geaendert (Fehler $9)."
LangString PathUnchanged ${LANG_ENGLISH} "The machine's PATH was not changed (error $9)."
LangString RegistryFailed ${LANG_GERMAN} "Eintrag in der Registry fehlgeschlagen. Als Administrator installieren."
LangString RegistryFailed ${LANG_ENGLISH} "Could not write to the registry. Install as administrator."
LangString PreviousKept ${LANG_GERMAN} "Die installierte Version liess sich nicht entfernen (Fehler $1). Sie unter Einstellungen > Apps entfernen und die Installation wiederholen."
LangString PreviousKept ${LANG_ENGLISH} "The installed version could not be removed (error $1). Remove it under Settings > Apps and run the installation again."

; The machine's PATH is edited in memory through the registry API, not in
; NSIS strings: those end at 1024 characters, and many a PATH is longer.
; Entries are compared without regard to case, with or without a trailing
; backslash; every other entry stays as it was, in its place.
!macro ZW_PATH_FUNCTIONS un
; Takes every ";entry" followed by ";" out of the buffer at $4; $R0 = the
; entry, $6 counts what was taken.
Function ${un}PathTakeOut
    StrLen $7 $R0
    IntOp $7 $7 * 2
    ${Do}
        System::Call 'shlwapi::StrStrIW(p r4, w "$R0;") p .r5'
        ${IfThen} $5 P= 0 ${|} ${ExitDo} ${|}
        IntPtrOp $8 $5 + $7
        System::Call 'kernel32::lstrlenW(p r8) i .r9'
        IntOp $9 $9 + 1
        IntOp $9 $9 * 2
        System::Call 'kernel32::RtlMoveMemory(p r5, p r8, p r9)'
        IntOp $6 $6 + 1
    ${Loop}
FunctionEnd

; $0 = 1 puts $INSTDIR on the PATH unless it is there, 0 takes it off.
Function ${un}EditPath
    System::Call 'advapi32::RegOpenKeyExW(p ${HKLM_HANDLE}, w "${ENVIRONMENT_KEY}", i 0, i ${PATH_KEY_ACCESS}, *p .r1) i .r9'
    ${If} $9 <> 0
        DetailPrint "$(PathUnchanged)"
        Return
    ${EndIf}
    StrCpy $3 0
    System::Call 'advapi32::RegQueryValueExW(p r1, w "Path", p 0, *i .r2, p 0, *i r3r3) i .r9'
    ${If} $9 = 2 ; no PATH at all
        StrCpy $2 2
        StrCpy $3 0
        StrCpy $9 0
    ${ElseIf} $2 <> 1
    ${AndIf} $2 <> 2
        StrCpy $9 13 ; neither REG_SZ nor REG_EXPAND_SZ
    ${EndIf}
    ${If} $9 <> 0
        DetailPrint "$(PathUnchanged)"
        System::Call 'advapi32::RegCloseKey(p r1)'
        Return
    ${EndIf}

    ; ";" PATH ";" in a zeroed buffer, so every entry has a ";" either side.
    StrLen $7 $INSTDIR
    IntOp $7 $7 * 2
    IntOp $7 $7 + $3
    IntOp $7 $7 + 16
    System::Alloc $7
    Pop $4
    System::Call '*$4(&i2 59)'
    IntPtrOp $8 $4 + 2
    System::Call 'advapi32::RegQueryValueExW(p r1, w "Path", p 0, p 0, p r8, *i r3) i .r9'
    System::Call 'kernel32::lstrcatW(p r4, w ";")'

    StrCpy $6 0
    ${If} $0 = 1
        System::Call 'shlwapi::StrStrIW(p r4, w ";$INSTDIR;") p .r5'
        System::Call 'shlwapi::StrStrIW(p r4, w ";$INSTDIR\;") p .r7'
        ${If} $5 P= 0
        ${AndIf} $7 P= 0
            ; The closing ";" parts the new entry from the last, unless
            ; PATH ended in ";" or was empty.
            System::Call 'kernel32::lstrlenW(p r4) i .r7'
            IntOp $7 $7 * 2
            IntPtrOp $8 $4 + $7
            IntPtrOp $8 $8 - 4
            System::Call '*$8(&i2 .r5)'
            ${If} $5 = 59
                IntPtrOp $8 $8 + 2
                System::Call '*$8(&i2 0)'
            ${EndIf}
            System::Call 'kernel32::lstrcatW(p r4, w "$INSTDIR")'
            StrCpy $6 1
        ${EndIf}
    ${Else}
        StrCpy $R0 ";$INSTDIR"
        Call ${un}PathTakeOut
        StrCpy $R0 ";$INSTDIR\"
        Call ${un}PathTakeOut
        ${If} $6 > 0
            System::Call 'kernel32::lstrlenW(p r4) i .r7'
            IntOp $7 $7 * 2
            IntPtrOp $8 $4 + $7
            IntPtrOp $8 $8 - 2
            System::Call '*$8(&i2 0)'
        ${EndIf}
    ${EndIf}

    ${If} $6 > 0
        IntPtrOp $8 $4 + 2
        System::Call 'kernel32::lstrlenW(p r8) i .r7'
        IntOp $7 $7 + 1
        IntOp $7 $7 * 2
        System::Call 'advapi32::RegSetValueExW(p r1, w "Path", i 0, i r2, p r8, i r7) i .r9'
        ${If} $9 <> 0
            DetailPrint "$(PathUnchanged)"
        ${EndIf}
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
    System::Free $4
    System::Call 'advapi32::RegCloseKey(p r1)'
FunctionEnd
!macroend
!insertmacro ZW_PATH_FUNCTIONS ""
!insertmacro ZW_PATH_FUNCTIONS "un."

; The version the README names; silently, only the exit status says so.
Function .onInit
    ${IfNot} ${AtLeastWin10}
        MessageBox MB_ICONSTOP "$(TooOld)" /SD IDOK
        SetErrorLevel 3
        Quit
    ${EndIf}
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    StrCpy $UserData $LOCALAPPDATA
    SetShellVarContext all
FunctionEnd

; An earlier installation goes first, by its own uninstaller, so no file
; of it stays behind and PATH holds the folder once. Its uninstaller is done
; when it ends with 0 and its entry is gone. A second try gets past a
; passing hitch; then the update stops rather than install over what is
; left, which would mix two versions and report success.
Function RemovePrevious
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\uninstall.exe"
        Return
    ${EndIf}
    ${For} $2 1 2
        ${IfThen} $2 > 1 ${|} Sleep 1000 ${|}
        DetailPrint "$0\uninstall.exe /S"
        ClearErrors
        ExecWait '"$0\uninstall.exe" /S _?=$0' $1
        ${IfNot} ${Errors}
        ${AndIf} $1 = 0
            ReadRegStr $3 HKLM "${UNINSTALL_KEY}" "InstallLocation"
            ${If} ${Errors}
                Delete "$0\uninstall.exe"
                RMDir "$0"
                Return
            ${EndIf}
        ${EndIf}
    ${Next}
    MessageBox MB_ICONSTOP "$(PreviousKept)" /SD IDOK
    SetErrorLevel 4
    Quit
FunctionEnd

Section
    Call RemovePrevious
    ; Also the working directory of the links: the window finds its icon
    ; file there.
    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "${LINK}" "$INSTDIR\zirbelwerk.exe" "" "$INSTDIR\zirbelwerk.exe" 0
!ifdef STATION
    CreateShortCut "${STATION_LINK}" "${STATION}" "" "${STATION}" 0
!endif

    ClearErrors
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "ZirbelWerk"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "ZirbelWerk developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zirbelwerk.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
!ifdef STATION
    WriteRegStr HKLM "${STATION_EXTENSION}" "" "ZirbelWerk.Station"
    WriteRegStr HKLM "${STATION_CLASS}" "" "ZirbelWerk Station"
    WriteRegStr HKLM "${STATION_CLASS}\DefaultIcon" "" "${STATION},0"
    WriteRegStr HKLM "${STATION_CLASS}\shell\open\command" "" '"${STATION}" "%1"'
    System::Call "${ASSOCIATIONS_CHANGED}"
!endif
    ${If} ${Errors}
        MessageBox MB_ICONSTOP "$(RegistryFailed)" /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}

    StrCpy $0 1
    Call EditPath
SectionEnd

; The record and the settings belong to the user and stay.
Section Uninstall
    StrCpy $0 0
    Call un.EditPath
    Delete "${LINK}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
!ifdef STATION
    Delete "${STATION_LINK}"
    DeleteRegKey HKLM "${STATION_EXTENSION}"
    DeleteRegKey HKLM "${STATION_CLASS}"
    System::Call "${ASSOCIATIONS_CHANGED}"
!endif
    !insertmacro ZW_UNINSTALL_FILES
    Delete "$INSTDIR\uninstall.exe"
    DetailPrint "$(Kept)"
    ; Last, so the folder's going means the uninstaller is done.
    RMDir "$INSTDIR"
SectionEnd
