// The engine's maths functions with every fused multiply-add done in
// software (SoftwareFma): for processors without the instruction. Same bits
// as the fused variant, much slower. Internal to the engine.
#pragma once

float ExpfPortable(float x);
float LogfPortable(float x);
float PowfPortable(float x, float y);
double ExpPortable(double x);
double LogPortable(double x);
double PowPortable(double x, double y);
