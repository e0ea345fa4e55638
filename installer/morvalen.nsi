; Morvalen for Windows: the per-user installer and its uninstaller.
;
; installer/CMakeLists.txt defines TARGET (the NSIS stub), the program's
; identity (VERSION, PRODUCT, COMPANY, SITE_URL, COPYRIGHT, WINDOW_CLASS and
; WINDOW_TITLE by which the running copy is found, DEFAULT_LOGNAME, and
; LOGNAME_BYTES, how many bytes of its command-line tail the program
; keeps), the device names Windows reserves (PLAIN_DEVICES, NUMBERED_DEVICES
; and DEVICES_TEXT), the administrator's settings (SETTINGS_KEY under HKCU,
; COLLECT_VALUE, ENDATLOCK_VALUE, COPYEVERY_VALUE), PROGRAM (the built morvalen.exe), REPORT
; (the built morvalen-report.exe), ICON and OUTFILE.
;
; Silent use, e.g. from a log-on script run as each user:
;   morvalen-setup.exe /S [/LOGDIR=folder] [/LOGNAME=name] [/COLLECT=folder]
;                         [/ENDATLOCK=1|0] [/COPYEVERY=minutes] [/D=program folder]
;   uninstall.exe /S
; /D= must come last and without quotes, as NSIS wants it. /COLLECT=,
; /ENDATLOCK= and /COPYEVERY= are written under the settings key, where an
; update without them leaves them; /COLLECT= and /COPYEVERY= with nothing
; after them and /ENDATLOCK=0 take them away.

Target ${TARGET}
Unicode true
SetCompressor /SOLID lzma
; No file times in the installer: two builds of one commit give the same
; bytes, and the installed files carry the time they were installed.
SetDateSave off
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvalen"
; A Japanese character takes two of the bytes the program keeps.
!define /math LOGNAME_CHARS ${LOGNAME_BYTES} / 2
!define STARTUP_LINK "$SMSTARTUP\${PRODUCT}.lnk"
; The usage report on the installed log, in a Start-menu folder of its own.
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"
!define REPORT_LINK "${MENU_FOLDER}\使用時間の集計.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Morvalen"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

Var LogFolder
Var LogName
Var LogFolderChosen     ; 1: not simply the program folder
Var FolderBox
Var NameBox
Var PathLabel
Var CollectFolder
Var CollectGiven        ; 1: /COLLECT= was given, perhaps empty
Var EndAtLock           ; as given, "" when not
Var CopyEvery           ; as given, perhaps empty
Var CopyEveryGiven      ; 1: /COPYEVERY= was given

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "$(^NameDA) は、ログオンするたびにユーザー名と起動時刻をログファイルに書き込み、Windows の終了時に終了時刻と使用時間を書き足す常駐プログラムです。$\r$\n$\r$\nこのセットアップは、$(^NameDA) を現在のユーザーのためにインストールし、スタートアップに登録します。管理者の権限は必要ありません。$\r$\n$\r$\n$_CLICK"
!define MUI_WELCOMEPAGE_TITLE "$(^NameDA)$\r$\nセットアップへようこそ"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom LogPageShow LogPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "$(^NameDA)$\r$\nセットアップの完了"
!define MUI_FINISHPAGE_TEXT "$(^NameDA) をインストールし、記録を開始しました。次回からはログオンのたびに自動的に起動します。$\r$\n$\r$\nログファイル:$\r$\n$LogFolder\$LogName.txt$\r$\n$\r$\n[完了] をクリックして、セットアップを閉じてください。"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "$(^NameDA)$\r$\nアンインストールの完了"
!define MUI_FINISHPAGE_TEXT "$(^NameDA) をアンインストールしました。$\r$\n$\r$\nログファイルとその過去の記録は削除していません。次のフォルダに残っています:$\r$\n$LogFolder$\r$\n$\r$\nログファイル: $LogName.txt$\r$\n過去の記録: $LogName_年-月-日.txt$\r$\n$\r$\n[完了] をクリックして、ウィザードを閉じてください。"
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "${COPYRIGHT}"

