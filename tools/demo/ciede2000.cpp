// CIEDE2000; see ciede2000.h. The variable names follow the published equations.
#include "tools/demo/ciede2000.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kPow25To7 = 6103515625.0;  // 25^7

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

// The hue angle h' in degrees, 0 <= h' < 360; 0 for a neutral (a' = b = 0).
double HueDegrees(double a, double b) {
    if (a == 0 && b == 0) return 0;
    double h = std::atan2(b, a) * 180.0 / kPi;
    return h < 0 ? h + 360 : h;
}

}  // namespace

double Ciede2000(const Lab& c1, const Lab& c2) {
    // a* is stretched so that near-neutral colours get their hue differences right.
    double cBar = (std::hypot(c1.a, c1.b) + std::hypot(c2.a, c2.b)) / 2;
    double cBar7 = std::pow(cBar, 7);
    double g = 0.5 * (1 - std::sqrt(cBar7 / (cBar7 + kPow25To7)));
    double a1 = (1 + g) * c1.a;
    double a2 = (1 + g) * c2.a;
    double cp1 = std::hypot(a1, c1.b);
    double cp2 = std::hypot(a2, c2.b);
    double hp1 = HueDegrees(a1, c1.b);
    double hp2 = HueDegrees(a2, c2.b);

    double dL = c2.L - c1.L;
    double dC = cp2 - cp1;
    double dh = 0;
    if (cp1 * cp2 != 0) {
        dh = hp2 - hp1;
        if (dh > 180) {
            dh -= 360;
        } else if (dh < -180) {
            dh += 360;
        }
    }
    double dH = 2 * std::sqrt(cp1 * cp2) * std::sin(Radians(dh / 2));

    double lBar = (c1.L + c2.L) / 2;
    double cpBar = (cp1 + cp2) / 2;
    double hBar = hp1 + hp2;
    if (cp1 * cp2 != 0) {
        if (std::fabs(hp1 - hp2) <= 180) {
            hBar /= 2;
        } else if (hBar < 360) {
            hBar = (hBar + 360) / 2;
        } else {
            hBar = (hBar - 360) / 2;
        }
    }
    double t = 1 - 0.17 * std::cos(Radians(hBar - 30)) + 0.24 * std::cos(Radians(2 * hBar)) +
               0.32 * std::cos(Radians(3 * hBar + 6)) - 0.20 * std::cos(Radians(4 * hBar - 63));
    double dTheta = 30 * std::exp(-std::pow((hBar - 275) / 25, 2));
    double cpBar7 = std::pow(cpBar, 7);
    double rC = 2 * std::sqrt(cpBar7 / (cpBar7 + kPow25To7));
    double l50 = (lBar - 50) * (lBar - 50);
    double sL = 1 + 0.015 * l50 / std::sqrt(20 + l50);
    double sC = 1 + 0.045 * cpBar;
    double sH = 1 + 0.015 * cpBar * t;
    double rT = -std::sin(Radians(2 * dTheta)) * rC;

    double l = dL / sL, c = dC / sC, h = dH / sH;
    return std::sqrt(l * l + c * c + h * h + rT * c * h);
}
