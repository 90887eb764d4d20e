// Reading image files into documents (ImageFiles.h).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>

#include "../host/FullRun.h"
#include "CodeConversions.h"
#include "ImageFiles.h"
#include "LibraryOutput.h"
#include "Progress.h"
#include "Signals.h"

namespace fs = std::filesystem;
using OIIO::TypeDesc;

namespace {

// Rows read at a time: a multiple of every scanline chunk height of OpenEXR
// (1, 16, 32, 256) and of usual tile heights, so that no chunk is decoded twice.
constexpr int kStripRows = 256;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

bool CheckReadable(const std::string& path, ToolError* error) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return Fail(error, kExitInputMissing, "Cannot find the input file " + Quoted(path) + ".");
    if (fs::is_directory(status))
        return Fail(error, kExitInputMissing, Quoted(path) + " is a folder, not an image file.");
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Fail(error, kExitInputMissing, "Cannot open " + Quoted(path) + ": " + std::strerror(errno) + ".");
    close(fd);
    if (!fs::is_regular_file(status))
        return Fail(error, kExitInputMissing, Quoted(path) + " is not a regular file; give an image file.");
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

std::string Dimensions(const OIIO::ImageSpec& header) {
    return std::to_string(header.width) + " x " + std::to_string(header.height);
}

// Fails with the library's words after our own, for a file that is damaged.
bool Damaged(ToolError* error, const std::string& path, const std::string& what, const std::string& libraryError,
             const std::vector<std::string>& printed) {
    return Fail(error, kExitInputUnreadable,
                Quoted(path) + " is damaged or incomplete: " + what + "." + LibraryDetail(libraryError, printed));
}

// Formats that read any row directly: for them the last rows are read first,
// so that a file too short for its header fails before memory is taken.
bool ReadsRowsDirectly(const std::string& formatName) { return formatName == "openexr" || formatName == "tiff"; }

// Rows of a tiled file go in whole rows of tiles.
int TileRows(const OIIO::ImageSpec& header) { return header.tile_width > 0 ? std::max(header.tile_height, 1) : 1; }

// Reads rows [first, end) of every channel as `type` into `pixels`; false
// with the library's words on any error it reports. In a tiled file `first`
// starts a row of tiles.
bool ReadRows(ImageSource* source, int first, int end, TypeDesc type, void* pixels, std::string* libraryError,
              std::vector<std::string>* printed) {
    const OIIO::ImageSpec& h = source->header;
    CaughtLibraryOutput caught;
    // Rows whose samples are all of `type` already go straight into `pixels`:
    // the library's converting read would take a buffer of 64 MB on every
    // call and copy each sample through it unchanged.
    const bool native = h.channelformats.empty() && h.format == type;
    bool ok = false;
    if (h.tile_width > 0)
        ok = source->input->read_tiles(0, 0, h.x, h.x + h.width, h.y + first, h.y + end, h.z,
                                       h.z + std::max(h.depth, 1), 0, h.nchannels, type, pixels);
    else if (native)
        ok = source->input->read_native_scanlines(0, 0, h.y + first, h.y + end, h.z, pixels);
    else
        ok = source->input->read_scanlines(0, 0, h.y + first, h.y + end, h.z, 0, h.nchannels, type, pixels);
    *libraryError = source->input->geterror();
    *printed = caught.Finish();
    return ok && libraryError->empty();
}

bool ProbeLastRows(ImageSource* source, ToolError* error) {
    if (!ReadsRowsDirectly(source->input->format_name())) return true;
    const OIIO::ImageSpec& h = source->header;
    const int first = (h.height - 1) / TileRows(h) * TileRows(h);
    std::vector<float> rows(static_cast<size_t>(h.width) * h.nchannels * (h.height - first));
    std::string libraryError;
    std::vector<std::string> printed;
    if (ReadRows(source, first, h.height, TypeDesc::FLOAT, rows.data(), &libraryError, &printed)) return true;
    return Damaged(error, source->path, "its last rows cannot be read", libraryError, printed);
}

// Copies `count` interleaved file pixels into the document's three planes
// and the alpha from pixel `first` on, each sample through `toDocument`.
// The pixels may be the document's own place for them: each sample is read
// before it is written.
template <class FileSample, class DocSample, class Convert, class AlphaOf>
void FillDocument(const FileSample* pixels, size_t count, size_t first, const ImageSource& s, DocSample* document,
                  float* alpha, Convert toDocument, AlphaOf alphaOf) {
    document += first * 3;
    const int channels = s.header.nchannels;
    if (s.alphaIndex >= 0) alpha += first;
    for (size_t i = 0; i < count; ++i) {
        const FileSample* p = &pixels[i * channels];
        for (int c = 0; c < 3; ++c) document[i * 3 + c] = toDocument(p[s.grey ? 0 : c]);
        if (s.alphaIndex >= 0) alpha[i] = alphaOf(p[s.alphaIndex]);
    }
}

// Whether the file's samples are the document's, channel for channel: RGB
// without alpha, floats into a 32-bit document or 16-bit values into a
// 16-bit one. Such files are read straight into the document.
bool ReadsIntoDocument(const ImageSource& s) {
    return !s.grey && s.alphaIndex < 0 && s.header.nchannels == 3 && s.fileBits == s.documentDepth;
}

// Reads strip after strip, into `document` itself when it is given, else
// into a strip buffer, then converts each strip into the document; `fill`
// takes (strip samples, pixel count, first pixel index).
template <class FileSample, class Fill>
bool ReadStrips(ImageSource* source, TypeDesc type, FileSample* document, Fill fill, ToolError* error) {
    const OIIO::ImageSpec& h = source->header;
    const int rows = (kStripRows + TileRows(h) - 1) / TileRows(h) * TileRows(h);
    const size_t rowSamples = static_cast<size_t>(h.width) * h.nchannels;
    std::vector<FileSample> strip(document != nullptr ? 0 : rowSamples * std::min(rows, h.height));
    for (int first = 0; first < h.height; first += rows) {
        const int end = std::min(first + rows, h.height);
        FileSample* samples = document != nullptr ? document + static_cast<size_t>(first) * rowSamples : strip.data();
        std::string libraryError;
        std::vector<std::string> printed;
        if (!ReadRows(source, first, end, type, samples, &libraryError, &printed)) {
            if (CancelRequested()) return Fail(error, kExitCancelled, "Cancelled while reading " + Quoted(source->path) + ".");
            return Damaged(error, source->path, "its pixels cannot be read", libraryError, printed);
        }
        fill(samples, static_cast<size_t>(end - first) * h.width, static_cast<size_t>(first) * h.width);
        ProgressUpdate(end, h.height);
        if (CancelRequested()) return Fail(error, kExitCancelled, "Cancelled while reading " + Quoted(source->path) + ".");
    }
    return true;
}

uint64_t Product(uint64_t a, uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
    return a * b;
}

}  // namespace

