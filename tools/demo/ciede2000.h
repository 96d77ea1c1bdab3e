// The CIEDE2000 colour difference (CIE 142-2001), as written out step by step by Sharma, Wu and
// Dalal, "The CIEDE2000 color-difference formula: implementation notes, supplementary test data,
// and mathematical observations", Color Research and Application 30 (2005), with kL = kC = kH = 1.
//
// A difference of about 1 is the smallest a careful observer sees between two flat patches side
// by side; across whole photographs, differences below 2 are hard to see.
#pragma once

#include "tools/demo/srgb_lab.h"

double Ciede2000(const Lab& first, const Lab& second);
