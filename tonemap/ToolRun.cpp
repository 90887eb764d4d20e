#include "ToolRun.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>
#include <set>
#include <stdexcept>

#include "ExampleScene.h"
#include "ExtremePixels.h"
#include "FileReplacement.h"
#include "HostRun.h"
#include "ImageFiles.h"
#include "MemoryNeeds.h"
#include "OutputChecks.h"
#include "Progress.h"
#include "Signals.h"
#include "ToolSettings.h"

namespace fs = std::filesystem;

namespace {

struct Context {
    const ToolOptions& options;
    PluginModule module;
    std::string registryFile;
    bool settingsReported = false;
    std::set<std::string> said;  // notes already shown: each is said once per run
};

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

void Say(const Context& c, const std::string& text) {
    if (!c.options.quiet) std::fprintf(stderr, "%s\n", text.c_str());
}

void SayAll(Context& c, const std::vector<std::string>& notes) {
    for (const std::string& note : notes)
        if (c.said.insert(note).second) Say(c, "tonemap: " + note);
}

int Report(const ToolError& error) {
    std::fprintf(stderr, "tonemap: %s\n", error.message.c_str());
    return error.code;
}

int DepthCodeOf(int depth) { return depth == 32 ? 0 : depth == 16 ? 1 : 2; }

// Standard output takes the printed settings; a failure to write them (a
// full disk, a closed pipe) is an error, not a silent success.
bool FlushStandardOutput(ExitCode code, ToolError* error) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    return Fail(error, code, "Cannot write to standard output: " + FileFailureText(errno) + ".");
}

// --print-settings and --save-settings, once, for the first image (or for a
// 32-bit image when there is none).
bool ReportSettings(Context& c, const TMSettings& settings, ToolError* error) {
    if (c.settingsReported) return true;
    c.settingsReported = true;
    if (c.options.printSettings) {
        std::printf("%s\n", SettingsAsOptions(settings).c_str());
        if (!FlushStandardOutput(kExitSettingsFile, error)) return false;
    }
    if (c.options.saveSettingsFile.empty()) return true;
    return SaveSettingsFile(c.options.saveSettingsFile, settings, error);
}

// Refuses, before its pixels are read, an image whose run would need more
// memory than the machine has, or work buffers larger than the plug-in's host
// interface can hand out.
bool CheckMemory(const ImageSource& source, const TMSettings& settings, ToolError* error) {
    const RunMemory need = EstimateRunMemory(source, settings);
    const std::string size = std::to_string(source.header.width) + " x " + std::to_string(source.header.height);
    if (need.workBufferBytes > INT32_MAX)
        return Fail(error, kExitOutOfMemory,
                    Quoted(source.path) + " (" + size + " pixels) is too large for the plug-in: each of its three "
                    "work buffers would need " + ByteCountText(uint64_t(need.workBufferBytes)) +
                    ", and the host's buffers hold at most 2 GB.");
    const uint64_t available = AvailableMemory();
    if (available != 0 && need.peakBytes > available)
        return Fail(error, kExitOutOfMemory,
                    "Not enough memory for " + Quoted(source.path) + ": its " + size + " pixels need about " +
                        ByteCountText(need.peakBytes) + ", and about " + ByteCountText(available) +
                        " are available.");
    return true;
}

bool WriteHistogramFile(const std::string& path, const std::vector<int32_t>& histogram, ToolError* error) {
    std::string text;
    for (int32_t count : histogram) text += std::to_string(count) + "\n";
    int failure = 0;
    return ReplaceWithText(path, text, &failure) ||
           Fail(error, kExitOutput,
                "Cannot write the histogram to " + Quoted(path) + ": " + FileFailureText(failure) + ".");
}

