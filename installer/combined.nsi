; The setup an update runs, for every Windows: one 32-bit program that carries the x64 and the x86
; setup and runs the one that fits, passing its command line on (/S, /D=). It shows no window of its
; own; the setup it runs shows its pages and sets its exit code.
;   makensis -DVERSION=<2.1.4> -DVERSION_QUAD=<2.1.4.0> -DSETUP_X64=<x64 setup> -DSETUP_X86=<x86 setup>
;            -DICON=<icon> -DOUT_FILE=<setup> [-DTARGET=x86-unicode|amd64-unicode] [signing.nsh's -DSIGN_...]
;            combined.nsi
; The setups it carries are signed already when it is signed (a release).
; Which one it runs:
;  - on 32-bit Windows, the x86 setup;
;  - on 64-bit Windows, the x64 setup, always: the 32-bit Hivora refuses its work there. An x86
;    installation (the one an update runs from, where Patchwell puts this program as
;    HivoraSetup.exe, or the one the x86 setup's entry names) is moved over to the x64 build: see
;    MoveX86Installation.
; An update also installs into the folder it was run from, as the setups' own folder memory would,
; but for an x86 installation in the 32-bit Program Files, whose x64 build goes to the 64-bit one.
; TARGET amd64-unicode builds the same program as a 64-bit one, for testing under a Wine that runs
; 64-bit programs only; a release is always the 32-bit program, which every Windows runs.

!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}
!ifndef VERSION
  !error "VERSION must be given"
!endif
!ifndef VERSION_QUAD
  !error "VERSION_QUAD must be given"
!endif
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Hivora"
!define SETTINGS_KEY "SOFTWARE\Hivora"
; Held while this setup runs, so that a second start leaves at once.
!define SETUP_MUTEX "HivoraCombinedSetup"

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include "${__FILEDIR__}/program_files.nsh"
!include "${__FILEDIR__}/signing.nsh"

Name "Hivora"
OutFile "${OUT_FILE}"
Icon "${ICON}"
RequestExecutionLevel admin
SilentInstall silent
; The setups inside are compressed already.
SetCompress off

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "Hivora"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Hivora Setup"
VIAddVersionKey "CompanyName" "Hivora"
VIAddVersionKey "LegalCopyright" "Hivora"

; Objects of this setup are made with a descriptor that only SYSTEM and the Administrators can use
; and that names the Administrators as owner, which no standard user's process can do.
!define ADMINS_ONLY_SDDL "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
; SECURITY_ATTRIBUTES (length, descriptor in $1, no inheritance), laid out for the target.
!if "${TARGET}" == "amd64-unicode"
  !define SECURITY_ATTRIBUTES "(i 24, i 0, p r1, i 0, i 0)"
!else
  !define SECURITY_ATTRIBUTES "(i 12, p r1, i 0)"
!endif

; The single-instance mutex. Its name is open to every process: one that exists already counts as
; this setup's only when its owner is SYSTEM or the Administrators (as the one this setup makes is),
; so that no other user's process can stop the setup by taking the name first.
Function HoldSingleInstance
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${ADMINS_ONLY_SDDL}", i 1, *p .r1, p 0) i .r0'
  StrCpy $2 0
  ${If} $0 <> 0
    System::Call '*${SECURITY_ATTRIBUTES} p .r2'
  ${EndIf}
  System::Call 'kernel32::CreateMutexW(p r2, i 0, w "${SETUP_MUTEX}") p .r3 ?e'
  Pop $4
  ${If} $2 P<> 0
    System::Free $2
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
  ; No handle: an object of that name that an administrator may not open, so not this setup's.
  ${If} $3 P= 0
  ${OrIf} $4 <> 183 ; ERROR_ALREADY_EXISTS
    Return
  ${EndIf}
  ; SE_KERNEL_OBJECT (6), OWNER_SECURITY_INFORMATION (1); WinLocalSystemSid 22, WinBuiltinAdministratorsSid 26
  StrCpy $7 0
  System::Call 'advapi32::GetSecurityInfo(p r3, i 6, i 1, *p .r5, p 0, p 0, p 0, *p .r6) i .r0'
  ${If} $0 = 0
  ${AndIf} $5 P<> 0
    System::Call 'advapi32::IsWellKnownSid(p r5, i 26) i .r7'
    ${If} $7 = 0
      System::Call 'advapi32::IsWellKnownSid(p r5, i 22) i .r7'
    ${EndIf}
  ${EndIf}
  ${If} $0 = 0
    System::Call 'kernel32::LocalFree(p r6)'
  ${EndIf}
  ${If} $7 <> 0
    SetErrorLevel 2
    Quit
  ${EndIf}
  System::Call 'kernel32::CloseHandle(p r3)'
FunctionEnd

; $R3: a new folder for the inner setup, made for this run in the Windows folder's Temp (where
; other users may make folders of their own but not rename or delete this one) with the
; descriptor above; empty when none could be made. Never the user's TEMP, which the user's
; programs that run without administrator rights may change while the inner setup waits there.
Function MakeUnpackFolder
  StrCpy $R3 ""
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${ADMINS_ONLY_SDDL}", i 1, *p .r1, p 0) i .r0'
  ${If} $0 = 0
    Return
  ${EndIf}
  System::Call '*${SECURITY_ATTRIBUTES} p .r2'
  ; A name that exists already is someone else's: another is drawn.
  ${For} $3 1 8
    System::Call 'ole32::CoCreateGuid(g .r4) i .r0'
    StrCpy $5 "$WINDIR\Temp\HivoraSetup-$4"
    System::Call 'kernel32::CreateDirectoryW(w r5, p r2) i .r0'
    ${If} $0 <> 0
      StrCpy $R3 $5
      ${Break}
    ${EndIf}
  ${Next}
  System::Free $2
  System::Call 'kernel32::LocalFree(p r1)'
