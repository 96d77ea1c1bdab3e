// Small services that reach the host: its colour picker, the document title, the size of the
// filter rectangle, advancing its state (the requests for buffers), and views of the current input
// strip and selection mask as image records. Each is a thin adapter between a host procedure of the
// filter record and a plain value.
#pragma once

#include <cstdint>

#include "engine/ip_image.h"
#include "host/call_state.h"
#include "hostsdk/filter_record.h"
#include "platform/alert.h"
#include "platform/status.h"

struct UiState;

// Offers rgb (0..1 each) to the host's picker and replaces it with the colour chosen, converted
// to RGB when the host answers in another space. -9 without colour services, -10 when the user
// cancels the picker, -2 when the host reports an error (rgb unchanged either way), -1 for null
// arguments.
int32_t HostCSPickColor(FilterRecord* record, UiState* state, float rgb[3]);
// The document's title, cut to size - 1 characters. -1, -9 (host lacks the procedures), -2 (the
// host refuses the property) or -3 (no title handle).
int32_t GetDocumentTitle(FilterRecord* record, char* buffer, int32_t size);
int32_t GetFilterSize(const FilterRecord* record, int32_t* width, int32_t* height);
// Views of the host's buffers; the images do not own their pixels. The input holds every plane
// interleaved: its pixel step is the number of planes (3 or 4 channels are described).
int32_t DescribeHostInput(const FilterRecord* record, IPImage* image);
int32_t DescribeHostMask(const FilterRecord* record, IPImage* image);

// advanceState. A refusal becomes the host result and -2, described as "advancing state"; a
// cancel becomes -10, with nothing to show.
int32_t AdvanceHostState(const PluginCall* call, Ui_Failure* failure);
// Empties the input and mask rectangles and tells the host (advanceState), which then gives back
// the buffers it lent for them.
int32_t ResetHostRects(const PluginCall* call, Ui_Failure* failure);
