// The few functions whose results the path prints: the same bits on every
// system. The C libraries round sine, cosine, arc tangent and hypotenuse
// differently in the last bit (glibc against MinGW's), so the path of an arc
// would print other digits on Windows than on Linux. These compute in
// 113-bit precision (GCC's libquadmath, the same software arithmetic on both)
// and round once to double.
#pragma once

double PortableSin(double angle);
double PortableCos(double angle);
double PortableAtan2(double y, double x);
double PortableHypot(double x, double y);