uint64_t FewestBytesForClaim(const OIIO::ImageSpec& header, const std::string& formatName) {
    const uint64_t width = static_cast<uint64_t>(std::max(header.width, 0));
    const uint64_t height = static_cast<uint64_t>(std::max(header.height, 0));
    if (formatName == "pnm") {
        // PFM stores every float; the other portable maps at least a bit per pixel.
        if (header.format.basetype == TypeDesc::FLOAT) return Product(Product(width, height), header.pixel_bytes(true));
        return Product((width + 7) / 8, height);
    }
    if (formatName == "hdr") {
        // A run-length scanline (8 to 32767 pixels wide) takes a 4-byte mark
        // and, per component, 2 bytes for every run of at most 127 pixels;
        // any other scanline 4 bytes a pixel.
        const uint64_t perRow = width >= 8 && width <= 32767 ? 4 + 4 * 2 * ((width + 126) / 127) : Product(width, 4);
        return Product(perRow, height);
    }
    const bool uncompressed = header.get_string_attribute("compression", "none") == "none";
    if ((formatName == "openexr" || formatName == "tiff") && uncompressed)
        return Product(Product(width, height), header.pixel_bytes(true));
    return 0;
}

bool OpenImageFile(const std::string& path, bool promoteEightBit, ImageSource* source, ToolError* error) {
    *source = ImageSource{};
    source->path = path;
    if (!CheckReadable(path, error)) return false;

    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);  // alpha passes through; colour is not premultiplied
    {
        CaughtLibraryOutput caught;
        source->input = OIIO::ImageInput::open(path, &config);
        const std::string libraryError = OIIO::geterror();
        const std::vector<std::string> printed = caught.Finish();
        if (!source->input)
            return Fail(error, kExitInputUnreadable,
                        Quoted(path) + " is not an image this tool can read, or it is damaged." +
                            LibraryDetail(libraryError, printed));
    }
    const OIIO::ImageSpec& header = source->header = source->input->spec();
    if (header.width <= 0 || header.height <= 0)
        return Fail(error, kExitInputUnreadable,
                    Quoted(path) + " is damaged: its header claims " + Dimensions(header) + " pixels.");

    if (!ChannelLayout(header, &source->grey, &source->alphaIndex))
        return Fail(error, kExitUnsupported,
                    Quoted(path) + " has " + std::to_string(header.nchannels) +
                        " channels; only grey or RGB images, with or without alpha, can be tone-mapped.");
    source->fileBits = DepthOfSamples(header.format);
    if (source->fileBits == 0)
        return Fail(error, kExitUnsupported,
                    Quoted(path) + " stores its pixels as " + header.format.c_str() +
                        "; only 8- and 16-bit integer or floating-point pixels can be read.");
    source->documentDepth = source->fileBits == 8 && promoteEightBit ? 16 : source->fileBits;
    if (source->documentDepth == 8) return true;  // the plug-in refuses it before any pixel is read

    if (header.width < kMinimumImageSide || header.height < kMinimumImageSide)
        return Fail(error, kExitUnsupported,
                    Quoted(path) + " is " + Dimensions(header) + " pixels; the tone mapping needs at least " +
                        std::to_string(kMinimumImageSide) + " x " + std::to_string(kMinimumImageSide) + ".");
    std::error_code ec;
    const uintmax_t fileBytes = fs::file_size(path, ec);
    const uint64_t fewest = FewestBytesForClaim(header, source->input->format_name());
    if (!ec && fileBytes < fewest)
        return Fail(error, kExitInputUnreadable,
                    Quoted(path) + " is damaged or incomplete: its header claims " + Dimensions(header) +
                        " pixels, more than its " + std::to_string(fileBytes) + " bytes can hold.");
    return ProbeLastRows(source, error);
}

