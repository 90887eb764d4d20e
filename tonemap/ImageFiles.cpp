#include "ImageFiles.h"

#include <OpenImageIO/imageio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "../host/FullRun.h"
#include "CodeConversions.h"
#include "PfmFile.h"
#include "Progress.h"

namespace fs = std::filesystem;
using OIIO::TypeDesc;

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// The first line of the library's own explanation, for the curious.
std::string LibraryDetail(std::string text) {
    text = text.substr(0, text.find('\n'));
    if (text.empty()) return std::string();
    return "\n  (" + text + ")";
}

std::string LowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

bool CheckReadable(const std::string& path, ToolError* error) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return Fail(error, kExitInputMissing, "Cannot find the input file " + Quoted(path) + ".");
    if (fs::is_directory(status))
        return Fail(error, kExitInputMissing, Quoted(path) + " is a folder, not an image file.");
    if (!std::ifstream(path, std::ios::binary))
        return Fail(error, kExitInputMissing, "Cannot open " + Quoted(path) + ": permission denied.");
    return true;
}

// The document depth a file's samples call for: 32 for floats, else their bits.
int DepthOfSamples(TypeDesc type) {
    switch (type.basetype) {
        case TypeDesc::HALF:
        case TypeDesc::FLOAT:
        case TypeDesc::DOUBLE: return 32;
        case TypeDesc::UINT16: return 16;
        case TypeDesc::UINT8: return 8;
        default: return 0;
    }
}

// Which file channel is alpha, -1 for none, and whether the colour is grey;
// false for channel layouts the plug-in has no use for.
bool ChannelLayout(const OIIO::ImageSpec& header, bool* grey, int* alphaIndex) {
    const int n = header.nchannels;
    *alphaIndex = (n == 2 || n == 4) ? header.alpha_channel : -1;
    if (n == 2 && *alphaIndex == -1) *alphaIndex = 1;  // grey and alpha is the only two-channel layout
    *grey = n <= 2;
    if (n == 1 || n == 3) return true;
    return (n == 2 && *alphaIndex == 1) || (n == 4 && *alphaIndex == 3);
}

// Copies interleaved file pixels into the document's three planes and the
// alpha, each sample through `toDocument`.
template <class FileSample, class DocSample, class Convert, class AlphaOf>
void FillDocument(const std::vector<FileSample>& pixels, int channels, int alphaIndex, bool grey, DocSample* document,
                  Convert toDocument, AlphaOf alphaOf, std::vector<float>* alpha) {
    const size_t count = pixels.size() / static_cast<size_t>(channels);
    if (alphaIndex >= 0) alpha->resize(count);
    for (size_t i = 0; i < count; ++i) {
        const FileSample* p = &pixels[i * channels];
        for (int c = 0; c < 3; ++c) document[i * 3 + c] = toDocument(p[grey ? 0 : c]);
        if (alphaIndex >= 0) (*alpha)[i] = alphaOf(p[alphaIndex]);
    }
}

