#include "XmpTestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "XmpSettings.h"

namespace fs = std::filesystem;

namespace {

// One folder per run, removed when the program ends.
struct ScratchFolder {
    fs::path path = fs::temp_directory_path() / ("tm_xmp_tests_" + std::to_string(std::random_device{}()));
    ScratchFolder() { fs::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

const fs::path& Scratch() {
    static const ScratchFolder folder;
    return folder.path;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

std::string ScratchPath(const std::string& name) { return (Scratch() / name).string(); }

std::string WriteSample(const std::string& name, const std::string& bytes) {
    const std::string path = ScratchPath(name);
    WriteBytes(path, bytes);
    if (const char* corpus = std::getenv("TM_XMP_CORPUS_DIR")) {
        fs::create_directories(corpus);
        WriteBytes(fs::path(corpus) / name, bytes);
    }
    return path;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string XmpWith(const std::string& elements) {
    return "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
           "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
           "\n"
           " <rdf:Description rdf:about=''\n"
           "  xmlns:kvtm='http://ns.corvanta.com/tone_mapping_settings'>\n" +
           elements +
           " </rdf:Description>\n"
           "\n"
           "</rdf:RDF>\n"
           "</x:xmpmeta>\n";
}

int BytesThroughClosingLine(const std::string& text) {
    const std::string closing = " </rdf:Description>\n";
    return int(text.find(closing) + closing.size());
}

int ReadSample(const std::string& name, const std::string& bytes, int32_t settings[15]) {
    return ReadXmpSettings(WriteSample(name, bytes).c_str(), settings);
}
