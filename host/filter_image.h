// Applying the transform to the host image: builds the run's Huegrid from the live edit
// parameters, turns it into a row applier (with the noise filter in front when noise removal is
// on), and streams the host image through it strip by strip, writing each finished row back
// blended with the selection mask.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct PluginData;
struct HgPixelBuffer;

// Size of the memory stream the transform is written into.
constexpr int32_t kFilterStreamBytes = 265000;

// 0, or the status that ended the run (the host result has been set from it).
int32_t FilterImage(PluginData* data);

// The host side of the stream, exposed for the preview path and tests.
int32_t BeginHostImage(PluginData* data);
int32_t GetHostRow(PluginData* data, int32_t y);
int32_t PutHostRow(PluginData* data, int32_t yOut);
int32_t WriteFilteredRow(const HgPixelBuffer* row, void* context);
int32_t ResetHostRects();
// advanceState; a refusal becomes the host result and is shown ("advancing state") unless it is
// a cancel (-10); otherwise -2.
int32_t AdvanceHostState();
void EndHostImage();
