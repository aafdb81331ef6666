; CNC programs open in Tornavel: one ProgID says how, and every ending offers
; it under "Open with". An ending becomes Tornavel's by default only where no
; other program has it; Windows leaves the final choice to the user anyway.
Push $0
SetRegView 64
WriteRegStr HKLM "Software\Classes\Tornavel.CncProgram" "" "CNC-Programm"
WriteRegStr HKLM "Software\Classes\Tornavel.CncProgram\DefaultIcon" "" "$INSTDIR\tornavel.exe,0"
WriteRegStr HKLM "Software\Classes\Tornavel.CncProgram\shell\open\command" "" '"$INSTDIR\tornavel.exe" "%1"'
!macro TornavelAssociate ending
    WriteRegStr HKLM "Software\Classes\${ending}\OpenWithProgids" "Tornavel.CncProgram" ""
    ReadRegStr $0 HKLM "Software\Classes\${ending}" ""
    StrCmp $0 "" 0 +2
    WriteRegStr HKLM "Software\Classes\${ending}" "" "Tornavel.CncProgram"
!macroend
!insertmacro TornavelAssociate ".nc"
!insertmacro TornavelAssociate ".ngc"
!insertmacro TornavelAssociate ".tap"
!insertmacro TornavelAssociate ".cnc"
!insertmacro TornavelAssociate ".gc"
!insertmacro TornavelAssociate ".mpf"
!insertmacro TornavelAssociate ".spf"
SetRegView lastused
Pop $0
; Explorer shows the new icons without a restart.
System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
