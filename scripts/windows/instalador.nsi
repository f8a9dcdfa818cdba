; Per-user installer of the report generator: no administrator needed. Installs
; into the user's programs folder, adds a Start-menu shortcut with the
; program's icon and an uninstaller listed in the user's "Apps".
; makensis -DVERSAO=… -DORIGEM=<staged folder> -DICONE=<ico> -DSAIDA=<exe> instalador.nsi
Unicode true
; A 64-bit installer for a 64-bit program (and one that Wine's 64-bit
; prefix runs without its 32-bit half).
Target amd64-unicode
!include "MUI2.nsh"

Name "Gerador de Relatórios ${VERSAO}"
OutFile "${SAIDA}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\RelatorioGerador"
InstallDirRegKey HKCU "Software\Quorbel\RelatorioGerador-instalacao" "Pasta"
SetCompressor /SOLID lzma
!define MUI_ICON "${ICONE}"
!define MUI_UNICON "${ICONE}"
!define DESINSTALAR "Software\Microsoft\Windows\CurrentVersion\Uninstall\RelatorioGerador"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"

Section "Programa"
    SetOutPath "$INSTDIR"
    File /r "${ORIGEM}\*.*"
    WriteUninstaller "$INSTDIR\Desinstalar.exe"
    CreateShortCut "$SMPROGRAMS\Gerador de Relatórios.lnk" "$INSTDIR\RelatorioGerador.exe" "" \
        "$INSTDIR\RelatorioGerador.exe" 0
    WriteRegStr HKCU "Software\Quorbel\RelatorioGerador-instalacao" "Pasta" "$INSTDIR"
    WriteRegStr HKCU "${DESINSTALAR}" "DisplayName" "Gerador de Relatórios"
    WriteRegStr HKCU "${DESINSTALAR}" "DisplayVersion" "${VERSAO}"
    WriteRegStr HKCU "${DESINSTALAR}" "DisplayIcon" "$INSTDIR\RelatorioGerador.exe"
    WriteRegStr HKCU "${DESINSTALAR}" "UninstallString" '"$INSTDIR\Desinstalar.exe"'
    WriteRegDWORD HKCU "${DESINSTALAR}" "NoModify" 1
    WriteRegDWORD HKCU "${DESINSTALAR}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\Gerador de Relatórios.lnk"
    RMDir /r "$INSTDIR"
    DeleteRegKey HKCU "${DESINSTALAR}"
    DeleteRegKey HKCU "Software\Quorbel\RelatorioGerador-instalacao"
SectionEnd
