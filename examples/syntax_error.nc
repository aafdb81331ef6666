%
(This program has a mistake on line 5: an X with no value)
N10 G90 G0 X0 Y0 Z5
N20 G1 Z-1 F100
N30 X
N40 Y20
N50 M30
