#include "ToolRun.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "ExampleScene.h"
#include "HostRun.h"
#include "ImageFiles.h"
#include "Progress.h"
#include "ToolSettings.h"

namespace fs = std::filesystem;

namespace {

struct Job {
    std::string input;
    std::string output;
};

struct Context {
    const ToolOptions& options;
    PluginModule module;
    std::string registryFile;
    bool settingsReported = false;
};

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

void Say(const Context& c, const std::string& text) {
    if (!c.options.quiet) std::fprintf(stderr, "%s\n", text.c_str());
}

void SayAll(const Context& c, const std::vector<std::string>& notes) {
    for (const std::string& note : notes) Say(c, "tonemap: " + note);
}

int Report(const ToolError& error) {
    std::fprintf(stderr, "tonemap: %s\n", error.message.c_str());
    return error.code;
}

int DepthCodeOf(int depth) { return depth == 32 ? 0 : depth == 16 ? 1 : 2; }

// --print-settings and --save-settings, once, for the first image (or for a
// 32-bit image when there is none).
bool ReportSettings(Context& c, const TMSettings& settings, ToolError* error) {
    if (c.settingsReported) return true;
    c.settingsReported = true;
    if (c.options.printSettings) std::printf("%s\n", SettingsAsOptions(settings).c_str());
    std::fflush(stdout);
    if (c.options.saveSettingsFile.empty()) return true;
    return SaveSettingsFile(c.options.saveSettingsFile, settings, error);
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

bool WriteHistogramFile(const std::string& path, const std::vector<int32_t>& histogram, ToolError* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int32_t count : histogram) out << count << "\n";
    out.close();
    if (!out) return Fail(error, kExitOutput, "Cannot write the histogram to " + Quoted(path) + ".");
    return true;
}

// --preview: the dialog's picture instead of the result.
bool PreviewImage(Context& c, const Job& job, const TMSettings& settings, ImageFile* image, ToolError* error) {
    std::vector<std::string> notes;
    PreviewPicture picture;
    const bool done = PreviewDocument(c.module, settings, PreviewSize(c.options), c.options.showOriginal,
                                      Quoted(job.input), &image->document, &picture, &notes, error) &&
                      WritePlanarPicture(job.output, picture.width, picture.height, picture.planes, error) &&
                      (c.options.histogramFile.empty() ||
                       WriteHistogramFile(c.options.histogramFile, picture.histogram, error));
    SayAll(c, notes);
    if (!done) return false;
    Say(c, job.input + " -> " + job.output + " (" + std::to_string(picture.width) + " x " +
               std::to_string(picture.height) + " preview)");
    return true;
}

bool ProcessImage(Context& c, const Job& job, ToolError* error) {
    if (!CheckOutputPath(job.output, error)) return false;
    if (SameFile(job.input, job.output))
        return Fail(error, kExitUsage,
                    "Writing " + Quoted(job.output) + " would replace the image being read; choose another name.");
    ImageFile image;
    ProgressBegin(fs::path(job.input).filename().string());
    ProgressPhase(0, 20);
    const bool read = ReadImageFile(job.input, c.options.promoteEightBit, &image, error);
    ProgressEnd();
    if (!read) return false;

    std::vector<std::string> notes;
    TMSettings settings{};
    if (!EffectiveSettings(c.options, DepthCodeOf(image.document.depth), c.registryFile, &settings, &notes, error))
        return false;
    SayAll(c, notes);
    notes.clear();
    if (!ReportSettings(c, settings, error)) return false;
    if (PreviewSize(c.options) != 0) return PreviewImage(c, job, settings, &image, error);

    ProgressBegin(fs::path(job.input).filename().string());
    ProgressPhase(20, 80);
    bool done = ToneMapDocument(c.module, settings, c.registryFile, Quoted(job.input), &image.document, &notes, error);
    if (done && CancelRequested())
        done = Fail(error, kExitCancelled, "Cancelled; " + Quoted(job.output) + " was not written.");
    std::vector<std::string> writeNotes;
    ProgressPhase(80, 100);
    done = done && WriteImageFile(job.output, image, &writeNotes, error);
    ProgressEnd();
    SayAll(c, notes);
    if (!done) return false;
    SayAll(c, writeNotes);
    Say(c, job.input + " -> " + job.output);
    return true;
}

bool MakeJobs(const ToolOptions& o, std::vector<Job>* jobs, ToolError* error) {
    if (o.outputDir.empty()) {
        jobs->push_back(Job{o.inputs[0], o.output});
        return true;
    }
    std::error_code ec;
    fs::create_directories(o.outputDir, ec);
    if (!fs::is_directory(o.outputDir, ec))
        return Fail(error, kExitOutput, "Cannot create the folder " + Quoted(o.outputDir) + ".");
    for (const std::string& input : o.inputs) {
        const fs::path in(input);
        const std::string ext = o.format.empty() ? in.extension().string() : "." + o.format;
        jobs->push_back(Job{input, (fs::path(o.outputDir) / in.stem()).string() + ext});
    }
    return true;
}

// Tone-maps every image, going on after a failure; the first failure decides the status.
int RunJobs(Context& c, const std::vector<Job>& jobs) {
    int status = kExitOk;
    std::set<std::string> written;
    for (const Job& job : jobs) {
        ToolError error;
        bool ok = written.insert(job.output).second ||
                  Fail(&error, kExitUsage, "Two images would both be written to " + Quoted(job.output) + ".");
        ok = ok && ProcessImage(c, job, &error);
        if (!ok) {
            Report(error);
            if (status == kExitOk) status = error.code;
        }
        if (CancelRequested()) break;
    }
    return status;
}

int RunExample(Context& c) {
    const fs::path folder(c.options.exampleDir);
    std::error_code ec;
    fs::create_directories(folder, ec);
    ImageFile scene;
    scene.document = MakeExampleScene(1200, 800);
    scene.fileBits = 32;
    const Job job{(folder / "example-scene.exr").string(), (folder / "example-tonemapped.png").string()};
    ToolError error;
    std::vector<std::string> notes;
    if (!CheckOutputPath(job.input, &error) || !WriteImageFile(job.input, scene, &notes, &error) ||
        !ProcessImage(c, job, &error))
        return Report(error);
    std::printf("The example scene (HDR):  %s\nTone-mapped:              %s\n", job.input.c_str(), job.output.c_str());
    return kExitOk;
}

}  // namespace

