; HivoraSetup.exe: installs Hivora into Program Files and uninstalls it again.
;   makensis -DARCH=x64|x86 -DVERSION=<2.1.4> -DVERSION_QUAD=<2.1.4.0> -DBIN_DIR=<folder of the built programs>
;            -DICON=<icon> -DOUT_FILE=<setup> [signing.nsh's -DSIGN_...] hivora.nsi
; The build passes the project's version (CMakeLists.txt).
; The x64 setup is itself a 64-bit program, so the folders and the registry it writes are the
; 64-bit ones, as the 64-bit Hivora sees them; the x86 setup writes what the 32-bit Hivora sees.

; TARGET amd64-unicode builds the x86 setup as a 64-bit program, for testing its refusal under a
; Wine that runs 64-bit programs only.
!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else if "${ARCH}" == "x86"
  !ifdef TARGET
    Target ${TARGET}
  !else
    Target x86-unicode
  !endif
  !define PROGRAM_FILES "$PROGRAMFILES"
!else
  !error "ARCH must be x64 or x86"
!endif

!ifndef VERSION
  !error "VERSION must be given"
!endif
!ifndef VERSION_QUAD
  !error "VERSION_QUAD must be given"
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Hivora"
!define SETTINGS_KEY "SOFTWARE\Hivora"
; The main program's single-instance mutex: while it exists, Hivora is running.
!define MUTEX "Hivora"
; Hivora runs with administrator rights from its folder, and imports the backups kept there: the
; folder is the administrators' alone, as Program Files gives its folders. Owner Administrators;
; protected (nothing inherited); SYSTEM and Administrators full control, Users read and execute,
; each inherited by everything inside.
!define FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
; SECURITY_ATTRIBUTES (length, descriptor in $1, no inheritance), laid out for the target.
!if "${ARCH}" == "x64"
  !define SECURITY_ATTRIBUTES "(i 24, i 0, p r1, i 0, i 0)"
!else
  !define SECURITY_ATTRIBUTES "(i 12, p r1, i 0)"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include "${__FILEDIR__}/signing.nsh"
!insertmacro SignUninstaller

Name "Hivora"
OutFile "${OUT_FILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; An update starts the setup program without arguments: it goes where the last one went.
InstallDir "${PROGRAM_FILES}\Hivora"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "Hivora"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Hivora Setup"
VIAddVersionKey "CompanyName" "Hivora"
VIAddVersionKey "LegalCopyright" "Hivora"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Hivora.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

!include "${__FILEDIR__}/program_files.nsh"
!macro InstallFile name
  File "${BIN_DIR}/${name}"
!macroend
!macro RemoveFile name
  Delete "$INSTDIR\${name}"
!macroend

; The 32-bit Hivora refuses to scan, repair and restore on 64-bit Windows, so the x86 setup does
; not install it there (exit code 4); its uninstaller still removes an installation made before.
Function RefuseWrongWindows
  !if "${ARCH}" == "x86"
    ${If} ${RunningX64}
      MessageBox MB_OK|MB_ICONSTOP "This setup is for 32-bit Windows, and this Windows is 64-bit. Install Hivora with its setup for 64-bit Windows (HivoraSetup-${VERSION}-x64.exe) or with the setup for every Windows (HivoraSetup-${VERSION}.exe)." /SD IDOK
      SetErrorLevel 4
      Quit
    ${EndIf}
  !endif
FunctionEnd

; Both the setup and the uninstaller change Program Files and HKLM, so they need an
; administrator. Files of a running Hivora cannot be replaced or removed: they ask the user to close
; it first; a silent run cannot ask, so it gives up with exit code 2.
!macro CheckBeforeStart un
  Function ${un}.onInit
    !if "${un}" == ""
      Call RefuseWrongWindows
    !endif
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "admin"
      MessageBox MB_OK|MB_ICONSTOP "Hivora can only be installed or removed by an administrator." /SD IDOK
      SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
    ${Do}
      System::Call 'kernel32::OpenMutex(i 0x00100000, i 0, t "${MUTEX}") p .r0'
      ${If} $0 P= 0
        Return
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r0)'
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Hivora is running. Close it, then press Retry." /SD IDCANCEL IDRETRY +2
      Quit
    ${Loop}
  FunctionEnd
!macroend
!insertmacro CheckBeforeStart ""
!insertmacro CheckBeforeStart "un"

