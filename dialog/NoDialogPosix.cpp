#include "Dialogs.h"

// Where the module has no dialog, a run asked for interactively proceeds
// with the settings as they stand.
bool DoToneMappingDialog() { return true; }
