// Process-wide state of the current PluginMain call, set afresh on every call.
#pragma once

#include <cstdint>

#include "HostContract.h"
#include "Settings.h"

struct PluginState {
    FilterRecord* filterRecord;  // null during the about selector
    AboutRecord* aboutRecord;    // only during the about selector
    intptr_t* data;              // the host's slot that keeps the globals handle
    int16_t* result;
    SPBasicSuite* basicSuite;
    TMSettings* settings;  // valid between lock and unlock
    TMGlobals* globals;
};

extern PluginState gPlugin;