; Outside Program Files the setup gives the folder its permissions itself. An elevated Hivora.exe
; loads DLLs from its own folder, so it does so only to a folder of Hivora's own: a new one, or one
; that holds nothing but what Hivora puts there (its programs and pictures, Uninstall.exe,
; HivoraSetup.exe, ignorelist.dat, the folders Logs and Backup and update folders) with no link
; (reparse point) anywhere, where every file and folder is owned by SYSTEM or the Administrators.
; A file beside the programs that a standard user put there (a DLL that Hivora.exe or Patchwell.dll
; would load) makes it refused, never protected and used.
Function IsUnderProgramFiles
  StrLen $1 "${PROGRAM_FILES}\"
  StrCpy $0 "$INSTDIR" $1
  ${If} $0 == "${PROGRAM_FILES}\"
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
FunctionEnd

Var FolderOfItsOwn

; $3: 1 when $2, a name in the folder's top level, is one Hivora puts there.
Function IsHivoraName
  StrCpy $3 1
  StrCpy $4 $2 7
  ${Select} $2
  ${Case5} "Hivora.exe" "hivora-cli.exe" "Patchwell.dll" "progress-General.gif" "progress-bar.gif"
  ${Case5} "update animation.gif" "Uninstall.exe" "HivoraSetup.exe" "ignorelist.dat" "Logs"
  ${Case} "Backup"
  ${CaseElse}
    ${If} $4 != "Update-"
      StrCpy $3 0
    ${EndIf}
  ${EndSelect}
FunctionEnd

; Clears FolderOfItsOwn when $R9 is a link, or is owned by someone else than SYSTEM and the
; Administrators. Wine keeps no owners (every file reads as the user's): there only links count.
Function CheckOwnerAndLinks
  System::Call 'kernel32::GetFileAttributesW(w R9) i .r5'
  IntOp $6 $5 & 0x400 ; FILE_ATTRIBUTE_REPARSE_POINT
  ${If} $5 = -1
  ${OrIf} $6 <> 0
    StrCpy $FolderOfItsOwn 0
    Return
  ${EndIf}
  System::Call 'kernel32::GetModuleHandleW(w "ntdll.dll") p .r5'
  System::Call 'kernel32::GetProcAddress(p r5, m "wine_get_version") p .r6'
  ${If} $6 P<> 0
    Return
  ${EndIf}
  ; SE_FILE_OBJECT (1), OWNER_SECURITY_INFORMATION (1); WinLocalSystemSid 22, WinBuiltinAdministratorsSid 26
  StrCpy $7 0
  System::Call 'advapi32::GetNamedSecurityInfoW(w R9, i 1, i 1, *p .r5, p 0, p 0, p 0, *p .r6) i .r8'
  ${If} $8 = 0
    ${If} $5 P<> 0
      System::Call 'advapi32::IsWellKnownSid(p r5, i 26) i .r7'
      ${If} $7 = 0
        System::Call 'advapi32::IsWellKnownSid(p r5, i 22) i .r7'
      ${EndIf}
    ${EndIf}
    System::Call 'kernel32::LocalFree(p r6)'
  ${EndIf}
  ${If} $7 = 0
    StrCpy $FolderOfItsOwn 0
  ${EndIf}
FunctionEnd

Function CheckTreeItem
  Call CheckOwnerAndLinks
  ${If} $FolderOfItsOwn = 0
    Push "StopLocate"
  ${Else}
    Push 0
  ${EndIf}
FunctionEnd

; $0: 1 when the setup may install into $INSTDIR outside Program Files (rules above).
Function IsFolderOfItsOwn
  StrCpy $FolderOfItsOwn 1
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    ; A file of that name is no folder to install into.
    ${If} ${FileExists} "$INSTDIR"
      StrCpy $FolderOfItsOwn 0
    ${EndIf}
    StrCpy $0 $FolderOfItsOwn
    Return
  ${EndIf}
  FindFirst $1 $2 "$INSTDIR\*.*"
  ${DoWhile} $2 != ""
    ${If} $2 != "."
    ${AndIf} $2 != ".."
      Call IsHivoraName
      ${If} $3 = 0
        StrCpy $FolderOfItsOwn 0
        ${Break}
      ${EndIf}
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
  ${If} $FolderOfItsOwn = 1
    StrCpy $R9 "$INSTDIR"
    Call CheckOwnerAndLinks
  ${EndIf}
  ${If} $FolderOfItsOwn = 1
    ${Locate} "$INSTDIR" "/L=FD /G=1" "CheckTreeItem"
  ${EndIf}
  StrCpy $0 $FolderOfItsOwn
FunctionEnd

Function .onVerifyInstDir
  Call IsUnderProgramFiles
  ${If} $0 = 0
    Call IsFolderOfItsOwn
    ${If} $0 = 0
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ProtectFolder
  Call IsUnderProgramFiles
  ${If} $0 = 1
    Return
  ${EndIf}
  Call IsFolderOfItsOwn
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR holds other files, links, or files of other owners. Outside Program Files, Hivora is installed only into a new folder, or over an earlier installation that only administrators could change." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  ; A new folder is made with its permissions, so that nobody can put anything in it first.
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    ${GetParent} "$INSTDIR" $5
    CreateDirectory "$5"
    StrCpy $2 0
    StrCpy $7 0
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${FOLDER_SDDL}", i 1, *p .r1, p 0) i .r0'
    ${If} $0 <> 0
      System::Call '*${SECURITY_ATTRIBUTES} p .r2'
      System::Call 'kernel32::CreateDirectoryW(w "$INSTDIR", p r2) i .r7 ?e'
      Pop $0
      System::Free $2
      System::Call 'kernel32::LocalFree(p r1)'
    ${EndIf}
    ${If} $2 P= 0
    ${OrIf} $7 = 0
      MessageBox MB_OK|MB_ICONSTOP "The folder $INSTDIR could not be made with permissions for administrators only (error $0)." /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
    Return
  ${EndIf}
  ; The whole tree: the folder gets owner and DACL, everything inside the owner and the inherited
  ; entries alone (TreeResetNamedSecurityInfo, KeepExplicit false).
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${FOLDER_SDDL}", i 1, *p .r1, p 0) i .r0'
  ${If} $0 <> 0
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r2, *i .r4) i .r0'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r4, *p .r3, *i .r4) i .r0'
    ; OWNER (1) | DACL (4) | PROTECTED_DACL (0x80000000); ProgressInvokeNever (1)
    System::Call 'advapi32::TreeResetNamedSecurityInfoW(w "$INSTDIR", i 1, i 0x80000005, p r2, p 0, p r3, p 0, i 0, p 0, i 1, p 0) i .r0'
    System::Call 'kernel32::LocalFree(p r1)'
  ${Else}
    StrCpy $0 1
  ${EndIf}
  ${If} $0 <> 0
    MessageBox MB_OK|MB_ICONSTOP "The permissions of $INSTDIR could not be set (error $0): only administrators may change the folder Hivora runs from." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd

Section "Hivora" SecHivora
  SetShellVarContext all
  Call ProtectFolder
  SetOutPath "$INSTDIR"
  !insertmacro ForEachProgramFile InstallFile
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Hivora.lnk" "$INSTDIR\Hivora.exe" "" "$INSTDIR\Hivora.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Hivora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Hivora"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Hivora.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; The programs' size in KB: the user's backups and logs in the folder are not counted.
  SectionGetSize ${SecHivora} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; The backups are the only way back from a repair: keeping them is the default, and the
  ; only choice of a silent uninstall.
  StrCpy $R0 keep
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 \
    "Keep Hivora's registry backups, logs, ignore list and settings?$\n$\nThe backups are the only way to undo the repairs Hivora has made. Press No to remove them too." \
    /SD IDYES IDYES +2
  StrCpy $R0 remove

  ; The scheduled scan: the task of the Task Scheduler 2.0 through schtasks.exe from the system
  ; folder, then a task the 1.0 interfaces keep apart (ITaskScheduler::Delete), where the program
  ; had to fall back to them. A missing task or scheduler leaves nothing to do.
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN "Hivora" /F'
  Pop $0
  System::Call 'ole32::CoCreateInstance(g "{148BD52A-A2AB-11CE-B11F-00AA00530503}", p 0, i 1, g "{148BD527-A2AB-11CE-B11F-00AA00530503}", *p .r0) i .r1'
  ${If} $1 = 0
    System::Call '$0->7(w "Hivora")'
    System::Call '$0->2()'
  ${EndIf}

  Delete "$SMPROGRAMS\Hivora.lnk"
  !insertmacro ForEachProgramFile RemoveFile
  ; Left in the folder by an update.
  Delete "$INSTDIR\HivoraSetup.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; Only Hivora's own files: the folder may be shared with other programs' Logs and Backup.
  ${If} $R0 == remove
    Delete "$INSTDIR\Logs\HV_*.log"
    RMDir "$INSTDIR\Logs"
    ; A backup set is its registry file, its list file and the folder of its saved shortcuts.
    Delete "$INSTDIR\Backup\HVBak_*"
    FindFirst $0 $1 "$INSTDIR\Backup\HVBak_*"
    ${DoWhile} $1 != ""
      RMDir /r "$INSTDIR\Backup\$1"
      FindNext $0 $1
    ${Loop}
    FindClose $0
    RMDir "$INSTDIR\Backup"
    Delete "$INSTDIR\ignorelist.dat"
    DeleteRegKey HKLM "${SETTINGS_KEY}"
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