; Shared by the installer and the uninstaller.
!macro STOP_INSTALLED_COPY un

; Told to stop by its own /uninstall switch, the running copy records the
; end of its session first; that launch waits up to 3 s for it to go.
Function ${un}StopInstalledCopy
  ${If} ${FileExists} "$INSTDIR\morvalen.exe"
    DetailPrint "実行中の ${PRODUCT} を終了しています..."
    ExecWait '"$INSTDIR\morvalen.exe" /uninstall'
  ${EndIf}
FunctionEnd

!macroend
!insertmacro STOP_INSTALLED_COPY ""
!insertmacro STOP_INSTALLED_COPY "un."

; $0 without blanks or tabs at either end.
Function Trim
  ${Do}
    StrCpy $1 $0 1
    ${If} $1 == " "
    ${OrIf} $1 == "$\t"
      StrCpy $0 $0 "" 1
    ${Else}
      ${ExitDo}
    ${EndIf}
  ${Loop}
  ${Do}
    StrCpy $1 $0 1 -1
    ${If} $1 == " "
    ${OrIf} $1 == "$\t"
      StrCpy $0 $0 -1
    ${Else}
      ${ExitDo}
    ${EndIf}
  ${Loop}
FunctionEnd

; A copy that was just stopped may hold its file a moment longer.
Function un.DeleteProgram
  StrCpy $2 0
  ${Do}
    ClearErrors
    Delete "$INSTDIR\morvalen.exe"
    ${IfNot} ${Errors}
      Return
    ${EndIf}
    IntOp $2 $2 + 1
    ${If} $2 >= 20
      SetErrors
      Return
    ${EndIf}
    Sleep 250
  ${Loop}
FunctionEnd


; $2 = 1 if $0 holds any character of $1.
Function HasAnyOf
  StrCpy $2 0
  StrLen $3 $0
  StrLen $4 $1
  StrCpy $5 0
  ${DoWhile} $5 < $3
    StrCpy $6 $0 1 $5
    StrCpy $7 0
    ${DoWhile} $7 < $4
      StrCpy $8 $1 1 $7
      ${If} $6 == $8
        StrCpy $2 1
        Return
      ${EndIf}
      IntOp $7 $7 + 1
    ${Loop}
    IntOp $5 $5 + 1
  ${Loop}
FunctionEnd

; $2 = 1 if $0 is one of the device names Windows keeps in every folder,
; in any case and with any extension: what stands before the first dot,
; without trailing blanks. A log by such a name is a device, not a file.
Function IsDeviceName
  StrCpy $2 0
  StrCpy $3 0
  StrLen $4 $0
  ${DoWhile} $3 < $4
    StrCpy $5 $0 1 $3
    ${IfThen} $5 == "." ${|} ${ExitDo} ${|}
    IntOp $3 $3 + 1
  ${Loop}
  StrCpy $5 $0 $3
  ${Do}
    StrCpy $6 $5 1 -1
    ${IfThen} $6 != " " ${|} ${ExitDo} ${|}
    StrCpy $5 $5 -1
  ${Loop}
  StrCpy $6 $5 3
  StrCpy $7 $5 "" 3
  StrLen $8 $7
  ${If} $8 == 0
    StrCpy $1 "${PLAIN_DEVICES}"
  ${ElseIf} $8 == 1
  ${AndIf} $7 >= 1
  ${AndIf} $7 <= 9
    StrCpy $1 "${NUMBERED_DEVICES}"
  ${Else}
    Return
  ${EndIf}
  ; $1 lists names of three letters, a blank after each; == ignores case.
  StrLen $4 $1
  StrCpy $3 0
  ${DoWhile} $3 < $4
    StrCpy $5 $1 3 $3
    ${IfThen} $5 == $6 ${|} StrCpy $2 1 ${|}
    IntOp $3 $3 + 4
  ${Loop}
FunctionEnd

