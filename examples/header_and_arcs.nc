Lehrgang CNC-Fräsen, Übung 2
Kreisbögen im Uhrzeigersinn und dagegen
Werkstück: Aluminium 60 x 60 x 10
%
N10 G90 G17 G21 G55
N20 T3 M6
N30 G0 X10 Y30 Z2
N40 G1 Z-1 F100
N50 G2 X30 Y50 I20 J0
N60 G3 X50 Y30 I0 J-20
N70 G2 X30 Y10 R20
N80 G3 X10 Y30 R20
N90 G0 Z10
N100 M30
