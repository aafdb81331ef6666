// The portable functions' stand-ins for the benchmark's second path build:
// the C library's own, renamed with the rest of that build (see
// bench/CMakeLists.txt), so that both builds run side by side in one binary.
#include <cmath>

#include "portable_math.h"

double PortableSin(double angle) { return std::sin(angle); }

double PortableCos(double angle) { return std::cos(angle); }

double PortableAtan2(double y, double x) { return std::atan2(y, x); }

double PortableHypot(double x, double y) { return std::hypot(x, y); }