; Normalises $LogName and, if chosen, $LogFolder; $9 = what is wrong, or "".
; The name must survive the program's ANSI command line unchanged: no
; character the code page lacks, and no more bytes than it keeps.
Function CheckLogSettings
  StrCpy $9 ""
  StrCpy $0 $LogName
  Call Trim
  ${If} $0 == ""
    StrCpy $0 "${DEFAULT_LOGNAME}"
  ${EndIf}
  StrCpy $LogName $0
  StrCpy $1 `\/:*?"<>|`
  Call HasAnyOf
  ${If} $2 == 1
    StrCpy $9 `ログファイルの名前に次の文字は使えません:  \ / : * ? " < > |`
    Return
  ${EndIf}
  Call IsDeviceName
  ${If} $2 == 1
    StrCpy $9 "「$0」は Windows が装置に使う名前 (${DEVICES_TEXT}) なので、ログファイルの名前には使えません。"
    Return
  ${EndIf}
  StrCpy $3 0
  ; WC_NO_BEST_FIT_CHARS: a look-alike substitute would name another file.
  System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, w r0, i -1, p 0, i 0, p 0, *i r3r3) i .r4'
  ${If} $3 != 0
    StrCpy $9 "ログファイルの名前に、この Windows の文字コードで表せない文字が含まれています。"
    Return
  ${EndIf}
  IntOp $4 $4 - 1
  ${If} $4 > ${LOGNAME_BYTES}
    StrCpy $9 "ログファイルの名前が長すぎます。半角 ${LOGNAME_BYTES} 文字 (全角 ${LOGNAME_CHARS} 文字) 以内にしてください。"
    Return
  ${EndIf}

  ${If} $LogFolderChosen != 1
    Return
  ${EndIf}
  StrCpy $0 $LogFolder
  Call Trim
  ExpandEnvStrings $0 $0
  StrCpy $1 $0 2 1
  StrCpy $2 $0 2
  ${If} $1 != ":\"
  ${AndIf} $2 != "\\"
    StrCpy $9 "ログファイルのフォルダは、C:\… のようにドライブから、または \\サーバー\… の形で指定してください。"
    Return
  ${EndIf}
  Push $0
  StrCpy $0 $0 "" 2
  StrCpy $1 `:*?"<>|`
  Call HasAnyOf
  Pop $0
  ${If} $2 == 1
    StrCpy $9 "ログファイルのフォルダの名前に使えない文字が含まれています。"
    Return
  ${EndIf}
  ; Not NSIS's GetFullPathName: that one wants the folder to exist.
  System::Call 'kernel32::GetFullPathNameW(w r0, i ${NSIS_MAX_STRLEN}, w .r0, p 0) i .r1'
  ${If} $1 = 0
    StrCpy $9 "ログファイルのフォルダを正しく指定してください。"
    Return
  ${EndIf}
  StrCpy $1 $0 1 -1
  StrLen $2 $0
  ${If} $1 == "\"
  ${AndIf} $2 > 3
    StrCpy $0 $0 -1
  ${EndIf}
  StrCpy $LogFolder $0
FunctionEnd

; $9 = what is wrong with /COLLECT=, /ENDATLOCK= or /COPYEVERY=, or "".
; The minutes are 0 (no copy while a line is open) to 35791, the longest a
; timer waits, in digits only. The folder is
; a drive's, a server's, or starts with a variable (%OneDrive%\...) that
; the recorder expands at each start; the copy refuses any other.
Function CheckAdminSettings
  StrCpy $9 ""
  ${If} $EndAtLock != ""
  ${AndIf} $EndAtLock != "0"
  ${AndIf} $EndAtLock != "1"
    StrCpy $9 "/ENDATLOCK= には 1 か 0 を指定してください。"
    Return
  ${EndIf}
  StrCpy $0 $CopyEvery
  Call Trim
  StrCpy $CopyEvery $0
  ${If} $0 != ""
    ; Digits only: the number read back is the text given.
    IntOp $1 $0 + 0
    ${If} "$1" != "$0"
    ${OrIf} $1 < 0
    ${OrIf} $1 > 35791
      StrCpy $9 "/COPYEVERY= には 0 から 35791 までの分数を指定してください。"
      Return
    ${EndIf}
    StrCpy $CopyEvery $0
  ${EndIf}
  StrCpy $0 $CollectFolder
  Call Trim
  StrCpy $CollectFolder $0
  ${If} $0 == ""
    Return
  ${EndIf}
  StrCpy $1 $0 2 1
  StrCpy $2 $0 2
  StrCpy $3 $0 1
  ${If} $1 != ":\"
  ${AndIf} $2 != "\\"
  ${AndIf} $3 != "%"
    StrCpy $9 "集めるフォルダは、C:\… のようにドライブから、\\サーバー\… の形、または %OneDrive%\… のように指定してください。"
    Return
  ${EndIf}
  StrCpy $1 `*?"<>|`
  Call HasAnyOf
  ${If} $2 == 1
    StrCpy $9 "集めるフォルダの名前に使えない文字が含まれています。"
  ${EndIf}
