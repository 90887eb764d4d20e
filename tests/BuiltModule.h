// The plug-in module file built beside the test program, loaded once for the
// whole program; a module that cannot be loaded fails the test that asks.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "../minihost/MiniHost.h"

inline const PluginModule& BuiltModule() {
    static PluginModule module = [] {
        PluginModule m;
        std::string error;
        if (!LoadPluginModule(DefaultModulePath(), &m, &error)) ADD_FAILURE() << error;
        return m;
    }();
    return module;
}
