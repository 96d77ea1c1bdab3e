// The peer of the automatic correction in the evaluation (keenhue_eval.cpp): the simplest
// automatic colour fix there is, a per-channel levels stretch. Each of R, G, B is stretched on its
// own, in encoded values, so that its 0.2% percentile becomes 0 and its 99.8% percentile full
// scale; values beyond are clipped.
//
// It removes a cast exactly only where the cast is a per-channel scaling of encoded values that
// reaches into both ends of every channel; a cast made in linear light bends the tone curve of
// each channel differently, which a straight stretch leaves as a residual cast in the mid-tones.
// That residual is the figure to beat.
#pragma once

#include "tools/filterhost/image_file.h"

// The stretched copy of an RGB or RGBA image (alpha is copied); grey images come back unchanged.
Image LevelsStretch(const Image& image, double lowFraction = 0.002, double highFraction = 0.998);
