; The Windows installer. Built by scripts/package, which passes:
;   VERSION  the release (MAJOR.MINOR.PATCH)    TARGET  x86-unicode or amd64-unicode
;   STAGE    the folder to install (the dist folder, plus licenses/)
;   FILES    the file lists made from STAGE (files.nsh)
;   ART      the folder with welcome.bmp and header.bmp   ICON  the product icon
;   OUTFILE  the installer to write
;
; Per user, no administrator rights: the player writes config.txt, favs.txt and Stations
; beside its exe, so it lives in a folder the user can write.

Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS all

!define PRODUCT "Тиволна"
!define EXE "tivolna.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tivolna"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Tivolna"
; Stamps (file times) of the shipped station files as installed, to tell the ones the user
; edited since from the ones to replace on an update.
!define SHIPPED "shipped.ini"

Name "${PRODUCT}"
Caption "Установка Тиволны ${VERSION}"
UninstallCaption "Удаление Тиволны"
BrandingText "Тиволна ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tivolna"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${ART}/welcome.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${ART}/welcome.bmp"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "${ART}/header.bmp"
!define MUI_HEADERIMAGE_UNBITMAP "${ART}/header.bmp"
!define MUI_ABORTWARNING
!define MUI_ABORTWARNING_TEXT "Прервать установку Тиволны?"
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TITLE "Установка Тиволны ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Тиволна — проигрыватель интернет-радио.$\r$\n$\r$\nОна будет установлена в вашу папку пользователя; права администратора не нужны.$\r$\n$\r$\nЕсли Тиволна уже установлена, она будет обновлена: ваши настройки, избранное и изменённые вами радиостанции сохранятся.$\r$\n$\r$\nНажмите «Далее», чтобы продолжить."
!insertmacro MUI_PAGE_WELCOME

!define MUI_PAGE_HEADER_TEXT "Ярлыки"
!define MUI_PAGE_HEADER_SUBTEXT "Выберите, где будут ярлыки Тиволны."
!define MUI_COMPONENTSPAGE_TEXT_TOP "Ярлык в меню «Пуск» создаётся всегда. Отметьте, нужен ли ярлык на рабочем столе."
!define MUI_COMPONENTSPAGE_TEXT_COMPLIST "Установить:"
!insertmacro MUI_PAGE_COMPONENTS

!define MUI_PAGE_HEADER_SUBTEXT "Выберите папку для установки Тиволны."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Тиволна хранит настройки, избранное и радиостанции рядом с собой, поэтому папка должна быть доступна вам для записи. $_CLICK"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Папка установки"
!insertmacro MUI_PAGE_DIRECTORY

!define MUI_PAGE_HEADER_SUBTEXT "Подождите, идёт копирование файлов Тиволны."
!insertmacro MUI_PAGE_INSTFILES

!define MUI_FINISHPAGE_TITLE "Тиволна установлена"
!define MUI_FINISHPAGE_TEXT "Тиволна ${VERSION} готова к работе. Её можно запустить из меню «Пуск».$\r$\n$\r$\nНажмите «Готово», чтобы закрыть мастер."
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить Тиволну"
!insertmacro MUI_PAGE_FINISH

!define MUI_PAGE_HEADER_TEXT "Удаление Тиволны"
!define MUI_PAGE_HEADER_SUBTEXT "Тиволна будет удалена с компьютера."
!define MUI_UNCONFIRMPAGE_TEXT_TOP "Тиволна будет удалена из этой папки. Ваши настройки, избранное и радиостанции удаляются, только если вы это подтвердите. $_CLICK"
!define MUI_UNCONFIRMPAGE_TEXT_LOCATION "Папка Тиволны:"
!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_PAGE_HEADER_SUBTEXT "Подождите, идёт удаление файлов Тиволны."
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка Тиволны"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "${PRODUCT}"

; A running player keeps its exe open and rewrites its files when it ends.
!macro CHECK_RUNNING UN
Function ${UN}CheckRunning
  retry:
  FindWindow $0 "TkForm" "${PRODUCT}"
  ${If} $0 <> 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Тиволна запущена. Закройте её и нажмите «Повтор»." /SD IDCANCEL IDRETRY retry
    Abort
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CHECK_RUNNING ""
!insertmacro CHECK_RUNNING "un."

