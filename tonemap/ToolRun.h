// What tonemap does once its command line is understood: each image read,
// tone-mapped through the plug-in and written; settings printed or saved;
// the built-in example. Returns the exit status.
#pragma once

#include "Options.h"

int RunTool(const ToolOptions& options);