template <class T>
bool ReadPixels(OIIO::ImageInput& in, const OIIO::ImageSpec& header, TypeDesc type, std::vector<T>* pixels) {
    pixels->resize(static_cast<size_t>(header.width) * header.height * header.nchannels);
    return in.read_image(0, 0, 0, header.nchannels, type, pixels->data(), OIIO::AutoStride, OIIO::AutoStride,
                         OIIO::AutoStride, ImageLibraryProgress);
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

// The document's pixels (and alpha) as the output's samples, interleaved,
// in a byte buffer (allocated with the alignment of any sample type).
template <class Out, class FromFloat, class FromCode>
std::vector<uint8_t> OutputPixels(const ImageFile& image, bool withAlpha, FromFloat fromFloat, FromCode fromCode,
                                  float alphaScale) {
    const HostDocument& doc = image.document;
    const size_t count = static_cast<size_t>(doc.width) * doc.height;
    const int channels = withAlpha ? 4 : 3;
    std::vector<uint8_t> bytes(count * channels * sizeof(Out));
    Out* out = reinterpret_cast<Out*>(bytes.data());
    for (size_t i = 0; i < count; ++i) {
        for (int c = 0; c < 3; ++c) {
            const size_t s = i * 3 + c;
            out[i * channels + c] = doc.depth == 32 ? fromFloat(FloatSamples(doc)[s]) : fromCode(Code16Samples(doc)[s]);
        }
        if (withAlpha) {
            const float a = image.alpha[i];
            if constexpr (std::is_floating_point_v<Out>)
                out[i * channels + 3] = a;
            else
                out[i * channels + 3] = static_cast<Out>(std::floor(std::clamp(a, 0.0f, 1.0f) * alphaScale + 0.5f));
        }
    }
    return bytes;
}

// The output's samples as bytes, with their type.
std::vector<uint8_t> EncodePixels(const ImageFile& image, OutputSamples samples, bool withAlpha, TypeDesc* type) {
    if (samples == OutputSamples::Float) {
        *type = TypeDesc::FLOAT;
        return OutputPixels<float>(
            image, withAlpha, [](float v) { return v; }, CodeToLinear, 1.0f);
    }
    if (samples == OutputSamples::Sixteen) {
        *type = TypeDesc::UINT16;
        return OutputPixels<uint16_t>(
            image, withAlpha, [](float v) { return static_cast<uint16_t>(LinearToDisplay(v, 65535)); }, CodeToFileValue,
            65535.0f);
    }
    *type = TypeDesc::UINT8;
    return OutputPixels<uint8_t>(
        image, withAlpha, [](float v) { return static_cast<uint8_t>(LinearToDisplay(v, 255)); }, CodeTo8Bit, 255.0f);
}

// Lossless compression that keeps a 12-megapixel image's writing to a second
// or two (the libraries' defaults take several); JPEG at quality 95.
void SetCompression(const std::string& extension, OIIO::ImageSpec* header) {
    if (extension == "exr") header->attribute("compression", "piz");
    if (extension == "tif" || extension == "tiff") {
        header->attribute("compression", "zip");
        header->attribute("tiff:zipquality", 1);
    }
    if (extension == "png") header->attribute("png:compressionLevel", 1);
    if (extension == "jpg" || extension == "jpeg") header->attribute("Compression", "jpeg:95");
}

// Writes `pixels` into `temporary` in the format that `path`'s extension names.
bool WriteWithLibrary(const std::string& temporary, const std::string& path, const OIIO::ImageSpec& header, TypeDesc type,
                      const std::vector<uint8_t>& pixels, std::string* problem) {
    auto out = OIIO::ImageOutput::create(path);
    if (!out) {
        *problem = OIIO::geterror();
        return false;
    }
    bool ok = out->open(temporary, header) && out->write_image(type, pixels.data(), OIIO::AutoStride, OIIO::AutoStride,
                                                             OIIO::AutoStride, ImageLibraryProgress);
    ok = out->close() && ok;
    if (!ok) *problem = out->geterror();
    return ok;
}

std::string TemporaryNameFor(const std::string& path) {
    const fs::path target(path);
    return (target.parent_path() / (".tonemap-" + std::to_string(getpid()) + "-" + target.filename().string()))
        .string();
}

// Writes through `write` under a temporary name beside `path` and renames it
// into place, so that no partial file ever carries the output's name.
template <class Write>
bool WriteAndRename(const std::string& path, ToolError* error, const Write& write) {
    const std::string temporary = TemporaryNameFor(path);
    auto fail = [&](const std::string& detail) {
        std::error_code ec;
        fs::remove(temporary, ec);
        if (CancelRequested()) return Fail(error, kExitCancelled, "Cancelled; " + Quoted(path) + " was not written.");
        return Fail(error, kExitOutput, "Cannot write " + Quoted(path) + "." + LibraryDetail(detail));
    };
    std::string problem;
    if (!write(temporary, &problem)) return fail(problem);
    if (CancelRequested()) return fail("");  // the library may finish a file although asked to stop
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) return fail(ec.message());
    return true;
}

}  // namespace