FunctionEnd

Function .onInit
  SetShellVarContext current
  ; An update keeps the log where the user had put it.
  ReadRegStr $LogFolder HKCU "${UNINST_KEY}" "LogFolder"
  ReadRegStr $LogName HKCU "${UNINST_KEY}" "LogName"
  ${If} $LogFolder != ""
    StrCpy $LogFolderChosen 1
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/LOGDIR=" $R1
  ${IfNot} ${Errors}
    StrCpy $LogFolder $R1
    StrCpy $LogFolderChosen 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/LOGNAME=" $R1
  ${IfNot} ${Errors}
    StrCpy $LogName $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/COLLECT=" $R1
  ${IfNot} ${Errors}
    StrCpy $CollectFolder $R1
    StrCpy $CollectGiven 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/ENDATLOCK=" $EndAtLock
  ClearErrors
  ${GetOptions} $R0 "/COPYEVERY=" $R1
  ${IfNot} ${Errors}
    StrCpy $CopyEvery $R1
    StrCpy $CopyEveryGiven 1
  ${EndIf}
  ; No page shows these: a bad one is said, or with /S only its exit code.
  Call CheckAdminSettings
  ${If} $9 != ""
    MessageBox MB_OK|MB_ICONSTOP "$9" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  ; A silent install with a bad option changes nothing; the log page
  ; checks what the user sees.
  ${If} ${Silent}
    Call CheckLogSettings
    ${If} $9 != ""
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

Function LogPageShow
  ${If} $LogFolderChosen != 1
    StrCpy $LogFolder $INSTDIR
  ${EndIf}
  ${If} $LogName == ""
    StrCpy $LogName "${DEFAULT_LOGNAME}"
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "ログファイルの場所" "使用の記録を書き込むフォルダとファイルの名前を選んでください。"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 30u "$(^NameDA) は、このフォルダのログファイルに記録します。過去の記録もこのフォルダに保存されます。変更しないときは、そのまま [インストール] をクリックしてください。"
  Pop $0
  ${NSD_CreateLabel} 0 36u 100% 10u "ログファイルのフォルダ(&F):"
  Pop $0
  ${NSD_CreateDirRequest} 0 48u 230u 13u "$LogFolder"
  Pop $FolderBox
  ${NSD_OnChange} $FolderBox ShowLogPath
  ${NSD_CreateBrowseButton} 236u 47u 60u 15u "参照(&R)..."
  Pop $0
  ${NSD_OnClick} $0 BrowseLogFolder
  ${NSD_CreateLabel} 0 70u 100% 10u "ログファイルの名前(&N) (半角 ${LOGNAME_BYTES} 文字、全角 ${LOGNAME_CHARS} 文字まで):"
  Pop $0
  ${NSD_CreateText} 0 82u 120u 13u "$LogName"
  Pop $NameBox
  SendMessage $NameBox ${EM_LIMITTEXT} ${LOGNAME_BYTES} 0
  ${NSD_OnChange} $NameBox ShowLogPath
  ${NSD_CreateLabel} 124u 84u 30u 10u ".txt"
  Pop $0
  ${NSD_CreateLabel} 0 106u 100% 30u ""
  Pop $PathLabel
  Call ShowLogPath
  nsDialogs::Show
