// Writing documents into image files (ImageFiles.h).
#include <OpenImageIO/parallel.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <filesystem>

#include "CodeConversions.h"
#include "DisplayEncoding.h"
#include "FileReplacement.h"
#include "ImageFiles.h"
#include "ImageSink.h"
#include "LibraryOutput.h"
#include "PfmFile.h"
#include "Progress.h"
#include "Signals.h"

namespace fs = std::filesystem;
using OIIO::TypeDesc;

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string LowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

struct KnownOutput {
    const char* extension;
    OutputSamples samples;  // for a 32-bit document; TIFF follows the document
    bool keepsAlpha;
    const char* name;
};

const KnownOutput kOutputs[] = {
    {"exr", OutputSamples::Float, true, "OpenEXR"}, {"hdr", OutputSamples::Float, false, "Radiance HDR"},
    {"pfm", OutputSamples::Float, false, "PFM"},    {"tif", OutputSamples::Float, true, "TIFF"},
    {"tiff", OutputSamples::Float, true, "TIFF"},   {"png", OutputSamples::Sixteen, true, "PNG"},
    {"jpg", OutputSamples::Eight, false, "JPEG"},   {"jpeg", OutputSamples::Eight, false, "JPEG"},
};

// The output's samples, interleaved, with their type: the document's own
// floats when they are what the file takes, else an encoded copy (allocated
// with the alignment of any sample type).
struct OutputSamplesOf {
    TypeDesc type;
    std::vector<uint8_t> encoded;
    const void* samples = nullptr;
};

// Pixels encoded at a time by one of the library's threads.
constexpr int64_t kPixelsPerTask = 1 << 16;

// The document's pixels (and alpha) as the output's samples, converted by
// the library's threads.
template <class Out, class FromFloat, class FromCode>
std::vector<uint8_t> EncodedPixels(const ImageFile& image, bool withAlpha, FromFloat fromFloat, FromCode fromCode,
                                   float alphaScale) {
    const HostDocument& doc = image.document;
    const int64_t count = int64_t(doc.width) * doc.height;
    const int channels = withAlpha ? 4 : 3;
    std::vector<uint8_t> bytes(size_t(count) * channels * sizeof(Out));
    Out* out = reinterpret_cast<Out*>(bytes.data());
    const float* floats = doc.depth == 32 ? FloatSamples(doc) : nullptr;
    const uint16_t* codes = doc.depth == 32 ? nullptr : Code16Samples(doc);
    OIIO::parallel_for_chunked(0, count, kPixelsPerTask, [&](int64_t begin, int64_t end) {
        for (int64_t i = begin; i < end; ++i) {
            for (int c = 0; c < 3; ++c) {
                const size_t s = size_t(i) * 3 + c;
                out[i * channels + c] = floats != nullptr ? fromFloat(floats[s]) : fromCode(codes[s]);
            }
            if (withAlpha) {
                const float a = image.alpha[size_t(i)];
                if constexpr (std::is_floating_point_v<Out>)
                    out[i * channels + 3] = a;
                else
                    out[i * channels + 3] = static_cast<Out>(std::floor(std::clamp(a, 0.0f, 1.0f) * alphaScale + 0.5f));
            }
        }
    });
    return bytes;
}

OutputSamplesOf EncodePixels(const ImageFile& image, OutputSamples samples, bool withAlpha) {
    OutputSamplesOf out;
    if (samples == OutputSamples::Float) {
        out.type = TypeDesc::FLOAT;
        if (image.document.depth == 32 && !withAlpha) {
            out.samples = FloatSamples(image.document);
            return out;
        }
        out.encoded = EncodedPixels<float>(
            image, withAlpha, [](float v) { return v; }, CodeToLinear, 1.0f);
    } else if (samples == OutputSamples::Sixteen) {
        out.type = TypeDesc::UINT16;
        const DisplayTable& table = DisplayTableOf(65535);
        out.encoded = EncodedPixels<uint16_t>(
            image, withAlpha, [&](float v) { return static_cast<uint16_t>(TableDisplayValue(table, v)); },
            CodeToFileValue, 65535.0f);
    } else {
        out.type = TypeDesc::UINT8;
        const DisplayTable& table = DisplayTableOf(255);
        out.encoded = EncodedPixels<uint8_t>(
            image, withAlpha, [&](float v) { return static_cast<uint8_t>(TableDisplayValue(table, v)); }, CodeTo8Bit,
            255.0f);
    }
    out.samples = out.encoded.data();
    return out;
}

