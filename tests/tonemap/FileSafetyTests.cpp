// Nothing lost, nothing half-written: the built tonemap never replaces an
// input or a file that is not a regular file, finds clashing names before it
// writes anything, reports every failed write, and leaves no temporary file
// behind on any failure or signal.
#include <sys/stat.h>

#include <csignal>
#include <thread>

#include "ExitCodes.h"
#include "FileReplacement.h"
#include "OutputChecks.h"
#include "ToolTestSupport.h"

namespace {

using OIIO::TypeDesc;

constexpr int W = 130, H = 110;

class FileSafetyTest : public ToolTest {
protected:
    void Image(const std::string& name, float scale = 4.0f) {
        WriteTestImage(dir / name, W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, scale));
    }
};

// Whether the child has ended, without collecting its status.
bool HasEnded(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

bool HiddenFileIn(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string()[0] == '.') return true;
    return false;
}

TEST_F(FileSafetyTest, SettingsFilesReplaceNeitherImagesNorDevicesNorFifos) {
    Image("a.exr");
    Image("b.exr");
    const std::string a = ReadText(dir / "a.exr");
    // A shell pattern's first match taken for the settings file.
    ToolResult r = Run({"--strength", "80", "--save-settings", dir / "a.exr", dir / "b.exr", "--output-dir", dir / "out"});
    EXPECT_EQ(r.status, kExitUsage) << r.err;
    EXPECT_NE(r.err.find("end in .xmp"), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(dir / "a.exr"), a);
    EXPECT_FALSE(fs::exists(dir.path / "out"));

    // An image that happens to end in .xmp is still an input.
    fs::copy_file(dir / "a.exr", dir / "pic.xmp");
    r = Run({"--save-settings", dir / "pic.xmp", dir / "pic.xmp", dir / "o.png"});
    EXPECT_EQ(r.status, kExitUsage) << r.err;
    EXPECT_EQ(ReadText(dir / "pic.xmp"), a);

    ASSERT_EQ(mkfifo((dir / "fifo.xmp").c_str(), 0644), 0);
    fs::create_symlink("/dev/null", dir.path / "null.xmp");
    for (const char* target : {"fifo.xmp", "null.xmp"}) {
        r = Run({"--save-settings", dir / target, dir / "a.exr", dir / "o.png"});
        EXPECT_EQ(r.status, kExitSettingsFile) << target << ": " << r.err;
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir.path / "o.png")) << "nothing is done after the refusal";
    }
    EXPECT_TRUE(fs::is_fifo(dir.path / "fifo.xmp"));
    EXPECT_TRUE(fs::is_symlink(dir.path / "null.xmp"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    r = Run({"--save-settings", dir / "look.xmp", dir / "a.exr", dir / "o.png"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadText(dir / "look.xmp").find("<kvtm:Strength>70</kvtm:Strength>"), std::string::npos);
}

TEST_F(FileSafetyTest, ClashingNamesStopTheRunBeforeAnythingIsWritten) {
    Image("scene.exr");
    WriteTestImage(dir / "scene.hdr", W, H, 3, TypeDesc::FLOAT, Pattern(W, H, 3, 2.0f));
    const std::string scene = ReadText(dir / "scene.exr");
    // The first output is the second input.
    ToolResult r = Run({dir / "scene.hdr", dir / "scene.exr", "--output-dir", dir.path.string(), "--format", "exr"});
    EXPECT_EQ(r.status, kExitUsage) << r.err;
    EXPECT_NE(r.err.find("would replace the input \"" + dir / "scene.exr" + "\""), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(dir / "scene.exr"), scene);

    // Two outputs that are one file, one of them spelt differently.
    r = Run({dir / "scene.hdr", dir / "scene.exr", "--output-dir", dir / "out/../out", "--format", "png"});
    EXPECT_EQ(r.status, kExitUsage) << r.err;
    EXPECT_NE(r.err.find("would be written to"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(dir.path / "out"));

    // An output that is a hard link to its input.
    fs::create_hard_link(dir.path / "scene.exr", dir.path / "linked.exr");
    r = Run({dir / "scene.exr", dir / "linked.exr"});
    EXPECT_EQ(r.status, kExitUsage) << r.err;
    EXPECT_EQ(ReadText(dir / "scene.exr"), scene);
}

// Every write beyond the child's file size limit fails (EFBIG), the way a
// full disk fails them: each format reports it, leaves nothing, and the
// batch goes on to the next image.
TEST_F(FileSafetyTest, BrokenWritesAreReportedForEveryFormatAndLeaveNothing) {
    Image("a.exr");
    Image("b.exr", 9.0f);
    ChildSetup setup;
    setup.fileSizeLimit = 2048;  // the registry file fits, no image does
    for (const std::string ext : {"png", "jpg", "exr", "tif", "hdr", "pfm"}) {
        const fs::path out = dir.path / ("out-" + ext);
        const ToolResult r =
            Run({dir / "a.exr", dir / "b.exr", "--output-dir", out.string(), "--format", ext}, setup);
        EXPECT_EQ(r.status, kExitOutput) << ext << ": " << r.err;
        EXPECT_EQ(r.err.rfind("tonemap: Cannot write \"" + (out / "a.") .string() + ext + "\"", 0), 0u)
            << "our own message comes first: " << r.err;
        EXPECT_NE(r.err.find("Cannot write \"" + (out / "b.").string() + ext + "\""), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(".tonemap-"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_empty(out)) << ext;
    }
    // The settings file fails the same way; so does standard output on a full disk.
    ToolResult r = Run({"--save-settings", dir / "s.xmp"}, ChildSetup{16, RLIM_INFINITY, ""});
    EXPECT_EQ(r.status, kExitSettingsFile) << r.err;
    EXPECT_FALSE(fs::exists(dir.path / "s.xmp"));
    if (fs::exists("/dev/full")) {
        for (const char* option : {"--print-settings", "--save-settings=-"}) {
            r = Run({option}, ChildSetup{RLIM_INFINITY, RLIM_INFINITY, "/dev/full"});
            EXPECT_EQ(r.status, kExitSettingsFile) << option;
            EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
        }
    }
    EXPECT_FALSE(HiddenFileIn(dir.path));
}

TEST_F(FileSafetyTest, SignalsDuringWritingLeaveNoTemporaryFile) {
    // Large enough that writing takes a while, small enough to stay quick.
    const int w = 1800, h = 1200;
    WriteTestImage(dir / "big.exr", w, h, 3, TypeDesc::FLOAT, Pattern(w, h, 3, 50.0f));
    struct Case {
        int signal;
        int count;
    };
    for (const Case c : {Case{SIGTERM, 1}, Case{SIGHUP, 1}, Case{SIGINT, 2}, Case{SIGINT, 1}}) {
        const fs::path out = dir.path / "out";
        fs::remove_all(out);
        fs::create_directories(out);
        const pid_t pid = StartTonemap({"--quiet", dir / "big.exr", (out / "big.tif").string()}, config());
        while (!HiddenFileIn(out) && !HasEnded(pid))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        for (int i = 0; i < c.count; ++i) {
            kill(pid, c.signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));  // two signals, not one merged
        }
        const ToolResult r = FinishTonemap(pid, config());
        if (c.count == 2 && r.signal == 0) {
            // The first Ctrl+C stopped the writing before the second arrived.
            EXPECT_EQ(r.status, kExitCancelled) << r.err;
        } else if (c.count == 1 && c.signal == SIGINT) {
            EXPECT_EQ(r.status, kExitCancelled) << r.err;
            EXPECT_NE(r.err.find("\"" + (out / "big.tif").string() + "\" was not written"), std::string::npos)
                << r.err;
        } else {
            EXPECT_EQ(r.signal, c.signal) << r.err;
        }
        EXPECT_TRUE(fs::is_empty(out)) << "signal " << c.signal;
    }
}

TEST_F(FileSafetyTest, OutputNamesOfUpTo255BytesAreWritten) {
    Image("a.exr");
    for (size_t length : {238u, 250u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".png";
        const ToolResult r = Run({dir / "a.exr", dir / name});
        EXPECT_EQ(r.status, 0) << length << ": " << r.err;
        EXPECT_TRUE(fs::exists(dir.path / name));
        fs::remove(dir.path / name);
    }
    // The temporary name is never longer than the final one, and hidden.
    for (const std::string& target : {std::string("a.exr"), std::string("twelve-bytes"), std::string(255, 'x')}) {
        const std::string temporary = fs::path(TemporaryNameFor("d/" + target, 7)).filename().string();
        EXPECT_LE(temporary.size(), target.size()) << target;
        EXPECT_EQ(temporary[0], '.');
    }
}

TEST(FileReplacement, ReplacesOnlyRegularFilesAndLeavesNoTemporaryFile) {
    TempFolder dir;
    std::ofstream(dir / "old.txt") << "old";
    PendingFile file;
    ASSERT_TRUE(BeginReplacement(dir / "old.txt", &file));
    WritePendingAt(&file, "new", 3, 0);
    EXPECT_EQ(ReadText(dir / "old.txt"), "old");
    ASSERT_TRUE(CommitReplacement(&file));
    EXPECT_EQ(ReadText(dir / "old.txt"), "new");

    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    ASSERT_TRUE(BeginReplacement(dir / "fifo", &file));
    EXPECT_FALSE(CommitReplacement(&file));
    EXPECT_EQ(file.failure, kNotARegularFile);
    EXPECT_TRUE(fs::is_fifo(dir.path / "fifo"));
    EXPECT_EQ(FilesBesides(dir.path, {"old.txt", "fifo"}), std::vector<std::string>{});
}

TEST(OutputChecks, NamesClashAsTheSystemSeesThem) {
    TempFolder dir;
    std::ofstream(dir / "in.exr") << "x";
    fs::create_directories(dir.path / "sub");
    const std::vector<Job> fine = {{dir / "in.exr", dir / "in.png"}, {dir / "in.exr", dir / "sub/in.png"}};
    EXPECT_TRUE(NameClashes(fine).empty());
    const std::vector<Job> same = {{dir / "a.exr", dir / "o.png"}, {dir / "b.exr", dir / "sub/../o.png"}};
    EXPECT_EQ(NameClashes(same).size(), 1u);
    const std::vector<Job> own = {{dir / "in.exr", dir / "sub/../in.exr"}};
    ASSERT_EQ(NameClashes(own).size(), 1u);
    EXPECT_EQ(NameClashes(own)[0].code, kExitUsage);
}

}  // namespace
