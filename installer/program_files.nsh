; The programs and pictures the setup puts in the program folder. Everything else there (Logs,
; Backup, ignorelist.dat) belongs to the user.
!macro ForEachProgramFile action
  !insertmacro ${action} "Hivora.exe"
  !insertmacro ${action} "hivora-cli.exe"
  !insertmacro ${action} "Patchwell.dll"
  !insertmacro ${action} "progress-General.gif"
  !insertmacro ${action} "progress-bar.gif"
  !insertmacro ${action} "update animation.gif"
!macroend
