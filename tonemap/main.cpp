// tonemap: tone-maps image files with the Tone Mapping plug-in module,
// through our own host. See tonemap --help.
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "ExitCodes.h"
#include "Options.h"
#include "ToolRun.h"

int main(int argc, char** argv) {
    try {
        ToolOptions options;
        std::string problem;
        if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &options, &problem)) {
            std::fprintf(stderr, "tonemap: %s\n", problem.c_str());
            return kExitUsage;
        }
        return RunTool(options);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tonemap: Not enough memory.\n");
        return kExitOutOfMemory;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tonemap: internal error: %s\n", e.what());
        return kExitInternal;
    }
}
