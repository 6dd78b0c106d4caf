; Quorvel's per-user setup: no elevation, installs under the user's local
; application data, starts Quorvel at sign-in and, on Windows 10 and later,
; keeps Windows from moving the default printer behind Quorvel's back.
; An update starts both options from what it finds, so a silent one changes
; neither; /STARTATSIGNIN=0|1 and /KEEPDEFAULT=0|1 set them explicitly.
;
; scripts/package.sh compiles it with these symbols defined:
;   VERSION  the product version ("2.1")
;   VERSION4 the same in four fields ("2.1.0.0"), for the version resource
;   TARGET   x86-ansi for the shipped setup (runs from Windows 95 and NT 4
;            on); amd64-unicode for the 64-bit test twin
;   EXE      Quorvel.exe to pack         README   readme.txt to pack
;   LICENSE  LICENSE.txt to pack (the licence, Windows line ends)
;   ICON     the setup's icon            OUTFILE  where the setup goes
;   SIGNCMD  (optional) a command that signs a file in place; the
;            uninstaller is signed with it when makensis writes it

; The ANSI target is the one NSIS still builds for the Windows 9x family,
; which has no Unicode; it runs on the NT family as well.
Target ${TARGET}

!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "LogicLib.nsh"
!include "WinVer.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"
!include "x64.nsh"