bool ReadImagePixels(ImageSource* source, ImageFile* image, ToolError* error) {
    *image = ImageFile{};
    image->grey = source->grey;
    image->fileBits = source->fileBits;
    image->formatName = source->input->format_name();
    image->header = source->header;
    const OIIO::ImageSpec& h = source->header;
    HostDocument& doc = image->document;
    if (source->documentDepth == 8) {
        // The plug-in looks at the depth and refuses; no pixel memory is taken.
        doc.width = h.width;
        doc.height = h.height;
        doc.depth = 8;
        doc.imageMode = plugInModeRGBColor;
        doc.filterRect = VRect{0, 0, h.height, h.width};
        return true;
    }

    doc = MakeDocument(h.width, h.height, 3, static_cast<int16_t>(source->documentDepth));
    if (source->alphaIndex >= 0) image->alpha.resize(static_cast<size_t>(h.width) * h.height);
    float* alpha = image->alpha.data();
    const ImageSource& s = *source;
    const bool straight = ReadsIntoDocument(s);
    if (source->fileBits == 32) {
        float* samples = FloatSamples(doc);
        return ReadStrips<float>(
            source, TypeDesc::FLOAT, straight ? samples : nullptr,
            [&](const float* strip, size_t count, size_t at) {
                if (straight) return;  // the samples are in place already
                FillDocument(
                    strip, count, at, s, samples, alpha, [](float v) { return v; },
                    [](float a) { return a; });
            },
            error);
    }
    uint16_t* codes = Code16Samples(doc);
    if (source->fileBits == 16)
        return ReadStrips<uint16_t>(
            source, TypeDesc::UINT16, straight ? codes : nullptr,
            [&](const uint16_t* strip, size_t count, size_t at) {
                FillDocument(strip, count, at, s, codes, alpha, FileValueToCode,
                             [](uint16_t a) { return a / 65535.0f; });
            },
            error);
    return ReadStrips<uint8_t>(
        source, TypeDesc::UINT8, nullptr,
        [&](const uint8_t* strip, size_t count, size_t at) {
            FillDocument(
                strip, count, at, s, codes, alpha,
                [](uint8_t v) { return FileValueToCode(EightBitToFileValue(v)); }, [](uint8_t a) { return a / 255.0f; });
        },
        error);
}

bool ReadImageFile(const std::string& path, bool promoteEightBit, ImageFile* image, ToolError* error) {
    ImageSource source;
    return OpenImageFile(path, promoteEightBit, &source, error) && ReadImagePixels(&source, image, error);
}
