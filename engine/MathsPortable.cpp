// The kernels compiled with the fused multiply-adds in software.
#define TM_SOFTWARE_FMA
#include "MathsPortable.h"

#include "MathsKernels.h"

using namespace maths_kernels;

float ExpfPortable(float x) { return ExpfKernel(x); }
float LogfPortable(float x) { return LogfKernel(x); }
float PowfPortable(float x, float y) { return PowfKernel(x, y); }
double ExpPortable(double x) { return ExpKernel(x); }
double LogPortable(double x) { return LogKernel(x); }
double PowPortable(double x, double y) { return PowKernel(x, y); }