!define PRODUCT "Quorvel"
!define PUBLISHER "Brennick"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define WINDOWS_KEY "Software\Microsoft\Windows NT\CurrentVersion\Windows"
; Setup's own notes. Never under ...\Quorvel\Settings: Quorvel deletes every
; subkey there when it saves.
!define SETUP_KEY "Software\Brennick\Quorvel\Setup"
!define SETTINGS_KEY "Software\Brennick\Quorvel\Settings"
; Quorvel's hidden window and its Exit command.
!define QUORVEL_CLASS "Quorvel"
; The switch of a start that no person asked for: finding Quorvel already
; running, such a start ends without a word (a person's start opens the
; running copy's configuration instead).
!define QUIET_START "/signin"
!define IDM_EXIT 1011

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
UninstallCaption "${PRODUCT} ${VERSION} Uninstall"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
; An earlier install is updated where it is; /D= overrides both.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!ifdef SIGNCMD
  !uninstfinalize '"${SIGNCMD}" "%1"' = 0
!endif

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=3081 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=3081 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=3081 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=3081 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=3081 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=3081 "LegalCopyright" "Freeware (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

!define MUI_WELCOMEPAGE_TITLE "Welcome to ${PRODUCT} ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "${PRODUCT} lives in the notification area and keeps the right printer as your default: pick one from its menu, or let it follow you from network to network.$\r$\n$\r$\nSetup installs it for you alone and needs no administrator rights.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartInstalledQuorvel
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\readme.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the readme"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
; Windows 10 and 11 first hide a new program's icon behind the taskbar's
; arrow, where a user who sees nothing starts it a second time.
!define MUI_FINISHPAGE_TEXT "${PRODUCT} has been installed on your computer.$\r$\n$\r$\nIts icon, a small printer, sits in the notification area next to the clock. Windows 11 first hides it behind the ^ arrow there: to keep it always shown, open Settings, Personalisation, Taskbar, Other system tray icons, and switch ${PRODUCT} on (Windows 10: Select which icons appear on the taskbar)."
!define MUI_FINISHPAGE_TEXT_LARGE
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var StartAtSignIn    ; BST_CHECKED or BST_UNCHECKED
Var KeepDefault      ; same; stays unchecked before Windows 10
Var StartCheck
Var KeepCheck
Var EndedRunning     ; 1 when setup ended a running Quorvel
Var ForEveryone      ; 1 when the per-machine package starts Quorvel for everyone
Var OptionY          ; where the options page places its next control (dialog units)

!macro FIND_RUN_VALUE_IN_BOTH_VIEWS
  SetRegView 32
  ClearErrors
  ReadRegStr $0 HKLM "${RUN_KEY}" "${PRODUCT}"
  ${IfNot} ${Errors}
    StrCpy $ForEveryone 1
  ${EndIf}
  SetRegView 64
  ClearErrors
  ReadRegStr $0 HKLM "${RUN_KEY}" "${PRODUCT}"
  ${IfNot} ${Errors}
    StrCpy $ForEveryone 1
  ${EndIf}
  SetRegView default
!macroend

; Whether a Run value "Quorvel" under HKLM starts Quorvel for everyone: the
; MSI writes one, in the 32-bit view on 64-bit Windows; either view counts.
Function FindMachineRunValue
  Push $0
  StrCpy $ForEveryone 0
  ClearErrors
  ReadRegStr $0 HKLM "${RUN_KEY}" "${PRODUCT}"
  ${IfNot} ${Errors}
    StrCpy $ForEveryone 1
  ${EndIf}
  ; Only 64-bit Windows has two views (and knows the flags that pick them).
  !if ${NSIS_PTR_SIZE} > 4
    !insertmacro FIND_RUN_VALUE_IN_BOTH_VIEWS
  !else
    ${If} ${RunningX64}
      !insertmacro FIND_RUN_VALUE_IN_BOTH_VIEWS
    ${EndIf}
  !endif
  Pop $0
FunctionEnd

; Ends every Quorvel that runs from $INSTDIR through its own Exit command,
; so that it removes its icon and ends as the user's Exit would, and waits
; for each process to end (its file stays locked until then). A copy that
; runs from elsewhere, such as the per-machine package's, is left running;
; one whose file cannot be learned (Windows 9x, NT 4.0 without psapi) is
; taken for this one's.
!macro END_RUNNING_QUORVEL un
Function ${un}EndRunningQuorvel
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $3 0   ; windows ended or stepped over
  StrCpy $4 0   ; the window after which to look
  ${Do}
    FindWindow $0 "${QUORVEL_CLASS}" "" "" $4
    ${If} $0 == 0
    ${OrIf} $3 >= 20
      ${ExitDo}
    ${EndIf}
    IntOp $3 $3 + 1
    System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
    ; SYNCHRONIZE, to wait for the end, and what reading the file name needs:
    ; PROCESS_QUERY_INFORMATION and PROCESS_VM_READ, or from Vista on
    ; PROCESS_QUERY_LIMITED_INFORMATION.
    System::Call "kernel32::OpenProcess(i 0x00100410, i 0, i r1) p .r2"
    ${If} $2 P= 0
      System::Call "kernel32::OpenProcess(i 0x00101000, i 0, i r1) p .r2"
    ${EndIf}
    ${If} $2 P= 0
      System::Call "kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2"
    ${EndIf}
    StrCpy $5 ""
    ${If} $2 P<> 0
      System::Call "kernel32::QueryFullProcessImageName(p r2, i 0, t .r5, *i ${NSIS_MAX_STRLEN}) i .r6"
      ${If} $6 == "error"
      ${OrIf} $6 == 0
        System::Call "psapi::GetModuleFileNameEx(p r2, p 0, t .r5, i ${NSIS_MAX_STRLEN}) i .r6"
        ${If} $6 == "error"
        ${OrIf} $6 == 0
          StrCpy $5 ""
        ${EndIf}
      ${EndIf}
    ${EndIf}
    ${If} $5 != ""
    ${AndIf} $5 != "$INSTDIR\Quorvel.exe"
      ; The same file may be named by its short or its long name.
      GetFullPathName /SHORT $5 $5
      GetFullPathName /SHORT $6 "$INSTDIR\Quorvel.exe"
      ${If} $5 == ""
      ${OrIf} $5 != $6
        ; Another package's copy: leave it, look on after it.
        StrCpy $4 $0
        ${If} $2 P<> 0
          System::Call "kernel32::CloseHandle(p r2) i"
        ${EndIf}
        ${Continue}
      ${EndIf}
    ${EndIf}
    StrCpy $EndedRunning 1
    SendMessage $0 ${WM_COMMAND} ${IDM_EXIT} 0 /TIMEOUT=5000
    ${If} $2 P<> 0
      System::Call "kernel32::WaitForSingleObject(p r2, i 10000) i"
      System::Call "kernel32::CloseHandle(p r2) i"
    ${Else}
      Sleep 1000
    ${EndIf}
  ${Loop}
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_QUORVEL ""
!insertmacro END_RUNNING_QUORVEL "un."

; Puts LegacyDefaultPrinterMode back as setup found it, but only while it
; still holds the 1 that setup wrote; then forgets the note.
!macro RESTORE_PRINTER_MODE un
Function ${un}RestorePrinterMode
  Push $0
  Push $1
  ReadRegStr $0 HKCU "${SETUP_KEY}" "LegacyDefaultPrinterMode"
  ${If} $0 != ""
    ClearErrors
    ReadRegDWORD $1 HKCU "${WINDOWS_KEY}" "LegacyDefaultPrinterMode"
    ${IfNot} ${Errors}
    ${AndIf} $1 == 1
      ${If} $0 == "absent"
        DeleteRegValue HKCU "${WINDOWS_KEY}" "LegacyDefaultPrinterMode"
      ${Else}
        WriteRegDWORD HKCU "${WINDOWS_KEY}" "LegacyDefaultPrinterMode" $0
      ${EndIf}
    ${EndIf}
    DeleteRegValue HKCU "${SETUP_KEY}" "LegacyDefaultPrinterMode"
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro RESTORE_PRINTER_MODE ""
!insertmacro RESTORE_PRINTER_MODE "un."

Function .onInit
  ${If} $INSTDIR == ""
    ; Windows before 2000 and Me have no local application data folder.
    ${If} $LOCALAPPDATA != ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
  ${EndIf}
  StrCpy $EndedRunning 0
  Call FindMachineRunValue

  ; An update starts from the choices as the user has them now: a Run value
  ; removed, or Windows' management turned back on, stays so.
  ClearErrors
  ReadRegStr $0 HKCU "${UNINST_KEY}" "InstallLocation"
  ${If} ${Errors}
    StrCpy $StartAtSignIn ${BST_CHECKED}
    StrCpy $KeepDefault ${BST_CHECKED}
  ${Else}
    StrCpy $StartAtSignIn ${BST_UNCHECKED}
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${IfNot} ${Errors}
      StrCpy $StartAtSignIn ${BST_CHECKED}
    ${EndIf}
    StrCpy $KeepDefault ${BST_UNCHECKED}
    ClearErrors
    ReadRegDWORD $0 HKCU "${WINDOWS_KEY}" "LegacyDefaultPrinterMode"
    ${IfNot} ${Errors}
    ${AndIf} $0 == 1
      StrCpy $KeepDefault ${BST_CHECKED}
    ${EndIf}
  ${EndIf}

  ${GetParameters} $1
  StrCpy $2 "/STARTATSIGNIN="
  Call ReadOptionSwitch
  ${If} $0 != ""
    StrCpy $StartAtSignIn $0
  ${EndIf}
  StrCpy $2 "/KEEPDEFAULT="
  Call ReadOptionSwitch
  ${If} $0 != ""
    StrCpy $KeepDefault $0
  ${EndIf}

  ; Only Windows 10 and later move the default printer by themselves.
  ${IfNot} ${AtLeastWin10}
    StrCpy $KeepDefault ${BST_UNCHECKED}
  ${EndIf}
FunctionEnd

; The switch named $2 in the command line $1: $0 = BST_CHECKED for 1,
; BST_UNCHECKED for 0, "" when absent. Any other value ends setup (exit
; code 2) with a message, shown also when silent, since nothing else
; would tell.
Function ReadOptionSwitch
  ClearErrors
  ${GetOptions} $1 $2 $0
  ${If} ${Errors}
    StrCpy $0 ""
  ${ElseIf} $0 == "1"
    StrCpy $0 ${BST_CHECKED}
  ${ElseIf} $0 == "0"
    StrCpy $0 ${BST_UNCHECKED}
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} Setup: $2 takes 0 or 1, not $\"$0$\"." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function OptionsPage
  !insertmacro MUI_HEADER_TEXT "Options" "Choose how ${PRODUCT} starts and keeps your default printer."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateCheckbox} 0 0 100% 12u "Start ${PRODUCT} when I sign in"
  Pop $StartCheck
  StrCpy $OptionY 22
  ${If} $ForEveryone == 1
    ; A start of the user's own would make two copies: two icons, and one
    ; copy's locations overwriting the other's.
    ${NSD_Check} $StartCheck
    EnableWindow $StartCheck 0
    ${NSD_CreateLabel} 12u 14u -12u 20u "${PRODUCT} already starts for everyone who signs in to this computer (your administrator installed it for all users), so setup adds no start of its own."
    Pop $0
    StrCpy $OptionY 40
  ${Else}
    ${NSD_SetState} $StartCheck $StartAtSignIn
  ${EndIf}
  ${If} ${AtLeastWin10}
    ${NSD_CreateCheckbox} 0 $OptionYu 100% 20u "Keep the default printer that ${PRODUCT} chooses (turn off Windows' own default printer management)"
    Pop $KeepCheck
    ${NSD_SetState} $KeepCheck $KeepDefault
    IntOp $OptionY $OptionY + 24
    ${NSD_CreateLabel} 12u $OptionYu -12u 30u "Otherwise Windows makes the printer you used last the default, undoing what ${PRODUCT} chose. You can change this later under Settings, Printers && scanners."
    Pop $0
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
  ${If} $ForEveryone != 1
    ${NSD_GetState} $StartCheck $StartAtSignIn
  ${EndIf}
  ${If} ${AtLeastWin10}
    ${NSD_GetState} $KeepCheck $KeepDefault
  ${EndIf}
