Header line
%
G0 X5 Y5 Z1
G1 Z-2 F100
G1 X25 Y15
G1 X?
G1 X40
