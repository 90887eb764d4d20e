#include "XmpSettings.h"

int WriteXmpSettings(const char*, const int32_t*) { return -1; }

int ReadXmpSettings(const char*, int32_t*) { return -1; }
