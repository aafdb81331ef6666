%
(Rechtecktasche 40 x 20 mm, 3 mm tief; Nullpunkt: linke untere Ecke der Tasche, Oberkante)
(Schruppen in zwei Tiefen mit 0,5 mm Aufmaß an der Wand, dann Schlichten der Wand)
N10 G90 G54 G17 G21
N20 T1 (Schruppfräser 6 mm, schneidet über Mitte)
N30 M6
N40 S2400 M3
N50 G0 X3.5 Y3.5 Z2 (über die Startecke: 3 mm Radius + 0,5 mm Aufmaß von beiden Wänden)
N60 G1 Z-1.5 F100 (erste Tiefe: senkrecht eintauchen)
N70 X36.5 F300 (Zeilen hin und her, je 3 bis 3,5 mm versetzt)
N80 Y7
N90 X3.5
N100 Y10
N110 X36.5
N120 Y13
N130 X3.5
N140 Y16.5
N150 X36.5
N160 Y3.5 (rechte Wand entlang: die Reste zwischen den Zeilen)
N170 X3.5
N180 Y16.5 (linke Wand entlang)
N190 G0 Z2 (abheben und zurück zur Startecke)
N200 Y3.5
N210 G1 Z-3 F100 (zweite Tiefe: dasselbe Muster 1,5 mm tiefer)
N220 X36.5 F300
N230 Y7
N240 X3.5
N250 Y10
N260 X36.5
N270 Y13
N280 X3.5
N290 Y16.5
N300 X36.5
N310 Y3.5
N320 X3.5
N330 Y16.5
N340 G0 Z5
N350 T2 (Schlichtfräser 6 mm)
N360 M6
N370 S3000 M3
N380 G0 X20 Y10 (Mitte der Tasche)
N390 Z1
N400 G1 Z-3 F100
N410 Y3 F200 (an die untere Wand: jetzt ohne Aufmaß)
N420 X37 (gegen den Uhrzeigersinn um die Tasche: Gleichlauf)
N430 Y17
N440 X3
N450 Y3
N460 X20
N470 Y10 (von der Wand weg, erst dann abheben)
N480 G0 Z5
N490 M5
N500 M30
