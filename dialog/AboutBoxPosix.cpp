#include "Dialogs.h"

// Without a window system there is nothing to show.
void ShowAboutBox(void*) {}
