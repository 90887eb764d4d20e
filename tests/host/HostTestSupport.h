// Shared set-up of the host tests: the module's entry point in-process and the
// built module loaded through our host.
#pragma once

#include <gtest/gtest.h>

#include "../../minihost/MiniHost.h"
#include "Settings.h"
#include "StandInDialogs.h"

extern "C" void PluginMain(int16_t selector, void* pluginParamBlock, intptr_t* data, int16_t* result);
extern "C" void SetMessageBoxHandler(MessageBoxHandler handler);

inline PluginModule InProcessModule() {
    PluginModule module;
    module.main = PluginMain;
    module.setMessageBoxHandler = SetMessageBoxHandler;
    return module;
}

// The module file built beside the test program, loaded once.
inline const PluginModule& BuiltModule() {
    static PluginModule module = [] {
        PluginModule m;
        std::string error;
        if (!LoadPluginModule(DefaultModulePath(), &m, &error)) ADD_FAILURE() << error;
        return m;
    }();
    return module;
}

inline TMSettings* SettingsOf(MiniHost& host) {
    return reinterpret_cast<TMSettings*>(PeekHandle(host, host.parameters));
}

inline TMGlobals* GlobalsOf(MiniHost& host) {
    return reinterpret_cast<TMGlobals*>(PeekHandle(host, reinterpret_cast<Handle>(host.data)));
}

// Resets the stand-in dialogs before and after every test.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override { gStandIn = StandInDialogs{}; }
    void TearDown() override { gStandIn = StandInDialogs{}; }
};
