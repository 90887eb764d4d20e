// Image files in and out of the host's documents, through OpenImageIO.
//
// In: float files (OpenEXR, Radiance HDR, PFM, float TIFF) become 32-bit
// documents of their linear values; 16-bit files (TIFF, PNG) 16-bit documents
// of codes 0..32768; 8-bit files become 8-bit documents, which the plug-in
// refuses, unless promoted to 16 bits. Grey images become RGB; alpha is kept
// aside and written back unchanged. A header is believed only as far as the
// file can back it: its size is checked against the file's length before any
// pixel memory is taken, and every error the library reports while reading
// makes the file damaged.
//
// Out, by the output's extension: see OutputFormatOf. Every output is written
// through FileReplacement.h: whole or not at all.
#pragma once

#include <OpenImageIO/imageio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../minihost/MiniHost.h"
#include "ExitCodes.h"

struct ImageFile {
    HostDocument document;     // three planes, depth 32, 16 or 8 (8: no pixels read)
    std::vector<float> alpha;  // one value per pixel when the file has alpha; 0..1 for integer files
    bool grey = false;         // the file had one colour channel
    int fileBits = 0;          // 8, 16, or 32 for float files
    std::string formatName;    // as OpenImageIO names it ("openexr", "png", ...)
    OIIO::ImageSpec header;    // the input's header: its windows and metadata go on to the output
};

// An input whose header has been checked and whose pixels are still in the file.
struct ImageSource {
    std::string path;
    std::unique_ptr<OIIO::ImageInput> input;
    OIIO::ImageSpec header;
    int fileBits = 0;
    int alphaIndex = -1;
    bool grey = false;
    int documentDepth = 0;  // 32, 16, or 8 for a refused 8-bit file
};

// Opens an image and checks its header: the channels and samples the plug-in
// can use, a size the file can hold, and, where the format allows it, that
// its last rows can be read. With `promoteEightBit` 8-bit files become 16-bit
// documents (each value v as the 16-bit value v x 257), as the host's mode
// change does.
bool OpenImageFile(const std::string& path, bool promoteEightBit, ImageSource* source, ToolError* error);

// Reads the pixels, strip by strip, into a new document.
bool ReadImagePixels(ImageSource* source, ImageFile* image, ToolError* error);

// Both of the above.
bool ReadImageFile(const std::string& path, bool promoteEightBit, ImageFile* image, ToolError* error);

// The fewest bytes in which a file of this format can hold the pixels its
// header claims; 0 when the format can compress them without a useful limit.
uint64_t FewestBytesForClaim(const OIIO::ImageSpec& header, const std::string& formatName);

// What an output file holds, by its extension and the document's depth.
enum class OutputSamples { Float, Sixteen, Eight };

struct OutputFormat {
    OutputSamples samples;
    bool keepsAlpha;
    const char* name;  // for messages: "OpenEXR", "PNG", ...
};

bool OutputFormatOf(const std::string& path, int documentDepth, OutputFormat* format);

// The extensions OutputFormatOf knows, for messages and help.
const char* SupportedOutputExtensions();

// Checks before any work that the output can be written there: a known
// extension, an existing folder that accepts files, not a folder itself, not
// a file that is not a regular file.
bool CheckOutputPath(const std::string& path, ToolError* error);

// Writes under a temporary name beside the output, flushes it to the disk and
// renames it into place, so that no partial file ever carries the output's
// name and no temporary file stays behind. Notes what the format could not
// keep (alpha) into `notes`.
bool WriteImageFile(const std::string& path, const ImageFile& image, std::vector<std::string>* notes, ToolError* error);

// Writes an 8-bit RGB picture given as three planes of width x height bytes
// (red, green, blue) to a PNG file, as WriteImageFile writes.
bool WritePlanarPicture(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& planes,
                        ToolError* error);
