// Applying the transform to the host image: builds the run's Huegrid from the live edit
// parameters, turns it into a row applier (with the noise filter in front when noise removal is
// on), and streams the host image through it strip by strip, writing each finished row back
// blended with the selection mask.
#pragma once

#include <cstdint>

#include "host/row_pipeline.h"
#include "platform/alert.h"
#include "platform/status.h"

struct PluginData;

// 0, or the status that ended the run: the host result has been set from it and failure says
// what its caller shows (nothing for a cancel). The applied settings are the caller's to record.
int32_t FilterImage(PluginData* data, Ui_Failure* failure);

// The host side of the stream, exposed for the preview path and tests. A failing request fills
// failure as AdvanceHostState does.
int32_t BeginHostImage(PluginData* data, Ui_Failure* failure);
int32_t GetHostRow(PluginData* data, int32_t y, Ui_Failure* failure);
int32_t PutHostRow(PluginData* data, int32_t yOut);
int32_t WriteFilteredRow(const HgPixelBuffer* row, void* context);
int32_t ResetHostRects(Ui_Failure* failure);
// advanceState. A refusal becomes the host result and -2, described as "advancing state"; a
// cancel becomes -10, with nothing to show.
int32_t AdvanceHostState(Ui_Failure* failure);
void EndHostImage();
