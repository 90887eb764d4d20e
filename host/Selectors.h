// The selector handlers and the handle management around them.
#pragma once

#include <cstdint>

void HandleAbout();
void HandleParameters();
void HandlePrepare();
void HandleStart();
void HandleContinue();
void HandleFinish();

void CreateSettingsHandle();
void CreateGlobalsHandle();
void LockSettingsAndGlobals();
void UnlockSettingsAndGlobals();

// The limit prepare puts on the host's memory budget (maxSpace, and
// maxSpace64 where the host uses it): the module asks for the whole image at
// once and allocates its own work buffers beside it.
constexpr int32_t kMaxSpaceLimit = 524303;

extern const char kEightBitCaption[];
extern const char kEightBitMessage[];
