G1 Z5 F500 ; lift
X10
(open comment
Y3 (closed) 
