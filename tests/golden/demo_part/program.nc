Demo part
%
N10 G00 X0 Y0
G01 X10 F100 (cut)
N20 GOTO 10 ; loop
M30
