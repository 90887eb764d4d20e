// Stand-ins for the module's windows in the in-process tests: the test says
// whether the dialog ends with OK and may change the settings meanwhile.
#pragma once

#include <functional>

struct StandInDialogs {
    bool accept = true;
    int dialogCalls = 0;
    int aboutCalls = 0;
    void* aboutParent = nullptr;  // the window the About box was shown over
    std::function<void()> whileShown;
};

extern StandInDialogs gStandIn;
