#include "StandInDialogs.h"

#include "Dialogs.h"

StandInDialogs gStandIn;

bool DoToneMappingDialog() {
    ++gStandIn.dialogCalls;
    if (gStandIn.whileShown) gStandIn.whileShown();
    return gStandIn.accept;
}

void ShowAboutBox(void* parentWindow) {
    ++gStandIn.aboutCalls;
    gStandIn.aboutParent = parentWindow;
}
