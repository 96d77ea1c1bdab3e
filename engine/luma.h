// Luma: the one brightness measure of the module.
//
// Y = 0.299 R + 0.587 G + 0.114 B, on whatever the channels hold (0..1 colours, or sums of
// samples, since it is linear). The balance bins, the luma hue space, the tone points, the
// cast wedge and the automatic correction all count and compare brightness in it, so they must
// agree to the last bit: a sample that falls in one balance bin when binned must fall in the same
// bin when the balance is fitted. The arithmetic is done in the type of the channels, so that
// float callers keep float results.
#pragma once

template <typename T>
constexpr T HgLuma(T r, T g, T b) {
    return T(0.299) * r + T(0.587) * g + T(0.114) * b;
}

template <typename T>
constexpr T HgLuma(const T rgb[3]) {
    return HgLuma(rgb[0], rgb[1], rgb[2]);
}
