#include "Options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "../host/PluginIdentity.h"
#include "../host/SettingsTable.h"
#include "ExitCodes.h"
#include "ImageFiles.h"
#include "SettingOptions.h"

#ifndef TONEMAP_VERSION
#define TONEMAP_VERSION "0"
#endif

namespace {

enum class Takes { Nothing, Value };

struct PlainOption {
    const char* name;
    Takes takes;
};

// The options besides the fifteen settings, which SettingForOption knows.
const PlainOption kPlainOptions[] = {
    {"360", Takes::Nothing},
    {"settings", Takes::Value},
    {"save-settings", Takes::Value},
    {"previous", Takes::Nothing},
    {"print-settings", Takes::Nothing},
    {"output-dir", Takes::Value},
    {"format", Takes::Value},
    {"depth", Takes::Value},
    {"plugin", Takes::Value},
    {"example", Takes::Value},
    {"preview", Takes::Value},
    {"show-original", Takes::Nothing},
    {"histogram", Takes::Value},
    {"quiet", Takes::Nothing},
    {"help", Takes::Nothing},
    {"version", Takes::Nothing},
};

const PlainOption* FindPlainOption(const std::string& name) {
    for (const PlainOption& option : kPlainOptions)
        if (name == option.name) return &option;
    return nullptr;
}

bool Problem(std::string* problem, std::string text) {
    *problem = std::move(text);
    return false;
}

// small, medium, large or the longer side itself; 0 for anything else.
int32_t PreviewSizeOf(std::string value) {
    std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return std::tolower(c); });
    if (value == "small" || value == "512") return 512;
    if (value == "medium" || value == "768") return 768;
    if (value == "large" || value == "1024") return 1024;
    return 0;
}

bool EndsWithPng(const std::string& path) {
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".png";
}

bool ApplyPlainOption(const std::string& name, const std::string& value, ToolOptions* o, std::string* problem) {
    if (FindPlainOption(name)->takes == Takes::Value && value.empty())
        return Problem(problem, "--" + name + " needs a value.");
    if (name == "360") o->is360 = true;
    if (name == "settings") o->settingsFile = value;
    if (name == "save-settings") o->saveSettingsFile = value;
    if (name == "previous") o->previous = true;
    if (name == "print-settings") o->printSettings = true;
    if (name == "output-dir") o->outputDir = value;
    if (name == "plugin") o->pluginPath = value;
    if (name == "example") o->exampleDir = value;
    if (name == "quiet") o->quiet = true;
    if (name == "help") o->help = true;
    if (name == "version") o->version = true;
    if (name == "show-original") o->showOriginal = true;
    if (name == "histogram") o->histogramFile = value;
    if (name == "preview") {
        o->previewSize = PreviewSizeOf(value);
        if (o->previewSize == 0)
            return Problem(problem, "--preview: \"" + value +
                                        "\" is not a preview size; use small, medium, large, 512, 768 or 1024.");
    }
    if (name == "format") {
        o->format = value;
        if (!o->format.empty() && o->format[0] == '.') o->format.erase(0, 1);
        OutputFormat known{};
        if (!OutputFormatOf("x." + o->format, 32, &known))
            return Problem(problem, "--format: \"" + value + "\" is not a format tonemap writes; use one of " +
                                        SupportedOutputExtensions() + ".");
    }
    if (name == "depth") {
        if (value != "16") return Problem(problem, "--depth: only 16 is possible (open 8-bit files as 16-bit images).");
        o->promoteEightBit = true;
    }
    return true;
}

// Checks the combination of file names and options once all are known.
bool CheckCombination(std::vector<std::string> positional, ToolOptions* o, std::string* problem) {
    if (o->help || o->version) return true;
    if (!o->settingsFile.empty() && o->previous)
        return Problem(problem, "Use either --settings or --previous, not both.");
    if (!o->exampleDir.empty()) {
        if (!positional.empty() || !o->outputDir.empty())
            return Problem(problem, "--example writes its own files; give no image files with it.");
        return true;
    }
    if ((o->showOriginal || !o->histogramFile.empty()) && o->previewSize == 0)
        return Problem(problem, "--show-original and --histogram go with --preview.");
    if (o->previewSize != 0 && (!o->outputDir.empty() || !o->exampleDir.empty()))
        return Problem(problem, "--preview writes one picture: give one INPUT and an OUTPUT.png.");
    if (!o->format.empty() && o->outputDir.empty())
        return Problem(problem, "--format goes with --output-dir; otherwise the output's name says the format.");
    if (!o->outputDir.empty()) {
        if (positional.empty()) return Problem(problem, "Give the images to tone-map before or after --output-dir.");
        o->inputs = std::move(positional);
        return true;
    }
    const bool settingsOnly = !o->saveSettingsFile.empty() || o->printSettings;
    if (positional.empty()) {
        if (settingsOnly) return true;
        return Problem(problem, "Give an input image and an output file name (see tonemap --help).");
    }
    if (positional.size() == 1)
        return Problem(problem,
                       "Give an output file name after \"" + positional[0] + "\", or a folder with --output-dir.");
    if (positional.size() > 2)
        return Problem(problem,
                       "Several images need --output-dir DIR; without it tonemap takes one INPUT and "
                       "one OUTPUT.");
    if (o->previewSize != 0 && !EndsWithPng(positional[1]))
        return Problem(problem, "--preview writes an 8-bit PNG picture: end the output's name with .png.");
    o->inputs = {positional[0]};
    o->output = positional[1];
    return true;
}

