%
(Lochbild: vier Bohrungen 6 mm, 5 mm tief, mit G81 und zwei tiefe Bohrungen 4 mm mit G83)
(Nullpunkt: linke untere Ecke der Platte, Oberkante)
(ROHTEIL X0 Y0 Z-20 X80 Y50 Z0)
(WERKZEUG T1 SCHAFTFRAESER D6)
(WERKZEUG T2 SCHAFTFRAESER D4)
N10 G90 G17 G21 G40 G80
N20 T1 M6 (Bohrer 6 mm; im Werkstück als flaches Werkzeug gezeichnet)
N30 S1500 M3
N40 G0 X10 Y10 Z10 (Ausgangsebene Z10)
N50 G99 G81 X10 Y10 Z-5 R2 F120 (erstes Loch; G99: danach nur zurück auf R2)
N60 X70 (jeder Satz mit X oder Y bohrt ein weiteres Loch)
N70 Y40
N80 G98 X10 (letztes Loch; G98: danach zurück auf die Ausgangsebene Z10)
N90 G80 (Zyklus aus)
N100 T2 M6 (Bohrer 4 mm)
N110 S2000 M3
N120 G0 X30 Y25 Z10
Q3 G98 G83 X30 Y25 Z-15 R2 F80 (Tieflochbohren in Zustellungen von 3 mm; Q steht am Zeilenanfang)
N140 X50 (zweite tiefe Bohrung mit denselben Z, R und Q)
N150 G80
N160 G0 Z50
N170 M5
N180 M30
%