bool ReadImageFile(const std::string& path, bool promoteEightBit, ImageFile* image, ToolError* error) {
    *image = ImageFile{};
    if (!CheckReadable(path, error)) return false;

    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);  // alpha passes through; colour is not premultiplied
    auto in = OIIO::ImageInput::open(path, &config);
    if (!in)
        return Fail(
            error, kExitInputUnreadable,
            Quoted(path) + " is not an image this tool can read, or it is damaged." + LibraryDetail(OIIO::geterror()));
    const OIIO::ImageSpec& header = in->spec();
    image->formatName = in->format_name();

    int alphaIndex = -1;
    if (!ChannelLayout(header, &image->grey, &alphaIndex))
        return Fail(error, kExitUnsupported,
                    Quoted(path) + " has " + std::to_string(header.nchannels) +
                        " channels; only grey or RGB images, with or without alpha, can be tone-mapped.");
    const int bits = DepthOfSamples(header.format);
    if (bits == 0)
        return Fail(error, kExitUnsupported,
                    Quoted(path) + " stores its pixels as " + header.format.c_str() +
                        "; only 8- and 16-bit integer or floating-point pixels can be read.");
    image->fileBits = bits;

    HostDocument& doc = image->document;
    if (bits == 8 && !promoteEightBit) {
        doc = MakeDocument(header.width, header.height, 3, 8);  // the plug-in refuses it before reading pixels
        return true;
    }
    if (header.width < kMinimumImageSide || header.height < kMinimumImageSide)
        return Fail(error, kExitUnsupported,
                    Quoted(path) + " is " + std::to_string(header.width) + " x " + std::to_string(header.height) +
                        " pixels; the tone mapping needs at least " + std::to_string(kMinimumImageSide) + " x " +
                        std::to_string(kMinimumImageSide) + ".");

    doc = MakeDocument(header.width, header.height, 3, bits == 32 ? 32 : 16);
    bool read = false;
    const int n = header.nchannels;
    if (bits == 32) {
        std::vector<float> pixels;
        read = ReadPixels(*in, header, TypeDesc::FLOAT, &pixels);
        FillDocument(
            pixels, n, alphaIndex, image->grey, FloatSamples(doc), [](float v) { return v; }, [](float a) { return a; },
            &image->alpha);
    } else if (bits == 16) {
        std::vector<uint16_t> pixels;
        read = ReadPixels(*in, header, TypeDesc::UINT16, &pixels);
        FillDocument(
            pixels, n, alphaIndex, image->grey, Code16Samples(doc), FileValueToCode,
            [](uint16_t a) { return a / 65535.0f; }, &image->alpha);
    } else {
        std::vector<uint8_t> pixels;
        read = ReadPixels(*in, header, TypeDesc::UINT8, &pixels);
        FillDocument(
            pixels, n, alphaIndex, image->grey, Code16Samples(doc),
            [](uint8_t v) { return FileValueToCode(EightBitToFileValue(v)); }, [](uint8_t a) { return a / 255.0f; },
            &image->alpha);
    }
    if (!read)
        return Fail(
            error, kExitInputUnreadable,
            Quoted(path) + " is damaged or incomplete: its pixels cannot be read." + LibraryDetail(in->geterror()));
    return true;
}

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
                    "Cannot write into the folder " + Quoted(folder.string()) + ": permission denied.");
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

    TypeDesc type;
    const std::vector<uint8_t> pixels = EncodePixels(image, format.samples, withAlpha, &type);
    OIIO::ImageSpec header(image.document.width, image.document.height, withAlpha ? 4 : 3, type);
    if (withAlpha) header.attribute("oiio:UnassociatedAlpha", 1);
    SetCompression(LowerExtension(path), &header);

    const bool pfm = LowerExtension(path) == "pfm";
    return WriteAndRename(path, error, [&](const std::string& temporary, std::string* problem) {
        if (pfm)
            return WritePfm(temporary, image.document.width, image.document.height, 3,
                            reinterpret_cast<const float*>(pixels.data()), problem);
        return WriteWithLibrary(temporary, path, header, type, pixels, problem);
    });
}

bool WritePlanarPicture(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& planes,
                        ToolError* error) {
    const size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> pixels(3 * plane);
    for (size_t k = 0; k < plane; ++k)
        for (size_t c = 0; c < 3; ++c) pixels[3 * k + c] = planes[c * plane + k];
    OIIO::ImageSpec header(width, height, 3, TypeDesc::UINT8);
    SetCompression(LowerExtension(path), &header);
    return WriteAndRename(path, error, [&](const std::string& temporary, std::string* problem) {
        return WriteWithLibrary(temporary, path, header, TypeDesc::UINT8, pixels, problem);
    });
}
