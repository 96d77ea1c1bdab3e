// Clamps and the smaller or larger of two values, for every layer of the module.
//
// One set, so that every clamp in the code treats a value that is not a number the same way: a
// NaN never passes through a clamp (it takes the lower bound), and the smaller or larger of two
// values ignores a NaN operand (it yields the other one, as fmin and fmax do). std::clamp,
// std::min and std::max hand a NaN on or drop the number depending on the order of their
// arguments, which is how a NaN read from a damaged file used to reach a pixel loop.
//
// The bounds take the type of the value, so that Num_Clamp(int64Value, 0, n) needs no casts; the
// caller still states what the result is converted to. For integers these are the plain
// comparisons, so hot loops lose nothing.
#pragma once

#include <type_traits>

// v within lo..hi, lo for NaN. Should lo exceed hi (a view wider than its picture), values below
// lo give lo and all others hi.
template <typename T>
constexpr T Num_Clamp(T v, std::type_identity_t<T> lo, std::type_identity_t<T> hi) {
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}

// v within lo..hi, with ifNaN for a NaN: for values where the middle of the range, not its lower
// end, is the harmless choice.
template <typename T>
constexpr T Num_ClampOr(T v, std::type_identity_t<T> lo, std::type_identity_t<T> hi,
                        std::type_identity_t<T> ifNaN) {
    if (v != v) return ifNaN;
    return Num_Clamp(v, lo, hi);
}

// v within 0..1, 0 for NaN: colour components, fractions and slider positions. Written as
// "above 0, below 1" so that for floating types the compiler can use the processor's maximum and
// minimum instructions, which treat a NaN the same way; the colour chain calls it per channel.
template <typename T>
constexpr T Num_Clamp01(T v) {
    if (!(v > T(0))) return T(0);
    return v < T(1) ? v : T(1);
}

// The smaller and the larger of a and b; a NaN operand yields the other one.
template <typename T>
constexpr T Num_Min(T a, std::type_identity_t<T> b) {
    if (a != a) return b;
    return b < a ? b : a;
}
template <typename T>
constexpr T Num_Max(T a, std::type_identity_t<T> b) {
    if (a != a) return b;
    return b > a ? b : a;
}
// The smallest and the largest of three.
template <typename T>
constexpr T Num_Min3(T a, std::type_identity_t<T> b, std::type_identity_t<T> c) {
    return Num_Min(Num_Min(a, b), c);
}
template <typename T>
constexpr T Num_Max3(T a, std::type_identity_t<T> b, std::type_identity_t<T> c) {
    return Num_Max(Num_Max(a, b), c);
}
