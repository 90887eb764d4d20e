// a x b + c rounded once to the nearest double (ties to even), without the
// processor's fused multiply-add instruction: for the maths functions'
// portable path, whose bits must equal those of the fused path. The C
// libraries' fma() cannot stand in: mingw-w64's is not correctly rounded.
// Internal to the engine.
#pragma once

double SoftwareFma(double a, double b, double c);