// Lossless compression that keeps a 12-megapixel image's writing to a second
// or two (the libraries' defaults take several); JPEG at quality 95. The
// library deflates floating-point TIFF strips on one thread only, ten times
// as long as writing them, for a file a third smaller: such TIFFs are
// stored uncompressed. (16-bit strips it deflates on all its threads.)
void SetCompression(const std::string& extension, TypeDesc type, OIIO::ImageSpec* header) {
    if (extension == "exr") header->attribute("compression", "piz");
    if (extension == "tif" || extension == "tiff") {
        if (type == TypeDesc::FLOAT) {
            header->attribute("compression", "none");
        } else {
            header->attribute("compression", "zip");
            header->attribute("tiff:zipquality", 1);
        }
    }
    if (extension == "png") header->attribute("png:compressionLevel", 1);
    if (extension == "jpg" || extension == "jpeg") header->attribute("Compression", "jpeg:95");
}

// Metadata that describes the file's encoding rather than the picture: the
// writer decides it for the output.
bool DescribesEncoding(const std::string& name) {
    static const char* const kPrefixes[] = {"oiio:", "openexr:", "tiff:", "png:", "jpeg:", "exr:", "hdr:", "pnm:"};
    for (const char* prefix : kPrefixes)
        if (name.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) return true;
    return name == "compression" || name == "Compression" || name == "planarconfig" || name == "textureformat" ||
           name == "whiteLuminance";
}

// The output's header: its size and samples, with the input's data and
// display windows and its metadata, as far as they describe the picture.
// A colour profile stays only where the samples keep their encoding. The
// library's JPEG writer turns floating-point camera values (an exposure
// time) into infinities, so JPEG files get none rather than wrong ones.
OIIO::ImageSpec OutputHeader(const ImageFile& image, const std::string& extension, int channels, TypeDesc type) {
    const HostDocument& doc = image.document;
    OIIO::ImageSpec header(doc.width, doc.height, channels, type);
    const OIIO::ImageSpec& in = image.header;
    if (in.width == doc.width && in.height == doc.height) {
        header.x = in.x;
        header.y = in.y;
        header.full_x = in.full_x;
        header.full_y = in.full_y;
        header.full_width = in.full_width;
        header.full_height = in.full_height;
        const bool sameEncoding = (type == TypeDesc::FLOAT) == (image.fileBits == 32);
        for (const OIIO::ParamValue& value : in.extra_attribs) {
            const std::string name = value.name().string();
            if (DescribesEncoding(name) || (name == "ICCProfile" && !sameEncoding)) continue;
            const bool floating = value.type().basetype == TypeDesc::FLOAT || value.type().basetype == TypeDesc::DOUBLE;
            if (floating && (extension == "jpg" || extension == "jpeg")) continue;
            header.attribute(name, value.type(), value.data());
        }
    }
    if (channels == 4) {
        header.alpha_channel = 3;
        header.attribute("oiio:UnassociatedAlpha", 1);
    }
    return header;
}

// Stops the library's writing early once the file can no longer be written.
bool WriteProgress(void* sink, float portionDone) {
    return ImageLibraryProgress(nullptr, portionDone) || static_cast<const ImageSink*>(sink)->failure() != 0;
}

// The library's TIFF writer cannot write its directories through a proxy,
// and it reports a failed Exif directory when there is no Exif data for it:
// TIFF files are written by the temporary file's name, judged by the
// library's results, and read back.
bool WritesThroughSink(const std::string& path) {
    const std::string ext = LowerExtension(path);
    return ext != "tif" && ext != "tiff";
}

