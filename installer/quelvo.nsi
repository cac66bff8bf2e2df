; The Windows installer: Quelvo.exe and its files into Program Files, a
; Start-menu entry, and an uninstaller in the list of installed programs.
; scripts/package compiles it with makensis from a staged folder:
;   makensis -DVERSION=1.0.0.14 -DSTAGE=<folder> -DFILES=<files.nsh>
;            -DUNFILES=<unfiles.nsh> -DOUTFILE=<setup.exe> installer/quelvo.nsi
; files.nsh holds a SetOutPath/File line per staged file and unfiles.nsh a
; Delete/RMDir line per file and folder, deepest first, so the uninstaller
; removes exactly what was installed and nothing the user put there.
; /S installs or uninstalls silently.

; The program is 64-bit; so is its installer (and Wine without wine32 runs it).
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef STAGE
  !error "STAGE is not defined"
!endif
!ifndef FILES
  !error "FILES is not defined"
!endif
!ifndef UNFILES
  !error "UNFILES is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "Quelvo-${VERSION}-setup.exe"
!endif

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!define PRODUCT "Quelvo"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelvo"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The program itself asks for administrator rights; so does its installer.
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PRODUCT}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function RequireAdmin
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "Administrator rights are needed: run the installer as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 64
  SetShellVarContext all
  Call RequireAdmin
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "Administrator rights are needed: run the uninstaller as an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
FunctionEnd

Section "Quelvo"
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Quelvo.exe" "" "$INSTDIR\Quelvo.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://www.quelvo.example"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quelvo.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  !include "${UNFILES}"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: whatever else is there stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
