%
(Nut und Bogen)
T1
G0 X5 Y5 Z2
G1 Z-2 F100
X25
T2
G0 Z2
X25 Y15
G1 Z-1
G0 Z5
M30
