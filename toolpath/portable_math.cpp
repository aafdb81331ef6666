#include "portable_math.h"

// Declared here rather than through <quadmath.h>, whose complex types clang
// does not know (the fuzz targets build with clang).
extern "C" {
__float128 sinq(__float128);
__float128 cosq(__float128);
__float128 atan2q(__float128, __float128);
__float128 hypotq(__float128, __float128);
}

double PortableSin(double angle) { return static_cast<double>(sinq(angle)); }

double PortableCos(double angle) { return static_cast<double>(cosq(angle)); }

double PortableAtan2(double y, double x) { return static_cast<double>(atan2q(y, x)); }

double PortableHypot(double x, double y) { return static_cast<double>(hypotq(x, y)); }
