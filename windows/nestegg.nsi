; The Windows installer, built by package.cmake with Debian's makensis. It installs the program
; for all users into Program Files, which needs an administrator, or for the current user alone
; into %LOCALAPPDATA%\Programs, which does not; and adds "Nest Egg Calculator" to the Start menu
; and to the list of installed programs of those users (in HKLM or HKCU). It writes an
; uninstaller that removes exactly that again. The file that Cancel writes into the user's
; profile folder is the user's, and stays.
; Installs silently with /S, for all users with /AllUsers and for the current user with
; /CurrentUser; told neither, it installs as MultiUser chooses (see below). Uninstalls silently
; with uninstall.exe /S.
; A 64-bit installer for the 64-bit program: it also runs where Wine has no 32-bit part.
Target amd64-unicode

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NestEggCalculator"

; Administrators are asked to elevate and then choose, all users being the default; other users
; install for themselves. An earlier installation for the current user alone makes that the
; default.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_TOP "Install $(^NameDA) for all users of this computer, \
    or only for yourself, which needs no administrator rights. $(^ClickNext)"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_ALLUSERS "Install for anyone using this computer"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_CURRENTUSER "Install just for me"
!include MultiUser.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma
Icon "${__FILEDIR__}/nestegg.ico"
UninstallIcon "${__FILEDIR__}/nestegg.ico"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 ${PUBLISHER}"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    ; MultiUser sets the folder of the mode; one given with /D= stays.
    StrCpy $0 $INSTDIR
    !insertmacro MULTIUSER_INIT
    ${If} $0 != ""
        StrCpy $INSTDIR $0
    ${EndIf}
FunctionEnd

Function un.onInit
    !insertmacro MULTIUSER_UNINIT
    ; Installed both ways, each uninstaller removes its own installation: the one in the folder
    ; that the current user's entry names is the current user's.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        Call un.MultiUser.InstallMode.CurrentUser
    ${EndIf}
FunctionEnd

; SHCTX is HKLM for all users and HKCU for the current user, as MultiUser chose.
Section
    !include "${INSTALL_FILES}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\nestegg.exe" "" "$INSTDIR\nestegg.exe" 0

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\nestegg.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0  ; in KB
SectionEnd

Section Uninstall
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    !include "${UNINSTALL_FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ; Windows' folder for the user's own programs exists only where an installer made it; empty,
    ; it goes again.
    ${If} $MultiUser.InstallMode == CurrentUser
        RMDir "$LOCALAPPDATA\Programs"
    ${EndIf}
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