// The library's words with the temporary file called by the output's name.
std::string DetailNaming(std::string detail, const PendingFile& file) {
    for (size_t at = 0; (at = detail.find(file.temporary, at)) != std::string::npos; at += file.target.size())
        detail.replace(at, file.temporary.size(), file.target);
    return detail;
}

// Writes `pixels` through the library into the file being replaced, in the
// format that `path`'s extension names. False with the library's words.
bool WriteWithLibrary(const std::string& path, PendingFile* file, const OIIO::ImageSpec& header, TypeDesc type,
                      const void* pixels, std::string* detail) {
    const bool throughSink = WritesThroughSink(path);
    ImageSink sink(path, file);
    CaughtLibraryOutput caught;
    auto out = OIIO::ImageOutput::create(path, throughSink ? &sink : nullptr);
    if (!out) {
        const std::string libraryError = OIIO::geterror();
        *detail = LibraryDetail(libraryError, caught.Finish());
        return false;
    }
    bool ok = out->open(throughSink ? path : file->temporary, header) &&
              out->write_image(type, pixels, OIIO::AutoStride, OIIO::AutoStride, OIIO::AutoStride,
                               WriteProgress, &sink);
    ok = out->close() && ok;
    const std::string libraryError = out->geterror();
    std::vector<std::string> printed = caught.Finish();
    ok = ok && (libraryError.empty() || !throughSink);
    if (!ok) *detail = DetailNaming(LibraryDetail(libraryError, printed), *file);
    return ok;
}

// Reads back what the library wrote by name: its header and its last rows,
// for a writer that may not report a failure when it closes the file.
bool ReadsBack(const PendingFile& file, const OIIO::ImageSpec& header, std::string* detail) {
    CaughtLibraryOutput caught;
    auto in = OIIO::ImageInput::open(file.temporary);
    bool ok = in != nullptr && in->spec().width == header.width && in->spec().height == header.height &&
              in->spec().nchannels == header.nchannels;
    if (ok) {
        const OIIO::ImageSpec& h = in->spec();
        const int rows = h.tile_width > 0 ? std::max(h.tile_height, 1) : 1;
        const int first = (h.height - 1) / rows * rows;
        std::vector<float> last(static_cast<size_t>(h.width) * h.nchannels * (h.height - first));
        ok = h.tile_width > 0 ? in->read_tiles(0, 0, h.x, h.x + h.width, h.y + first, h.y + h.height, h.z,
                                               h.z + std::max(h.depth, 1), 0, h.nchannels, TypeDesc::FLOAT,
                                               last.data())
                              : in->read_scanlines(0, 0, h.y + first, h.y + h.height, h.z, 0, h.nchannels,
                                                   TypeDesc::FLOAT, last.data());
    }
    const std::string libraryError = in ? in->geterror() : OIIO::geterror();
    std::vector<std::string> printed = caught.Finish();
    if (ok && libraryError.empty()) return true;
    *detail = DetailNaming(LibraryDetail("the file written cannot be read back: " + libraryError, printed), file);
    return false;
}

bool DiskIsFull(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    struct statvfs disk {};
    return statvfs(folder.empty() ? "." : folder.c_str(), &disk) == 0 && disk.f_bavail == 0;
}

// Writes encoded samples into `path` through a file replacement: whole, flushed
// and renamed, or not at all, with the reason in our own words.
bool WriteEncoded(const std::string& path, const OIIO::ImageSpec& header, TypeDesc type,
                  const void* pixels, int32_t width, int32_t height, ToolError* error) {
    PendingFile file;
    if (!BeginReplacement(path, &file))
        return Fail(error, kExitOutput, "Cannot write " + Quoted(path) + ": " + FileFailureText(errno) + ".");
    std::string detail;
    bool ok = true;
    if (LowerExtension(path) == "pfm")
        WritePfm(&file, width, height, 3, static_cast<const float*>(pixels));
    else
        ok = WriteWithLibrary(path, &file, header, type, pixels, &detail) &&
             (WritesThroughSink(path) || ReadsBack(file, header, &detail));
    // The library may finish a file although asked to stop.
    if (CancelRequested()) {
        AbandonReplacement(&file);
        return Fail(error, kExitCancelled, "Cancelled; " + Quoted(path) + " was not written.");
    }
    if (file.failure != 0) detail.clear();  // the library only followed the file's failure
    if (ok && CommitReplacement(&file)) return true;
    if (file.failure == 0 && DiskIsFull(path)) file.failure = ENOSPC;  // what a writer by name cannot tell us
    AbandonReplacement(&file);
    if (file.failure != 0)
        return Fail(error, kExitOutput, "Cannot write " + Quoted(path) + ": " + FileFailureText(file.failure) + ".");
    return Fail(error, kExitOutput, "Cannot write " + Quoted(path) + "." + detail);
}

}  // namespace

