N10 G0 X5
N20 (last) Y7