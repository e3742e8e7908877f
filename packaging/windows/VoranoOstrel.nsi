; The Windows installer: makensis -DVERSION=a.b.c.d -DDEPLOY=<folder with the program> -DOUTFILE=<setup.exe>
; (scripts/build-windows). It installs the program with its DLLs and plug-ins into Program Files, asks for the
; data folder (the settings files, Logboek, Ostrel, Vorano, ...; by default one under ProgramData, or the program
; folder itself as the program has it without --data), adds a start menu entry, an entry that starts the program at
; logon (optional) and an uninstaller. The uninstaller removes the program's files and leaves the data folder.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!define PRODUCT "Taxis Vorano Soap Cliënt voor Ostrel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VoranoOstrel"
!define SETTINGS_KEY "Software\Taxis Vorano\VoranoOstrel"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Taxis Vorano\VoranoOstrel"
InstallDirRegKey HKLM "${SETTINGS_KEY}" "InstallDir"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Dutch.nlf"
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1043 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1043 "CompanyName" "Taxis Vorano"
VIAddVersionKey /LANG=1043 "FileDescription" "Installatie van ${PRODUCT}"
VIAddVersionKey /LANG=1043 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1043 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1043 "LegalCopyright" "Taxis Vorano"

Var DataDir

Page directory
PageEx directory
  DirVar $DataDir
  DirText "De instellingen, het logboek en de kopieën van de berichten komen in deze map. Kiest u de \
           programmamap, dan werkt het programma zonder --data (alleen als die map voor de gebruikers \
           schrijfbaar is)." "Gegevensmap"
PageExEnd
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  SetShellVarContext all
  ReadRegStr $DataDir HKLM "${SETTINGS_KEY}" "DataDir"
  ; $APPDATA of all users: C:\ProgramData.
  StrCmp $DataDir "" 0 +2
    StrCpy $DataDir "$APPDATA\Taxis Vorano\VoranoOstrel"
FunctionEnd

Section "Programma"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${DEPLOY}\*.*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The data folder: the program's users may change what is in it (the settings files, the day files, ...).
  CreateDirectory "$DataDir"
  nsExec::ExecToLog 'icacls "$DataDir" /grant *S-1-5-32-545:(OI)(CI)M'
  Pop $0
  StrCpy $1 '--data "$DataDir"'
  StrCmp $DataDir $INSTDIR 0 +2
    StrCpy $1 ""

  CreateDirectory "$SMPROGRAMS\Taxis Vorano"
  CreateShortCut "$SMPROGRAMS\Taxis Vorano\${PRODUCT}.lnk" "$INSTDIR\VoranoOstrel.exe" $1
  CreateShortCut "$SMPROGRAMS\Taxis Vorano\Verwijderen.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${SETTINGS_KEY}" "DataDir" "$DataDir"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Taxis Vorano"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VoranoOstrel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "Starten bij aanmelden"
  SetShellVarContext all
  StrCpy $1 '--data "$DataDir"'
  StrCmp $DataDir $INSTDIR 0 +2
    StrCpy $1 ""
  CreateShortCut "$SMSTARTUP\${PRODUCT}.lnk" "$INSTDIR\VoranoOstrel.exe" $1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  ; Only what the installer put there (the list is made from the same folder as the package): the settings and
  ; everything else the program wrote stay, also when the data folder is the program folder.
  !include "${DEPLOY}.uninstall.nsh"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Taxis Vorano\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\Taxis Vorano\Verwijderen.lnk"
  RMDir "$SMPROGRAMS\Taxis Vorano"
  Delete "$SMSTARTUP\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
SectionEnd
