// Small operations between the drivers and the filter record: rectangles in
// 32-bit coordinates when the host offers them, the module's instance handle
// and two tables over the host's image modes.
#pragma once

#include "HostContract.h"

VRect GetFilterRectangle(const FilterRecord* record);
VRect GetInputRectangle(const FilterRecord* record);
void SetInputRectangle(FilterRecord* record, const VRect& rect);
void SetOutputRectangle(FilterRecord* record, const VRect& rect);
void SetMaskRectangle(FilterRecord* record, const VRect& rect);

// The module's instance handle (HINSTANCE on Windows), recorded when the host
// loads the module; null where there is none.
void* GetModuleInstance();
void SetModuleInstance(void* instance);

// Colour channels of an image mode; `fallback` for multichannel modes and
// modes the table does not know.
int ChannelCountOfMode(int mode, int fallback);

// The 8-bit display mode of a deep mode; other modes map to themselves.
int EightBitModeOf(int mode);
