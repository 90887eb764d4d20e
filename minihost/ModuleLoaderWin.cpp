#include <windows.h>

#include <cstdlib>

#include "MiniHost.h"

bool LoadPluginModule(const std::string& path, PluginModule* module, std::string* error) {
    *module = PluginModule{};
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) {
        if (error != nullptr) *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    auto main = reinterpret_cast<PluginMainProc>(reinterpret_cast<void*>(GetProcAddress(library, kPluginMainName)));
    if (main == nullptr) {
        if (error != nullptr) *error = path + " does not export " + kPluginMainName;
        FreeLibrary(library);
        return false;
    }
    module->library = library;
    module->main = main;
    module->setMessageBoxHandler = reinterpret_cast<SetMessageBoxHandlerProc>(
        reinterpret_cast<void*>(GetProcAddress(library, kSetMessageBoxHandlerName)));
    module->previewMain =
        reinterpret_cast<PreviewMainProc>(reinterpret_cast<void*>(GetProcAddress(library, kPreviewMainName)));
    module->setPanoramaFlag = reinterpret_cast<SetPanoramaFlagProc>(
        reinterpret_cast<void*>(GetProcAddress(library, kSetPanoramaFlagName)));
    module->getRunDetail =
        reinterpret_cast<GetRunDetailProc>(reinterpret_cast<void*>(GetProcAddress(library, kGetRunDetailName)));
    return true;
}

void UnloadPluginModule(PluginModule* module) {
    if (module->library != nullptr) FreeLibrary(static_cast<HMODULE>(module->library));
    *module = PluginModule{};
}

std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return ".\\";
    std::string full(path, n);
    return full.substr(0, full.find_last_of("\\/") + 1);
}

std::string DefaultModulePath() { return ProgramFolder() + "ToneMapping.8bf"; }

std::string UserConfigFolder() {
    const char* appData = std::getenv("APPDATA");
    return appData != nullptr ? std::string(appData) : std::string();
}