FunctionEnd

Function ShowLogPath
  Pop $0    ; the control, when called as a handler
  ${NSD_GetText} $FolderBox $1
  ${NSD_GetText} $NameBox $2
  ${NSD_SetText} $PathLabel "記録するファイル:$\r$\n$1\$2.txt"
FunctionEnd

Function BrowseLogFolder
  Pop $0
  ${NSD_GetText} $FolderBox $1
  nsDialogs::SelectFolderDialog "ログファイルを置くフォルダを選んでください。" "$1"
  Pop $1
  ${If} $1 != "error"
    ${NSD_SetText} $FolderBox $1
  ${EndIf}
FunctionEnd

Function LogPageLeave
  ${NSD_GetText} $FolderBox $LogFolder
  ${NSD_GetText} $NameBox $LogName
  StrCpy $LogFolderChosen 1
  Call CheckLogSettings
  ${If} $9 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$9"
    Abort
  ${EndIf}
  ; Left as shown, the log follows the program folder if the user goes
  ; back and changes that.
  ${If} $LogFolder == $INSTDIR
    StrCpy $LogFolderChosen ""
  ${EndIf}
FunctionEnd

; A copy run from another folder would otherwise stay, and the recorder
; the installer starts would only open that copy's command dialog. (A
; function, so the second copy of the program is not counted as installed.)
Function StopOtherCopy
  FindWindow $0 "${WINDOW_CLASS}" "${WINDOW_TITLE}"
  ${If} $0 <> 0
    InitPluginsDir
    SetOutPath $PLUGINSDIR
    File "/oname=morvalen.exe" "${PROGRAM}"
    ExecWait '"$PLUGINSDIR\morvalen.exe" /uninstall'
  ${EndIf}
FunctionEnd

