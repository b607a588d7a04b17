; The setup an update runs, for every Windows: one 32-bit program that carries the x64 and the x86
; setup and runs the one that fits, passing its command line on (/S, /D=). It shows no window of its
; own; the setup it runs shows its pages and sets its exit code.
;   makensis -DVERSION=<2.1.4> -DVERSION_QUAD=<2.1.4.0> -DSETUP_X64=<x64 setup> -DSETUP_X86=<x86 setup>
;            -DICON=<icon> -DOUT_FILE=<setup> [-DTARGET=x86-unicode|amd64-unicode] combined.nsi
; Which one it runs:
;  - on 32-bit Windows, the x86 setup;
;  - on 64-bit Windows, the x64 setup, except where the installation it updates is a 32-bit one: an
;    update (this program run as HivoraSetup.exe from a program folder, where Patchwell puts it)
;    keeps the build of the Hivora.exe beside it, and otherwise a Hivora installed only by the x86
;    setup stays 32-bit, because its settings live in the 32-bit registry.
; An update also installs into the folder it was run from, as the setups' own folder memory would.
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
; Held while this setup runs: an update starts it twice (the run flag of the file that brought it,
; then Patchwell's start of HivoraSetup.exe), and the second start leaves at once.
!define SETUP_MUTEX "HivoraCombinedSetup"

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

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

Function .onInit
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${SETUP_MUTEX}") p .r0 ?e'
  Pop $1
  ${If} $0 P= 0
  ${OrIf} $1 = 183 ; ERROR_ALREADY_EXISTS
    SetErrorLevel 2
    Quit
  ${EndIf}
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
  ${IfNot} ${RunningX64}
    StrCpy $0 x86
    Return
  ${EndIf}
  Call IsUpdateRun
  ${If} $0 = 1
    ; SCS_32BIT_BINARY is 0, SCS_64BIT_BINARY 6
    System::Call 'kernel32::GetBinaryTypeW(w "$EXEDIR\Hivora.exe", *i .r2) i .r1'
    StrCpy $0 x64
    ${If} $1 <> 0
    ${AndIf} $2 = 0
      StrCpy $0 x86
    ${EndIf}
    Return
  ${EndIf}
  StrCpy $0 x64
  SetRegView 64
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  SetRegView 32
  ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  SetRegView default
  ${If} $1 == ""
  ${AndIf} $2 != ""
    StrCpy $0 x86
  ${EndIf}
FunctionEnd

Section
  Call ChooseBuild
  StrCpy $R0 $0
  ${GetParameters} $R1
  ; NSIS takes /D= off the command line and into $INSTDIR (empty without it, as no InstallDir is
  ; set): it goes on last, as the setup expects it.
  ${If} $INSTDIR != ""
    StrCpy $R1 "$R1 /D=$INSTDIR"
  ${Else}
    Call IsUpdateRun
    ${If} $0 = 1
      StrCpy $R1 "$R1 /D=$EXEDIR"
    ${EndIf}
  ${EndIf}

  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  ${If} $R0 == x64
    File "/oname=HivoraSetup-x64.exe" "${SETUP_X64}"
  ${Else}
    File "/oname=HivoraSetup-x86.exe" "${SETUP_X86}"
  ${EndIf}
  ClearErrors
  ExecWait '"$PLUGINSDIR\HivoraSetup-$R0.exe" $R1' $0
  ${If} ${Errors}
    ; This program is always silent; the box is for a run without /S, which expects pages.
    ClearErrors
    ${GetOptions} "$R1" "/S" $1
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "The Hivora setup for $R0 Windows could not be started."
    ${EndIf}
    StrCpy $0 1
  ${EndIf}
  ; Out of the plug-ins folder, so that it can be removed.
  SetOutPath "$TEMP"
  SetErrorLevel $0
SectionEnd
