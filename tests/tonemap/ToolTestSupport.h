// Shared set-up of the tool's tests: a folder per test, test images written
// with OpenImageIO, and the built tonemap program run as a subprocess.
#pragma once

#include <OpenImageIO/imageio.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../../minihost/MiniHost.h"

namespace fs = std::filesystem;

struct TempFolder {
    fs::path path;
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() /
               ("tm-tool-" + std::to_string(getpid()) + "-" + info->test_suite_name() + "-" + info->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Writes an image of `channels` interleaved samples of `type` as the
// extension says; values are given as doubles and converted by the library.
inline void WriteTestImage(const std::string& path, int width, int height, int channels, OIIO::TypeDesc type,
                           const std::vector<float>& values, int alphaChannel = -1) {
    if (fs::path(path).extension() == ".pfm") {  // the library reads PFM but does not write it
        std::ofstream out(path, std::ios::binary);
        out << "PF\n" << width << " " << height << "\n-1.0\n";
        for (int y = height - 1; y >= 0; --y)
            out.write(reinterpret_cast<const char*>(&values[size_t(y) * width * 3]), size_t(width) * 3 * 4);
        return;
    }
    OIIO::ImageSpec header(width, height, channels, type);
    header.alpha_channel = alphaChannel;
    if (alphaChannel >= 0) header.attribute("oiio:UnassociatedAlpha", 1);
    auto out = OIIO::ImageOutput::create(path);
    ASSERT_TRUE(out && out->open(path, header)) << path << ": " << OIIO::geterror();
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, values.data())) << out->geterror();
    ASSERT_TRUE(out->close());
}

// A smooth test pattern of w x h pixels, `channels` samples each, values in 0..scale.
inline std::vector<float> Pattern(int width, int height, int channels, float scale) {
    std::vector<float> v(static_cast<size_t>(width) * height * channels);
    for (size_t i = 0; i < v.size(); ++i) v[i] = scale * static_cast<float>((i * 37) % 1000) / 999.0f;
    return v;
}

struct ImageRead {
    OIIO::ImageSpec header;
    std::vector<float> pixels;  // as floats, 0..1 for integer files
    std::string format;
};

inline ImageRead ReadTestImage(const std::string& path) {
    ImageRead r;
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path, &config);
    EXPECT_TRUE(in) << path << ": " << OIIO::geterror();
    if (!in) return r;
    r.header = in->spec();
    r.format = in->format_name();
    r.pixels.resize(static_cast<size_t>(r.header.width) * r.header.height * r.header.nchannels);
    EXPECT_TRUE(in->read_image(0, 0, 0, r.header.nchannels, OIIO::TypeDesc::FLOAT, r.pixels.data()));
    return r;
}

struct ToolResult {
    int status = -1;  // the exit status, or -1 when a signal ended the program
    int signal = 0;   // the signal that ended it
    long peakKilobytes = 0;
    std::string out;
    std::string err;
};

// What the child process gets besides its arguments: limits of its own
// (the file size limit makes every write beyond it fail), and where its
// standard output goes (empty: a file read back into ToolResult::out).
struct ChildSetup {
    rlim_t fileSizeLimit = RLIM_INFINITY;
    rlim_t addressSpaceLimit = RLIM_INFINITY;
    std::string standardOutput;
};

// Starts the built tonemap with `args`; its configuration folder is
// `config`, so the registry of the test never touches the user's.
inline pid_t StartTonemap(const std::vector<std::string>& args, const fs::path& config, const ChildSetup& setup = {}) {
    const std::string program = ProgramFolder() + "tonemap";
    const fs::path outFile = setup.standardOutput.empty() ? config / "stdout.txt" : fs::path(setup.standardOutput);
    const fs::path errFile = config / "stderr.txt";
    fs::create_directories(config);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        const struct rlimit fileSize {setup.fileSizeLimit, setup.fileSizeLimit};
        const struct rlimit addressSpace {setup.addressSpaceLimit, setup.addressSpaceLimit};
        setrlimit(RLIMIT_FSIZE, &fileSize);
        setrlimit(RLIMIT_AS, &addressSpace);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

inline ToolResult FinishTonemap(pid_t pid, const fs::path& config, const ChildSetup& setup = {}) {
    ToolResult result;
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.peakKilobytes = usage.ru_maxrss;
    if (setup.standardOutput.empty()) result.out = ReadText(config / "stdout.txt");
    result.err = ReadText(config / "stderr.txt");
    return result;
}

inline ToolResult RunTonemap(const std::vector<std::string>& args, const fs::path& config,
                             const ChildSetup& setup = {}) {
    return FinishTonemap(StartTonemap(args, config, setup), config, setup);
}

// The files of a folder other than the ones named.
inline std::vector<std::string> FilesBesides(const fs::path& folder, const std::vector<std::string>& known) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
    }
    return others;
}

// A test with its own folder, running the built tonemap quietly with its
// settings under that folder.
class ToolTest : public ::testing::Test {
protected:
    TempFolder dir;
    fs::path config() const { return dir.path / "config"; }
    ToolResult Run(std::vector<std::string> args, const ChildSetup& setup = {}) {
        args.insert(args.begin(), "--quiet");
        return RunTonemap(args, config(), setup);
    }
};