std::string Padded(std::string text, size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

std::string SettingsHelp() {
    TMGlobals globals{};
    TMSettings defaults{};
    SetDefaultSettings(&defaults, &globals);
    int32_t slots[kSettingCount];
    SettingsToArray(defaults, slots);

    std::string text;
    for (int slot = 0; slot < kSettingCount; ++slot) {
        const SettingInfo& info = SettingForSlot(slot);
        std::string name =
            "  --" + std::string(info.option) + (info.label == LabelUnit::SmoothingLevel ? " LEVEL" : " N");
        std::string line =
            Padded(name, 32) + SettingRangeText(info) + "; default " + SettingValueText(info, slots[slot]);
        if (info.field == &TMSettings::strength) line += ", 40 for 16-bit images";
        text += line + "\n";
    }
    return text;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, ToolOptions* o, std::string* problem) {
    *o = ToolOptions{};
    std::vector<std::string> positional;
    bool onlyFiles = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (arg == "-h" || arg == "-q") {
            (arg == "-h" ? o->help : o->quiet) = true;
            continue;
        }
        if (arg.compare(0, 2, "--") != 0)
            return Problem(problem, "Unknown option \"" + arg + "\" (see tonemap --help).");

        const size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const SettingInfo* setting = SettingForOption(name);
        const PlainOption* plain = FindPlainOption(name);
        if (setting == nullptr && plain == nullptr)
            return Problem(problem, "Unknown option \"--" + name + "\" (see tonemap --help).");

        const bool takesValue = setting != nullptr || plain->takes == Takes::Value;
        std::string value;
        if (equals != std::string::npos) {
            if (!takesValue) return Problem(problem, "--" + name + " takes no value.");
            value = arg.substr(equals + 1);
        } else if (takesValue) {
            if (i + 1 >= args.size()) return Problem(problem, "--" + name + " needs a value.");
            value = args[++i];
        }
        if (setting != nullptr) {
            if (!ParseSettingValue(*setting, value, &o->value[setting->slot], problem)) return false;
            o->given[setting->slot] = true;
        } else if (!ApplyPlainOption(name, value, o, problem)) {
            return false;
        }
    }
    return CheckCombination(std::move(positional), o, problem);
}

std::string VersionText() {
    return std::string("tonemap ") + TONEMAP_VERSION + ", a command-line host of the Tone Mapping plug-in " +
           TM_PLUGIN_VERSION_TEXT + "\n";
}

