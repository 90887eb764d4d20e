#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

#include "MiniHost.h"

bool LoadPluginModule(const std::string& path, PluginModule* module, std::string* error) {
    *module = PluginModule{};
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        if (error != nullptr) *error = dlerror();
        return false;
    }
    auto main = reinterpret_cast<PluginMainProc>(dlsym(library, kPluginMainName));
    if (main == nullptr) {
        if (error != nullptr) *error = path + " does not export " + kPluginMainName;
        dlclose(library);
        return false;
    }
    module->library = library;
    module->main = main;
    module->setMessageBoxHandler =
        reinterpret_cast<SetMessageBoxHandlerProc>(dlsym(library, kSetMessageBoxHandlerName));
    module->previewMain = reinterpret_cast<PreviewMainProc>(dlsym(library, kPreviewMainName));
    module->setPanoramaFlag = reinterpret_cast<SetPanoramaFlagProc>(dlsym(library, kSetPanoramaFlagName));
    module->getRunDetail = reinterpret_cast<GetRunDetailProc>(dlsym(library, kGetRunDetailName));
    return true;
}

void UnloadPluginModule(PluginModule* module) {
    if (module->library != nullptr) dlclose(module->library);
    *module = PluginModule{};
}

std::string ProgramFolder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return "./";
    std::string full(path, static_cast<size_t>(n));
    return full.substr(0, full.find_last_of('/') + 1);
}

std::string DefaultModulePath() { return ProgramFolder() + "ToneMapping.so"; }

std::string UserConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config";
    return std::string();
}