Section
  Call StopInstalledCopy
  Call StopOtherCopy

  SetOutPath $INSTDIR
  SetOverwrite try
  StrCpy $R1 0
  ${Do}
    ClearErrors
    File "${PROGRAM}"
    ${IfNot} ${Errors}
      ${ExitDo}
    ${EndIf}
    IntOp $R1 $R1 + 1
    ${If} $R1 >= 20
      MessageBox MB_RETRYCANCEL|MB_ICONSTOP "$INSTDIR\morvalen.exe を書き込めません。実行中の ${PRODUCT} を終了してから [再試行] をクリックしてください。" /SD IDCANCEL IDRETRY copy_again
      SetErrorLevel 2
      Abort
      copy_again:
      StrCpy $R1 0
    ${EndIf}
    Sleep 250
  ${Loop}
  SetOverwrite on
  File "${REPORT}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${If} $LogFolderChosen != 1
  ${OrIf} $LogFolder == ""
    StrCpy $LogFolder $INSTDIR
  ${EndIf}
  ${If} $LogName == ""
    StrCpy $LogName "${DEFAULT_LOGNAME}"
  ${EndIf}
  CreateDirectory $LogFolder
  ${IfNot} ${FileExists} "$LogFolder\*.*"
    MessageBox MB_OK|MB_ICONSTOP "ログファイルのフォルダ $LogFolder を作成できません。" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  ; The default name needs no argument: the program falls back to it.
  StrCpy $R0 $LogName
  ${If} $LogName == "${DEFAULT_LOGNAME}"
    StrCpy $R0 ""
  ${EndIf}
  ; The log folder is the working folder of the shortcut and of the
  ; recorder started below: a bare log name lives there.
  SetOutPath $LogFolder
  CreateShortCut "${STARTUP_LINK}" "$INSTDIR\morvalen.exe" "$R0" "$INSTDIR\morvalen.exe" 0 SW_SHOWNORMAL "" "ログオンからの使用時間を記録します"
  ; Given the log by name, the report takes its archives along.
  CreateDirectory "${MENU_FOLDER}"
  CreateShortCut "${REPORT_LINK}" "$INSTDIR\morvalen-report.exe" '"$LogFolder\$LogName.txt"' "$INSTDIR\morvalen-report.exe" 0 SW_SHOWNORMAL "" "日ごとの最初の起動、最後の終了と使用時間をまとめます"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKCU "${UNINST_KEY}" "URLInfoAbout" "${SITE_URL}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\morvalen.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegStr HKCU "${UNINST_KEY}" "LogFolder" "$LogFolder"
  WriteRegStr HKCU "${UNINST_KEY}" "LogName" "$LogName"
  ; Read by the recorder at each start, the one started below included.
  ${If} $CollectGiven == 1
  ${AndIf} $CollectFolder == ""
    DeleteRegValue HKCU "${SETTINGS_KEY}" "${COLLECT_VALUE}"
  ${ElseIf} $CollectGiven == 1
    StrCpy $0 $CollectFolder
    StrCpy $1 "%"
    Call HasAnyOf
    ${If} $2 == 1
      WriteRegExpandStr HKCU "${SETTINGS_KEY}" "${COLLECT_VALUE}" $CollectFolder
    ${Else}
      WriteRegStr HKCU "${SETTINGS_KEY}" "${COLLECT_VALUE}" $CollectFolder
    ${EndIf}
  ${EndIf}
  ${If} $EndAtLock == "1"
    WriteRegDWORD HKCU "${SETTINGS_KEY}" "${ENDATLOCK_VALUE}" 1
  ${ElseIf} $EndAtLock == "0"
    DeleteRegValue HKCU "${SETTINGS_KEY}" "${ENDATLOCK_VALUE}"
  ${EndIf}
  ${If} $CopyEveryGiven == 1
  ${AndIf} $CopyEvery == ""
    DeleteRegValue HKCU "${SETTINGS_KEY}" "${COPYEVERY_VALUE}"
  ${ElseIf} $CopyEveryGiven == 1
    WriteRegDWORD HKCU "${SETTINGS_KEY}" "${COPYEVERY_VALUE}" $CopyEvery
  ${EndIf}

  ; This session is recorded from now on, not only from the next log-on.
  DetailPrint "${PRODUCT} を起動しています..."
  ; Run by a log-on script, the setup races the Startup folder, whose
  ; shortcut may have started the recorder since the copy was stopped:
  ; started again, it would only open that one's command dialog.
  FindWindow $0 "${WINDOW_CLASS}" "${WINDOW_TITLE}"
  ${If} $0 = 0
    Exec '"$INSTDIR\morvalen.exe" $R0'
  ${EndIf}
  StrCpy $R1 0
  ${Do}
    FindWindow $0 "${WINDOW_CLASS}" "${WINDOW_TITLE}"
    ${If} $0 <> 0
    ${OrIf} $R1 >= 50
      ${ExitDo}
    ${EndIf}
    IntOp $R1 $R1 + 1
    Sleep 100
  ${Loop}
SectionEnd

Function un.onInit
  SetShellVarContext current
  ReadRegStr $LogFolder HKCU "${UNINST_KEY}" "LogFolder"
  ReadRegStr $LogName HKCU "${UNINST_KEY}" "LogName"
  ${If} $LogFolder == ""
    StrCpy $LogFolder $INSTDIR
  ${EndIf}
  ${If} $LogName == ""
    StrCpy $LogName "${DEFAULT_LOGNAME}"
  ${EndIf}
FunctionEnd

; Only what the installer made goes: the log and its archives stay, and
; so does the program folder if they are kept there.
Section Uninstall
  Call un.StopInstalledCopy
  Call un.DeleteProgram
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION "$INSTDIR\morvalen.exe を削除できませんでした。後で手動で削除してください。" /SD IDOK
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  Delete "${STARTUP_LINK}"
  Delete "$INSTDIR\morvalen-report.exe"
  Delete "${REPORT_LINK}"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKCU "${UNINST_KEY}"
  ; The installer's settings; a policy's are the administrator's to remove.
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${COMPANY}"
  RMDir "$INSTDIR"
  DetailPrint "ログファイルは削除していません: $LogFolder\$LogName.txt"
SectionEnd