FunctionEnd

Function StartInstalledQuorvel
  ; Setup may have restarted it already.
  FindWindow $0 "${QUORVEL_CLASS}" ""
  ${If} $0 == 0
    Exec '"$INSTDIR\Quorvel.exe"'
  ${EndIf}
FunctionEnd

Section "Quorvel"
  SetShellVarContext current
  Call EndRunningQuorvel

  SetOutPath "$INSTDIR"
  File "/oname=Quorvel.exe" "${EXE}"
  File "/oname=readme.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Quorvel.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} readme.lnk" "$INSTDIR\readme.txt"

  ; Where the per-machine package starts Quorvel for everyone, a Run value
  ; of the user's own (an earlier setup's) would start a second copy. An
  ; update writes the value anew, so one from an earlier setup gets the
  ; switch too.
  ${If} $StartAtSignIn == ${BST_CHECKED}
  ${AndIf} $ForEveryone != 1
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\Quorvel.exe" ${QUIET_START}'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}

  ${If} $KeepDefault == ${BST_CHECKED}
    ; Note the value as it was, once: a later setup must not take its own
    ; 1 for the user's.
    ReadRegStr $0 HKCU "${SETUP_KEY}" "LegacyDefaultPrinterMode"
    ${If} $0 == ""
      ClearErrors
      ReadRegDWORD $0 HKCU "${WINDOWS_KEY}" "LegacyDefaultPrinterMode"
      ${If} ${Errors}
        StrCpy $0 "absent"
      ${EndIf}
      WriteRegStr HKCU "${SETUP_KEY}" "LegacyDefaultPrinterMode" $0
    ${EndIf}
    WriteRegDWORD HKCU "${WINDOWS_KEY}" "LegacyDefaultPrinterMode" 1
  ${Else}
    Call RestorePrinterMode
  ${EndIf}

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Quorvel.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0

  ; A silent update brings back the copy it ended; with pages, the last
  ; page offers to start it.
  ${If} ${Silent}
  ${AndIf} $EndedRunning == 1
    Exec '"$INSTDIR\Quorvel.exe" ${QUIET_START}'
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Call un.EndRunningQuorvel

  Delete "$INSTDIR\Quorvel.exe"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: the folder may hold the user's own files.
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} readme.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  Call un.RestorePrinterMode
  DeleteRegKey HKCU "${UNINST_KEY}"

  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "Also remove your ${PRODUCT} settings (your locations and choices)?$\r$\n$\r$\nKeep them if you may install ${PRODUCT} again." \
    /SD IDNO IDNO keep
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  keep:
  DeleteRegKey /ifempty HKCU "${SETUP_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Brennick\Quorvel"
  DeleteRegKey /ifempty HKCU "Software\Brennick"
SectionEnd