std::string HelpText() {
    std::string text =
        "Usage: tonemap [options] INPUT OUTPUT\n"
        "       tonemap [options] INPUT... --output-dir DIR\n"
        "       tonemap [options] --preview SIZE INPUT OUTPUT.png\n"
        "       tonemap [options] --example DIR\n"
        "\n"
        "Tone-maps high-dynamic-range images so that detail in the highlights and in the\n"
        "shadows shows on an ordinary screen. tonemap loads the Tone Mapping plug-in\n"
        "(ToneMapping.so beside the program) and hands it the settings the way Photoshop\n"
        "plays back a recorded action with the dialog turned off: a file comes out as it\n"
        "would from Photoshop with the same settings.\n"
        "\n"
        "Examples:\n"
        "  tonemap church.exr church.png\n"
        "      The default settings; a 16-bit PNG ready for the screen.\n"
        "  tonemap --strength 85 --luminosity 3 --smoothing medium window.hdr window.tif\n"
        "      More detail, brighter, medium light smoothing; a float TIFF, linear like\n"
        "      the input.\n"
        "  tonemap --settings look.xmp --gamma 1.2 *.exr --output-dir out --format jpg\n"
        "      Every EXR with the settings saved from the plug-in's dialog, but gamma\n"
        "      1.20, as JPEG files into the folder out.\n"
        "  tonemap --previous scan.tif scan-tonemapped.tif\n"
        "      The settings of the last completed run once more.\n"
        "  tonemap --color-saturation 60 --save-settings look.xmp\n"
        "      Writes a settings file for the dialog's \"Load...\" button; no image needed.\n"
        "  tonemap --example example\n"
        "      Writes a synthetic HDR scene and its tone-mapped version into example/.\n"
        "\n"
        "Settings, in the units the plug-in's dialog shows. Every run starts from the\n"
        "values of the dialog's Default button, unless --settings or --previous says\n"
        "otherwise; options given beside those win.\n";
    text += SettingsHelp();
    text +=
        "  --gamma takes the nearest of the slider's 101 positions (1.5 becomes 1.49);\n"
        "  --white-clip and --black-clip go in steps of 0.00005 percent.\n"
        "\n";
    text +=
        "  --360                         the image is a 360-degree panorama whose left and\n"
        "                                right edges meet\n"
        "  --settings FILE.xmp           start from a settings file saved by the plug-in;\n"
        "                                like the dialog's \"Load...\", it sets all fifteen\n"
        "  --previous                    start from the settings of the last completed run\n"
        "                                (kept in ~/.config/tonemap/registry.txt)\n"
        "  --save-settings FILE.xmp      write the settings used, for the first image\n"
        "                                (- for standard output)\n"
        "  --print-settings              print the settings used, as options\n"
        "\n"
        "Files:\n"
        "  --output-dir DIR              write each result into DIR under its input's name\n"
        "  --format EXT                  with --output-dir: the type of the results (exr, png,\n"
        "                                jpg, ...); default: the input's own\n"
        "  --depth 16                    open 8-bit files as 16-bit images (the plug-in\n"
        "                                refuses 8-bit images)\n"
        "  --plugin FILE                 the plug-in module to load\n"
        "  -q, --quiet                   no progress bar and no notes, only errors\n"

        "  -h, --help                    this text\n"
        "  --version                     the version\n"
        "\n"
        "The dialog's preview:\n"
        "  --preview SIZE                write the picture the plug-in's dialog shows, not\n"
        "                                the result: SIZE is small, medium or large (512,\n"
        "                                768 or 1024 pixels on the longer side); an 8-bit\n"
        "                                PNG no larger than the image\n"
        "  --show-original               with --preview: the picture \"Show Original\" shows\n"
        "  --histogram FILE.txt          with --preview: the dialog's histogram of the\n"
        "                                picture, 256 counts, one per line\n"
        "\n"
        "What is read:\n"
        "  OpenEXR, Radiance HDR, PFM, float TIFF   a 32-bit image, linear light\n"
        "  16-bit TIFF and PNG                      a 16-bit image\n"
        "  8-bit PNG, TIFF, JPEG                    refused, unless --depth 16\n"
        "  Grey images are tone-mapped as RGB and written as RGB. An alpha channel passes\n"
        "  through unchanged. Images need at least 100 x 100 pixels.\n"
        "\n"
        "What is written, by the output's extension:\n"
        "                   from a 32-bit image               from a 16-bit image\n"
        "  .exr .hdr .pfm   the linear result as it is        the result made linear (^2.2)\n"
        "  .tif .tiff       float TIFF, linear                16-bit TIFF\n"
        "  .png             16-bit, display values (^1/2.2)   16-bit\n"
        "  .jpg .jpeg       8-bit, display values (^1/2.2)    8-bit\n"
        "  Radiance HDR, PFM and JPEG files have no alpha channel. A result is written\n"
        "  under a temporary name and renamed when complete: an interrupted run (Ctrl+C)\n"
        "  leaves no partial file.\n"
        "\n"
        "Exit status:\n"
        "  0  done\n"
        "  1  internal error of tonemap\n"
        "  2  wrong command line: unknown option, bad or out-of-range value\n"
        "  3  an input file is missing or cannot be opened\n"
        "  4  an input file is damaged, incomplete or not an image\n"
        "  5  an image cannot be tone-mapped: 8 bits, channels, smaller than 100 x 100\n"
        "  6  a result cannot be written: no such folder, no permission, a folder's name\n"
        "  7  a settings file cannot be read or written\n"
        "  8  not enough memory\n"
        "  9  cancelled\n"
        "  10 the plug-in cannot be loaded or failed\n"
        "With several images, tonemap goes on after a failure and exits with the status\n"
        "of the first one.\n";
    return text;
}
