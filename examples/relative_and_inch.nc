(Relative dimensioning and inch units: the read-outs show the
(numbers as written; G91 and G71 change only the mode lines)
N10 G90 G0 X0 Y0 Z0
N20 G91 X10 Y5
N30 X10 Y5
N40 G71 X1.5
N50 G70 G90 X0 Y0
N60 G18 G1 Z-2 F50
N70 G19 Y3
N80 M30