!include "${FILES}"

; A shipped station file: written when the folder has no such file, or when the file there is
; the one an earlier installation wrote (its stamp unchanged); a file the user edited, or
; made, stays.
!macro STATION_FILE NAME
  StrCpy $R0 "${NAME}"
  Call StationWanted
  ${If} $R1 == 1
    File "/oname=${NAME}" "${STAGE}/Stations/${NAME}"
    Call StationRecord
  ${EndIf}
!macroend

; A shipped station file the user never changed (its stamp as installed) goes with the program.
!macro UN_STATION_FILE NAME
  StrCpy $R0 "${NAME}"
  Call un.StationUnchanged
  ${If} $R1 == 1
    Delete "$INSTDIR\Stations\${NAME}"
  ${EndIf}
!macroend

!ifdef HAVE_STATIONS
Function un.StationUnchanged
  StrCpy $R1 0
  ${If} ${FileExists} "$INSTDIR\Stations\$R0"
    ClearErrors
    ReadINIStr $R2 "$INSTDIR\${SHIPPED}" "Stations" "$R0"
    GetFileTime "$INSTDIR\Stations\$R0" $R3 $R4
    ${If} ${Errors}
    ${ElseIf} $R2 == "$R3.$R4"
      StrCpy $R1 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Function StationWanted
  StrCpy $R1 1
  ${If} ${FileExists} "$INSTDIR\Stations\$R0"
    ClearErrors
    ReadINIStr $R2 "$INSTDIR\${SHIPPED}" "Stations" "$R0"
    GetFileTime "$INSTDIR\Stations\$R0" $R3 $R4
    ${If} ${Errors}
    ${OrIf} $R2 != "$R3.$R4"
      StrCpy $R1 0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function StationRecord
  GetFileTime "$INSTDIR\Stations\$R0" $R3 $R4
  WriteINIStr "$INSTDIR\${SHIPPED}" "Stations" "$R0" "$R3.$R4"
FunctionEnd
!endif

Section "Тиволна" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  !insertmacro PROGRAM_FILES
  ; the default settings only where the user has none yet
  SetOverwrite off
  File "${STAGE}/config.txt"
  SetOverwrite on
  CreateDirectory "$INSTDIR\Stations"
  SetOutPath "$INSTDIR\Stations"
  !insertmacro STATION_FILES
  SetOutPath "$INSTDIR"
  FlushINI "$INSTDIR\${SHIPPED}"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 \
    SW_SHOWNORMAL "" "Проигрыватель интернет-радио"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Ярлык на рабочем столе" SecDesktop
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 \
    SW_SHOWNORMAL "" "Проигрыватель интернет-радио"
SectionEnd

Function .onInit
  ; /DESKTOP: the desktop shortcut in silent mode too
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DESKTOP" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecDesktop} ${SF_SELECTED}
  ${EndIf}
  Call CheckRunning
FunctionEnd

Function un.onInit
  Call un.CheckRunning
FunctionEnd

Section "Uninstall"
  !insertmacro REMOVE_PROGRAM_FILES
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINST_KEY}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"

  ; The user's own data goes only when asked for; a silent uninstall keeps it.
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Удалить также ваши настройки, избранное и каталог радиостанций (config.txt, favs.txt, Stations)?$\r$\n$\r$\nЕсли вы собираетесь установить Тиволну снова, нажмите «Нет»." /SD IDNO IDNO keep
    Delete "$INSTDIR\config.txt"
    Delete "$INSTDIR\favs.txt"
    Delete "$INSTDIR\${SHIPPED}"
    RMDir /r "$INSTDIR\Stations"
  keep:
  ; What stays is the user's: the station files they edited or added, settings, favourites.
  !insertmacro REMOVE_SHIPPED_STATIONS
  Delete "$INSTDIR\${SHIPPED}"
  RMDir "$INSTDIR\Stations"
  RMDir "$INSTDIR"
SectionEnd