bool OutputFormatOf(const std::string& path, int documentDepth, OutputFormat* format) {
    const std::string ext = LowerExtension(path);
    for (const KnownOutput& known : kOutputs) {
        if (ext != known.extension) continue;
        OutputSamples samples = known.samples;
        if ((ext == "tif" || ext == "tiff") && documentDepth != 32) samples = OutputSamples::Sixteen;
        *format = OutputFormat{samples, known.keepsAlpha, known.name};
        return true;
    }
    return false;
}

const char* SupportedOutputExtensions() { return ".exr .hdr .pfm .tif .tiff .png .jpg .jpeg"; }

bool CheckOutputPath(const std::string& path, ToolError* error) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return Fail(error, kExitOutput, Quoted(path) + " is a folder; give a file name for the result.");
    OutputFormat format{};
    if (!OutputFormatOf(path, 32, &format))
        return Fail(error, kExitUsage,
                    "Cannot tell which format to write for " + Quoted(path) + ": end its name with one of " +
                        SupportedOutputExtensions() + ".");
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::exists(folder, ec))
        return Fail(error, kExitOutput, "The folder " + Quoted(folder.string()) + " does not exist.");
    if (!fs::is_directory(folder, ec)) return Fail(error, kExitOutput, Quoted(folder.string()) + " is not a folder.");
    if (access(folder.c_str(), W_OK) != 0)
        return Fail(error, kExitOutput,
                    "Cannot write into the folder " + Quoted(folder.string()) + ": " + FileFailureText(errno) + ".");
    if (const int problem = ReplaceableProblem(path))
        return Fail(error, kExitOutput, "Cannot write " + Quoted(path) + ": " + FileFailureText(problem) + ".");
    return true;
}

bool WriteImageFile(const std::string& path, const ImageFile& image, std::vector<std::string>* notes,
                    ToolError* error) {
    OutputFormat format{};
    if (!OutputFormatOf(path, image.document.depth, &format))
        return Fail(error, kExitUsage, "Cannot tell which format to write for " + Quoted(path) + ".");
    const bool withAlpha = !image.alpha.empty() && format.keepsAlpha;
    if (!image.alpha.empty() && !format.keepsAlpha)
        notes->push_back(std::string(format.name) + " files have no alpha channel: " + Quoted(path) +
                         " was written without it.");

    const OutputSamplesOf pixels = EncodePixels(image, format.samples, withAlpha);
    OIIO::ImageSpec header = OutputHeader(image, LowerExtension(path), withAlpha ? 4 : 3, pixels.type);
    SetCompression(LowerExtension(path), pixels.type, &header);

    return WriteEncoded(path, header, pixels.type, pixels.samples, image.document.width, image.document.height,
                        error);
}

bool WritePlanarPicture(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& planes,
                        ToolError* error) {
    const size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> pixels(3 * plane);
    for (size_t k = 0; k < plane; ++k)
        for (size_t c = 0; c < 3; ++c) pixels[3 * k + c] = planes[c * plane + k];
    OIIO::ImageSpec header(width, height, 3, TypeDesc::UINT8);
    SetCompression(LowerExtension(path), TypeDesc::UINT8, &header);
    return WriteEncoded(path, header, TypeDesc::UINT8, pixels.data(), width, height, error);
}