FunctionEnd

Function .onInit
  Call HoldSingleInstance
FunctionEnd

; $0: 1 when this run is an update of the installation in $EXEDIR.
Function IsUpdateRun
  StrCpy $0 0
  ${If} $EXEFILE == "HivoraSetup.exe"
  ${AndIf} ${FileExists} "$EXEDIR\Hivora.exe"
    StrCpy $0 1
  ${EndIf}
FunctionEnd

; $0: x64 or x86, the build to install.
Function ChooseBuild
  ${If} ${RunningX64}
    StrCpy $0 x64
  ${Else}
    StrCpy $0 x86
  ${EndIf}
FunctionEnd

; ---- Moving an x86 installation over to the x64 build (64-bit Windows) ----

; $R5: the folder of the x86 installation to move over; empty when there is none.
Function FindX86Installation
  StrCpy $R5 ""
  Call IsUpdateRun
  ${If} $0 = 1
    ; SCS_32BIT_BINARY is 0
    System::Call 'kernel32::GetBinaryTypeW(w "$EXEDIR\Hivora.exe", *i .r2) i .r1'
    ${If} $1 <> 0
    ${AndIf} $2 = 0
      StrCpy $R5 "$EXEDIR"
    ${EndIf}
    Return
  ${EndIf}
  SetRegView 32
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  SetRegView default
  ${If} $1 != ""
  ${AndIf} ${FileExists} "$1\Hivora.exe"
    StrCpy $R5 "$1"
  ${EndIf}
FunctionEnd

; $R6: the folder the x64 build goes to for the x86 installation in $R5: the same folder, but for
; the 32-bit Program Files, whose place is taken by the 64-bit one.
Function X64FolderFor
  StrCpy $R6 "$R5"
  ; CSIDL_PROGRAM_FILESX86 (0x2a): $PROGRAMFILES32 names it only in a 32-bit setup.
  System::Call 'shell32::SHGetSpecialFolderPathW(p 0, w .r3, i 0x2a, i 0) i .r0'
  ${If} $0 = 0
  ${OrIf} $3 == ""
    Return
  ${EndIf}
  StrLen $1 "$3\"
  StrCpy $2 "$R5" $1
  ${If} $2 == "$3\"
    StrCpy $R6 "$PROGRAMFILES64\Hivora"
  ${EndIf}
FunctionEnd

; $6: a name in the program folder the user's data has there (ignorelist.dat, Logs, Backup), moved
; from $R5 to $R6. A folder both have is moved entry by entry; nothing there is overwritten, and
; what cannot be moved stays where it was.
Function MoveUserEntry
  ${IfNot} ${FileExists} "$R5\$6"
    Return
  ${EndIf}
  ${IfNot} ${FileExists} "$R6\$6"
    Rename "$R5\$6" "$R6\$6"
    Return
  ${EndIf}
  FindFirst $7 $8 "$R5\$6\*.*"
  ${DoWhile} $8 != ""
    ${If} $8 != "."
    ${AndIf} $8 != ".."
    ${AndIfNot} ${FileExists} "$R6\$6\$8"
      Rename "$R5\$6\$8" "$R6\$6\$8"
    ${EndIf}
    FindNext $7 $8
  ${Loop}
  FindClose $7
  RMDir "$R5\$6"
FunctionEnd