// --preview: the dialog's picture instead of the result.
bool PreviewImage(Context& c, const Job& job, const TMSettings& settings, ImageFile* image, ToolError* error) {
    std::vector<std::string> notes;
    PreviewPicture picture;
    const bool done = PreviewDocument(c.module, settings, PreviewSize(c.options), c.options.showOriginal,
                                      RunNames{job.input, job.output}, &image->document, &picture, &notes,
                                      error) &&
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
    const RunNames names{job.input, job.output};
    const std::string cancelled = "Cancelled; " + Quoted(job.output) + " was not written.";
    ImageSource source;
    ImageFile image;
    TMSettings settings{};
    std::vector<std::string> notes;
    ProgressBegin(fs::path(job.input).filename().string());
    ProgressPhase(0, 20);
    bool read = OpenImageFile(job.input, c.options.promoteEightBit, &source, error) &&
                EffectiveSettings(c.options, DepthCodeOf(source.documentDepth), c.registryFile, &settings, &notes,
                                  error) &&
                (source.documentDepth == 8 || CheckMemory(source, settings, error)) &&
                ReadImagePixels(&source, &image, error);
    source.input.reset();
    ProgressEnd();
    SayAll(c, notes);
    notes.clear();
    if (!read) return CancelRequested() ? Fail(error, kExitCancelled, cancelled) : false;
    if (!ReportSettings(c, settings, error)) return false;
    SayAll(c, ExtremePixelWarnings(CountExtremePixels(image.document), Quoted(job.input)));
    if (PreviewSize(c.options) != 0) return PreviewImage(c, job, settings, &image, error);

    ProgressBegin(fs::path(job.input).filename().string());
    ProgressPhase(20, 80);
    bool done = ToneMapDocument(c.module, settings, c.registryFile, names, &image.document, &notes, error);
    if (done && CancelRequested()) done = Fail(error, kExitCancelled, cancelled);
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

// One image, whatever happens to it: a failure to get memory ends this image
// only, with the image named, and the batch goes on.
bool ProcessImageSafely(Context& c, const Job& job, ToolError* error) {
    try {
        return ProcessImage(c, job, error);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    ProgressEnd();
    return Fail(error, kExitOutOfMemory, "Not enough memory to tone-map " + Quoted(job.input) + ".");
}

// Tone-maps every image, going on after a failure; the first failure decides the status.
int RunJobs(Context& c, const std::vector<Job>& jobs) {
    int status = kExitOk;
    for (const Job& job : jobs) {
        ToolError error;
        if (!ProcessImageSafely(c, job, &error)) {
            Report(error);
            if (status == kExitOk) status = error.code;
        }
        if (CancelRequested()) break;
    }
    return status;
}

// Names that clash, and outputs that cannot be written where they are
// meant to go, stop the run before anything is read or written.
int CheckNames(const std::vector<Job>& jobs) {
    std::vector<ToolError> problems = NameClashes(jobs);
    for (const Job& job : jobs) {
        ToolError error;
        if (!CheckOutputPath(job.output, &error)) problems.push_back(error);
    }
    int status = kExitOk;
    for (const ToolError& problem : problems) {
        Report(problem);
        if (status == kExitOk) status = problem.code;
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
        !ProcessImageSafely(c, job, &error))
        return Report(error);
    std::printf("The example scene (HDR):  %s\nTone-mapped:              %s\n", job.input.c_str(), job.output.c_str());
    return kExitOk;
}

int RunAll(Context& c) {
    const ToolOptions& o = c.options;
    ToolError error;
    if (!o.saveSettingsFile.empty() &&
        !CheckSideFileTarget(o.saveSettingsFile, "--save-settings", "the settings file", kExitSettingsFile, o.inputs,
                             &error))
        return Report(error);
    if (!o.histogramFile.empty() &&
        !CheckSideFileTarget(o.histogramFile, "--histogram", "the histogram", kExitOutput, o.inputs, &error))
        return Report(error);
    if (o.inputs.empty() && o.exampleDir.empty()) {  // settings only
        std::vector<std::string> notes;
        TMSettings settings{};
        if (!EffectiveSettings(o, 0, c.registryFile, &settings, &notes, &error)) return Report(error);
        SayAll(c, notes);
        if (!ReportSettings(c, settings, &error)) return Report(error);
        return kExitOk;
    }

    std::vector<Job> jobs;
    if (o.exampleDir.empty()) {
        if (!MakeJobs(o, &jobs, &error)) return Report(error);
        if (const int status = CheckNames(jobs)) return status;
    }
    const std::string pluginPath = o.pluginPath.empty() ? DefaultModulePath() : o.pluginPath;
    std::string reason;
    if (!LoadPluginModule(pluginPath, &c.module, &reason))
        return Report(
            ToolError{kExitPlugin, "Cannot load the Tone Mapping plug-in " + Quoted(pluginPath) + ": " + reason});
    const int status = o.exampleDir.empty() ? RunJobs(c, jobs) : RunExample(c);
    UnloadPluginModule(&c.module);
    return status;
}

}  // namespace

int RunTool(const ToolOptions& o) {
    ToolError error;
    if (o.help || o.version) {
        std::fputs(o.help ? HelpText().c_str() : VersionText().c_str(), stdout);
        return FlushStandardOutput(kExitOutput, &error) ? kExitOk : Report(error);
    }
    SetProgressShown(o.quiet);
    InstallSignalHandlers();
    Context c{o, PluginModule{}, DefaultRegistryFile(), false, {}};
    const int status = RunAll(c);
    if (!FlushStandardOutput(kExitOutput, &error) && status == kExitOk) return Report(error);
    return status;
}