int RunTool(const ToolOptions& o) {
    if (o.help) {
        std::fputs(HelpText().c_str(), stdout);
        return kExitOk;
    }
    if (o.version) {
        std::fputs(VersionText().c_str(), stdout);
        return kExitOk;
    }
    SetProgressShown(o.quiet);
    InstallCancelHandler();
    Context c{o, PluginModule{}, DefaultRegistryFile()};

    if (o.inputs.empty() && o.exampleDir.empty()) {  // settings only
        std::vector<std::string> notes;
        TMSettings settings{};
        ToolError error;
        if (!EffectiveSettings(o, 0, c.registryFile, &settings, &notes, &error)) return Report(error);
        SayAll(c, notes);
        if (!ReportSettings(c, settings, &error)) return Report(error);
        return kExitOk;
    }

    const std::string pluginPath = o.pluginPath.empty() ? DefaultModulePath() : o.pluginPath;
    std::string reason;
    if (!LoadPluginModule(pluginPath, &c.module, &reason))
        return Report(
            ToolError{kExitPlugin, "Cannot load the Tone Mapping plug-in " + Quoted(pluginPath) + ": " + reason});

    int status = kExitOk;
    if (!o.exampleDir.empty()) {
        status = RunExample(c);
    } else {
        std::vector<Job> jobs;
        ToolError error;
        status = MakeJobs(o, &jobs, &error) ? RunJobs(c, jobs) : Report(error);
    }
    UnloadPluginModule(&c.module);
    return status;
}