; An ignore list in both folders: the x86 installation's entries appended to those in $R6 (two lines
; each, every line ended by CR LF), so that none is lost.
Function MergeIgnoreList
  ${IfNot} ${FileExists} "$R5\ignorelist.dat"
  ${OrIfNot} ${FileExists} "$R6\ignorelist.dat"
    Return
  ${EndIf}
  ClearErrors
  FileOpen $7 "$R6\ignorelist.dat" a
  FileOpen $8 "$R5\ignorelist.dat" r
  ${If} ${Errors}
    FileClose $7
    FileClose $8
    Return
  ${EndIf}
  ; A last line without its end would join the first appended one.
  FileSeek $7 0 END $9
  ${If} $9 > 0
    FileSeek $7 -1 END
    FileReadByte $7 $9
    FileSeek $7 0 END
    ${If} $9 <> 10
      FileWriteByte $7 13
      FileWriteByte $7 10
    ${EndIf}
  ${EndIf}
  ${Do}
    ClearErrors
    FileReadByte $8 $9
    ${If} ${Errors}
      ${Break}
    ${EndIf}
    FileWriteByte $7 $9
  ${Loop}
  FileClose $8
  FileClose $7
  Delete "$R5\ignorelist.dat"
FunctionEnd

!macro RemoveX86File name
  Delete "$R5\${name}"
!macroend

; After the x64 setup installed into $R6: the settings of the 32-bit registry
; (HKLM\SOFTWARE\Wow6432Node\Hivora) into the 64-bit one, value by value (they are texts; a number
; stays a number); the ignore list, logs and backups into $R6; then the x86 programs and the x86
; setup's entry removed. In the folder the x64 setup installed into, it replaced them already.
Function MoveX86Installation
  StrCpy $3 0
  ${Do}
    SetRegView 32
    EnumRegValue $4 HKLM "${SETTINGS_KEY}" $3
    ${If} $4 == ""
      ${Break}
    ${EndIf}
    ClearErrors
    ReadRegStr $5 HKLM "${SETTINGS_KEY}" $4
    ${If} ${Errors}
      ReadRegDWORD $5 HKLM "${SETTINGS_KEY}" $4
      SetRegView 64
      WriteRegDWORD HKLM "${SETTINGS_KEY}" $4 $5
    ${Else}
      SetRegView 64
      WriteRegStr HKLM "${SETTINGS_KEY}" $4 $5
    ${EndIf}
    IntOp $3 $3 + 1
  ${Loop}
  SetRegView 32
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  SetRegView default

  ${If} $R6 != $R5
    Call MergeIgnoreList
    StrCpy $6 "ignorelist.dat"
    Call MoveUserEntry
    StrCpy $6 "Logs"
    Call MoveUserEntry
    StrCpy $6 "Backup"
    Call MoveUserEntry
    !insertmacro ForEachProgramFile RemoveX86File
    Delete "$R5\Uninstall.exe"
    Delete "$R5\HivoraSetup.exe"
    RMDir "$R5"
  ${EndIf}
FunctionEnd

; ---- End of the move ----

Section
  Call ChooseBuild
  StrCpy $R0 $0
  StrCpy $R5 ""
  ${If} $R0 == x64
    Call FindX86Installation
  ${EndIf}
  ${GetParameters} $R1
  ; NSIS takes /D= off the command line and into $INSTDIR (empty without it, as no InstallDir is
  ; set): it goes on last, as the setup expects it.
  ${If} $INSTDIR != ""
    StrCpy $R6 "$INSTDIR"
    StrCpy $R1 "$R1 /D=$INSTDIR"
  ${ElseIf} $R5 != ""
    Call X64FolderFor
    StrCpy $R1 "$R1 /D=$R6"
  ${Else}
    Call IsUpdateRun
    ${If} $0 = 1
      StrCpy $R1 "$R1 /D=$EXEDIR"
    ${EndIf}
  ${EndIf}

  Call MakeUnpackFolder
  ${If} $R3 == ""
    MessageBox MB_OK|MB_ICONSTOP "The Hivora setup could not make a folder to unpack into." /SD IDOK
    SetErrorLevel 1
    Quit
  ${EndIf}
  SetOutPath "$R3"
  ${If} $R0 == x64
    File "/oname=HivoraSetup-x64.exe" "${SETUP_X64}"
  ${Else}
    File "/oname=HivoraSetup-x86.exe" "${SETUP_X86}"
  ${EndIf}
  ; It runs in the system folder, so that the unpack folder can be removed once it has ended.
  SetOutPath "$SYSDIR"
  ClearErrors
  ExecWait '"$R3\HivoraSetup-$R0.exe" $R1' $0
  ${If} ${Errors}
    ; This program is always silent; the box is for a run without /S, which expects pages.
    ClearErrors
    ${GetOptions} "$R1" "/S" $1
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "The Hivora setup for $R0 Windows could not be started."
    ${EndIf}
    StrCpy $0 1
  ${EndIf}
  ${If} $0 = 0
  ${AndIf} $R5 != ""
    Call MoveX86Installation
  ${EndIf}
  Delete "$R3\HivoraSetup-$R0.exe"
  RMDir "$R3"
  SetErrorLevel $0
SectionEnd
