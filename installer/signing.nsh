; Authenticode signatures of a release: given SIGN_TOOL (scripts/sign-binary), the certificate
; SIGN_CERT and its key SIGN_KEY, and optionally a time-stamping server SIGN_TIMESTAMP, makensis signs
; the setup it writes, and a setup with an uninstaller signs that before packing it (SignUninstaller).
; Without SIGN_TOOL nothing is signed (the builds the tests use).
!ifdef SIGN_TOOL
  !ifndef SIGN_CERT
    !error "SIGN_TOOL needs SIGN_CERT"
  !endif
  !ifndef SIGN_KEY
    !error "SIGN_TOOL needs SIGN_KEY"
  !endif
  !ifndef SIGN_TIMESTAMP
    !define SIGN_TIMESTAMP ""
  !endif
  !define SIGN_COMMAND '"${SIGN_TOOL}" "${SIGN_CERT}" "${SIGN_KEY}" "%1" "${SIGN_TIMESTAMP}"'
  !finalize '${SIGN_COMMAND}' = 0
!endif

; The uninstaller, signed before the setup packs it; with UNINSTALLER_COPY, a copy of it is kept
; there, so that its signature can be checked without installing.
!macro SignUninstaller
  !ifdef SIGN_TOOL
    !uninstfinalize '${SIGN_COMMAND}' = 0
    !ifdef UNINSTALLER_COPY
      !uninstfinalize 'cp "%1" "${UNINSTALLER_COPY}"' = 0
    !endif
  !endif
!macroend
