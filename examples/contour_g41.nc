%
(Außenkontur 60 x 40 mm mit einer Rundung R10, 5 mm tief, mit Radiuskorrektur G41)
(Programmiert ist die Kontur des Teils; die Steuerung versetzt den Fräser um seinen Radius)
(ROHTEIL X-5 Y-5 Z-10 X65 Y45 Z0)
(WERKZEUG T1 SCHAFTFRAESER D6)
N10 G90 G17 G21 G40 G80
N20 T1 M6 (Schaftfräser 6 mm: r = 3)
N30 S3000 M3
N40 G0 X-15 Y-15 Z5 (Startpunkt außerhalb des Teils)
N50 G1 Z-5 F100 (eintauchen, noch ohne Korrektur)
N60 G41 X0 Y0 F300 (Anfahren mit einer Geraden: G41, Fräser links der Kontur)
N70 Y40 (im Uhrzeigersinn um das Teil: links der Bahn liegt außen)
N80 X50 (Außenecke: die Steuerung fügt einen Bogen um die Ecke ein)
N90 G2 X60 Y30 I0 J-10 (Rundung R10: der Fräser fährt außen mit R13)
N100 G1 Y0
N110 X0
N120 G40 X-15 Y-15 (Wegfahren mit einer Geraden: G40, Korrektur aus)
N130 G0 Z5
N140 M5
N150 M30
%
