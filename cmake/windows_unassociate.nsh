; Takes back what windows_associate.nsh wrote; an ending another program has
; taken over since stays with it.
Push $0
SetRegView 64
!macro TornavelUnassociate ending
    DeleteRegValue HKLM "Software\Classes\${ending}\OpenWithProgids" "Tornavel.CncProgram"
    DeleteRegKey /ifempty HKLM "Software\Classes\${ending}\OpenWithProgids"
    ReadRegStr $0 HKLM "Software\Classes\${ending}" ""
    StrCmp $0 "Tornavel.CncProgram" 0 +2
    DeleteRegValue HKLM "Software\Classes\${ending}" ""
    DeleteRegKey /ifempty HKLM "Software\Classes\${ending}"
!macroend
!insertmacro TornavelUnassociate ".nc"
!insertmacro TornavelUnassociate ".ngc"
!insertmacro TornavelUnassociate ".tap"
!insertmacro TornavelUnassociate ".cnc"
!insertmacro TornavelUnassociate ".gc"
!insertmacro TornavelUnassociate ".mpf"
!insertmacro TornavelUnassociate ".spf"
DeleteRegKey HKLM "Software\Classes\Tornavel.CncProgram"
SetRegView lastused
Pop $0
System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
