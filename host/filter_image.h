// Applying the transform to the host image: builds the run's Huegrid from the live edit
// parameters, turns it into a row applier (with the noise filter in front when noise removal is
// on), and streams the host image through it strip by strip, writing each finished row back
// blended with the selection mask. The host is reached through the call's record
// (call_state.h): its filter record for the strips, its result cell for a refusal or a cancel.
#pragma once

#include <cstdint>

#include "host/row_bands.h"
#include "platform/alert.h"
#include "platform/status.h"

#include "host/call_state.h"

struct PluginData;
struct FilterState;

// What the row bands' sink (WriteFilteredRow) writes through: the call, for the host's
// record, and the run.
struct FilterSink {
    const PluginCall* call;
    PluginData* data;
};

// 0, or the status that ended the run: the host result has been set from it and failure says
// what its caller shows (nothing for a cancel). The applied settings are the caller's to record.
int32_t FilterImage(const PluginCall* call, PluginData* data, Ui_Failure* failure);

// Frees what a run holds (its transform, the row bands and their threads); safe on an empty or
// freed state.
void FreeFilterRun(FilterState* filter);

// The host side of the stream, exposed for the preview path and tests. A failing request fills
// failure as AdvanceHostState (host_services.h) does.
int32_t BeginHostImage(const PluginCall* call, PluginData* data, Ui_Failure* failure);
int32_t GetHostRow(const PluginCall* call, PluginData* data, int32_t y, Ui_Failure* failure);
// Writes columns x .. x + count - 1 of output row yOut (of the filter rectangle) into the host's
// output strip, from three planes of new values at the output pixel size, blended with the
// selection over the unedited input; planes past the colour ones are copied from the input.
// Called from the bands' threads: it writes only those columns and logs nothing. The host's
// input and output strips are separate buffers, as the protocol has them: a band reads input
// columns beyond its own (its margin) while the next band writes its output rows.
int32_t PutHostRow(const PluginCall* call, const PluginData* data, int32_t yOut, int32_t x,
                   int32_t count, const void* const planes[3]);
// The row bands' sink (row_bands.h): a band's finished row through PutHostRow; context is a
// FilterSink.
int32_t WriteFilteredRow(const BandRow* out, void* context);
void EndHostImage(const PluginCall* call);
