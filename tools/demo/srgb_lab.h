// sRGB values to linear light and to CIELAB, for the demo's colour casts and the evaluation of
// the automatic correction.
//
// Every image these tools make or measure is taken to be sRGB (IEC 61966-2-1: the piecewise
// transfer curve, Rec. 709 primaries, D65 white); an embedded ICC profile is not looked at.
// CIELAB is relative to D65, the white of sRGB, so an sRGB grey (R = G = B) has a* = b* = 0 up to
// rounding of the matrix (well below 0.01). Double precision throughout: these are measuring
// tools, not pixel paths.
#pragma once

struct Lab {
    double L = 0;  // 0 (black) .. 100 (white)
    double a = 0;  // green (-) .. red (+)
    double b = 0;  // blue (-) .. yellow (+)
};

// One sRGB-encoded component (0..1) to linear light (0..1), and back. Values outside 0..1 are
// not clamped; callers clamp where the result must fit a file.
double SrgbToLinear(double encoded);
double LinearToSrgb(double linear);

// An sRGB colour, components encoded 0..1, to CIELAB (D65).
Lab SrgbToLab(double r, double g, double b);

// The CIELAB chroma C*ab = sqrt(a*^2 + b*^2): how far a colour is from neutral.
double ChromaAb(const Lab& lab);
