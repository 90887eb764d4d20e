#include "OutputChecks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "FileReplacement.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// A name for the file a path stands for, equal for every spelling of it.
std::string FileIdentity(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0)
        return "file " + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return "path " + (ec ? fs::absolute(path).lexically_normal().string() : resolved.string());
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) { return FileIdentity(a) == FileIdentity(b); }

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

std::vector<ToolError> NameClashes(const std::vector<Job>& jobs) {
    std::vector<std::string> inputs, outputs;
    for (const Job& job : jobs) {
        inputs.push_back(FileIdentity(job.input));
        outputs.push_back(FileIdentity(job.output));
    }
    std::vector<ToolError> clashes;
    for (size_t i = 0; i < jobs.size(); ++i) {
        for (size_t j = 0; j < jobs.size(); ++j) {
            if (outputs[i] != inputs[j]) continue;
            const std::string text =
                i == j ? "Writing " + Quoted(jobs[i].output) + " would replace the image being read"
                       : "Writing " + Quoted(jobs[i].output) + " (from " + Quoted(jobs[i].input) +
                             ") would replace the input " + Quoted(jobs[j].input);
            clashes.push_back(ToolError{kExitUsage, text + "; choose another name, folder or --format."});
            break;
        }
        for (size_t j = 0; j < i; ++j) {
            if (outputs[i] != outputs[j]) continue;
            clashes.push_back(ToolError{kExitUsage, "Both " + Quoted(jobs[j].input) + " and " + Quoted(jobs[i].input) +
                                                        " would be written to " + Quoted(jobs[i].output) +
                                                        "; give them separate folders or names."});
            break;
        }
    }
    return clashes;
}

bool CheckSideFileTarget(const std::string& path, const std::string& option, const std::string& what, ExitCode code,
                         const std::vector<std::string>& inputs, ToolError* error) {
    if (path == "-") return true;
    for (const std::string& input : inputs)
        if (SameFile(path, input))
            return Fail(error, kExitUsage, option + " " + Quoted(path) + " names an image being read; choose another name.");
    const std::string cannot = "Cannot write " + what + " " + Quoted(path) + ": ";
    if (const int problem = ReplaceableProblem(path)) return Fail(error, code, cannot + FileFailureText(problem) + ".");
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return Fail(error, code, cannot + "the folder " + Quoted(folder.string()) + " does not exist.");
    if (access(folder.c_str(), W_OK) != 0) return Fail(error, code, cannot + FileFailureText(errno) + ".");
    return true;
}
