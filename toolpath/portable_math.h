// The few functions whose results the path and the workpiece depend on: the
// same bits on every system. The C libraries round sine, cosine, arc tangent
// and hypotenuse differently in the last bit (glibc against MinGW's, whose
// static versions even use x87 instructions), so an arc would print other
// digits on Windows than on Linux. These are built from IEEE additions,
// multiplications, divisions and square roots alone, which every x86-64
// system rounds the same way; intermediate sums and products are carried in
// two doubles, so the one rounding at the end is almost always the correct
// one and never more than one unit in the last place off.
#pragma once

double PortableSin(double angle);
double PortableCos(double angle);
double PortableAtan2(double y, double x);
double PortableHypot(double x, double y);
