; The Windows installer, made by scripts/package-windows.sh with NSIS:
;   makensis -DVERSION=x.y.z -DSTAGE=folder -DOUTFILE=setup.exe tidylander.nsi
; STAGE holds the files to install and files.nsh / unfiles.nsh, which install and remove them.
; Per user without administrator rights (the default), or for all users (/AllUsers, or the
; choice on the first page) with them. "Open with" offers tidylander for .xml files without
; taking the default program. The uninstaller removes every file and key it made; the user's
; stored options stay unless "Stored options" is ticked (or /RemoveOptions given).
; A 64-bit installer, as the programs are: it runs where they run, and Wine runs it without its
; 32-bit half.
Target amd64-unicode
SetCompressor /SOLID lzma

!define APP tidylander
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define PROGID "tidylander.xml"
!define OPTIONSKEY "Software\TQB55\tidyland"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR ${APP}
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTKEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTKEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${APP} ${VERSION}"

!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tidylander.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

VIProductVersion "${VERSION}"
VIAddVersionKey ProductName "${APP}"
VIAddVersionKey FileDescription "${APP} ${VERSION} setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey LegalCopyright "GPL-3.0-or-later"

Section "${APP}"
    SetOutPath "$INSTDIR"
    !include "${STAGE}/files.nsh"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\tidylander.exe"

    ; "Open with": the program's own registration and a ProgID listed for .xml. The default
    ; program of .xml (the key's default value) is left as it is.
    WriteRegStr SHCTX "Software\Classes\Applications\tidylander.exe" "FriendlyAppName" "${APP}"
    WriteRegStr SHCTX "Software\Classes\Applications\tidylander.exe\SupportedTypes" ".xml" ""
    WriteRegStr SHCTX "Software\Classes\Applications\tidylander.exe\shell\open\command" "" \
        '"$INSTDIR\tidylander.exe" "%1"'
    WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "LandXML file"
    WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open" "FriendlyAppName" "${APP}"
    WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" \
        '"$INSTDIR\tidylander.exe" "%1"'
    WriteRegStr SHCTX "Software\Classes\.xml\OpenWithProgids" "${PROGID}" ""

    WriteRegStr SHCTX "${UNINSTKEY}" "DisplayName" "${APP}"
    WriteRegStr SHCTX "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\tidylander.exe"
    WriteRegStr SHCTX "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTKEY}" "InstallMode" "$MultiUser.InstallMode"
    WriteRegStr SHCTX "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
    WriteRegStr SHCTX "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S /$MultiUser.InstallMode'
    WriteRegDWORD SHCTX "${UNINSTKEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTKEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTKEY}" "EstimatedSize" $0

    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; Removes KEY of ROOT when nothing is left in it: a key another program also uses stays.
!macro DeleteKeyIfEmpty ROOT KEY
    ClearErrors
    EnumRegKey $R0 ${ROOT} "${KEY}" 0
    EnumRegValue $R1 ${ROOT} "${KEY}" 0
    ${If} $R0 == ""
    ${AndIf} $R1 == ""
        ReadRegStr $R2 ${ROOT} "${KEY}" ""
        ${If} ${Errors}
            DeleteRegKey ${ROOT} "${KEY}"
        ${EndIf}
    ${EndIf}
!macroend

Section "un.${APP}"
    SectionIn RO
    !include "${STAGE}/unfiles.nsh"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ${If} $MultiUser.InstallMode == "CurrentUser"
        RMDir "$LOCALAPPDATA\Programs" ; where the installer made it: only when empty
    ${EndIf}
    Delete "$SMPROGRAMS\${APP}.lnk"

    DeleteRegKey SHCTX "Software\Classes\Applications\tidylander.exe"
    DeleteRegKey SHCTX "Software\Classes\${PROGID}"
    DeleteRegValue SHCTX "Software\Classes\.xml\OpenWithProgids" "${PROGID}"
    !insertmacro DeleteKeyIfEmpty SHCTX "Software\Classes\.xml\OpenWithProgids"
    !insertmacro DeleteKeyIfEmpty SHCTX "Software\Classes\.xml"
    DeleteRegKey SHCTX "${UNINSTKEY}"

    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section /o "un.Stored options" UnOptions
    DeleteRegKey HKCU "${OPTIONSKEY}"
    !insertmacro DeleteKeyIfEmpty HKCU "Software\TQB55"
SectionEnd

; After the sections, whose indexes un.onInit uses.
Function .onInit
    !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
    !insertmacro MULTIUSER_UNINIT
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/RemoveOptions" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${UnOptions} ${SF_SELECTED}
    ${EndIf}
FunctionEnd
