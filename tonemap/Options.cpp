#include "Options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "../host/FullRun.h"
#include "../host/PluginIdentity.h"
#include "../settings/SettingsTable.h"
#include "ExitCodes.h"
#include "ImageFiles.h"
#include "SettingOptions.h"

namespace {

bool Problem(std::string* problem, std::string text) {
    *problem = std::move(text);
    return false;
}

// Where --help lists an option: beside the settings, among the files, or
// with the dialog's preview.
enum class HelpGroup { Settings, Files, Preview };

// An option besides the fifteen settings (SettingForOption knows those):
// its names, what it sets and how --help explains it, in one place.
struct PlainOption {
    const char* name;       // after "--"
    char shortName;         // after "-", or 0
    const char* valueName;  // the value's name in --help; null: the option takes no value
    HelpGroup group;
    const char* help;                // '\n' starts a further line
    bool ToolOptions::*flag;         // set by the option, or null
    std::string ToolOptions::*text;  // takes the value, or null
    // Checks the value and puts it in the form kept; null: any value is kept.
    bool (*check)(std::string* value, std::string* problem);
};

bool CheckFormat(std::string* value, std::string* problem) {
    const std::string given = *value;
    if (!value->empty() && (*value)[0] == '.') value->erase(0, 1);
    OutputFormat known{};
    if (!OutputFormatOf("x." + *value, 32, &known))
        return Problem(problem, "--format: \"" + given + "\" is not a format tonemap writes; use one of " +
                                    SupportedOutputExtensions() + ".");
    return true;
}

std::string LowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// A settings file keeps the plug-in's extension, so that no image (a shell
// pattern's first match, say) is ever taken for one and replaced.
bool CheckSettingsName(std::string* value, std::string* problem) {
    if (*value == "-" || LowerExtension(*value) == ".xmp") return true;
    return Problem(problem, "--save-settings: \"" + *value +
                                "\" is not a settings file name; settings files end in .xmp (- writes to standard "
                                "output).");
}

// The histogram is text, and its name says so, for the same reason.
bool CheckHistogramName(std::string* value, std::string* problem) {
    if (LowerExtension(*value) == ".txt") return true;
    return Problem(problem, "--histogram: \"" + *value + "\" is not a text file name; end it in .txt.");
}

// small, medium or large, or the longer side itself; kept as the side.
bool CheckPreviewSize(std::string* value, std::string* problem) {
    std::string name = *value;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name == "small" || name == "512") *value = "512";
    else if (name == "medium" || name == "768") *value = "768";
    else if (name == "large" || name == "1024") *value = "1024";
    else
        return Problem(problem, "--preview: \"" + *value +
                                    "\" is not a preview size; use small, medium, large, 512, 768 or 1024.");
    return true;
}

bool EndsWithPng(const std::string& path) {
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".png";
}

bool CheckDepth(std::string* value, std::string* problem) {
    return *value == "16" || Problem(problem, "--depth: only 16 is possible (open 8-bit files as 16-bit images).");
}

// In the order of --help.
const PlainOption kPlainOptions[] = {
    {"360", 0, nullptr, HelpGroup::Settings, "the image is a 360-degree panorama whose left and\nright edges meet",
     &ToolOptions::is360, nullptr, nullptr},
    {"settings", 0, "FILE.xmp", HelpGroup::Settings,
     "start from a settings file saved by the plug-in;\nlike the dialog's \"Load...\", it sets all fifteen", nullptr,
     &ToolOptions::settingsFile, nullptr},
    {"previous", 0, nullptr, HelpGroup::Settings,
     "start from the settings of the last completed run\n(kept in ~/.config/tonemap/registry.txt)",
     &ToolOptions::previous, nullptr, nullptr},
    {"save-settings", 0, "FILE.xmp", HelpGroup::Settings,
     "write the settings used, for the first image\n(- for standard output)", nullptr,
     &ToolOptions::saveSettingsFile, CheckSettingsName},
    {"print-settings", 0, nullptr, HelpGroup::Settings, "print the settings used, as options",
     &ToolOptions::printSettings, nullptr, nullptr},
    {"output-dir", 0, "DIR", HelpGroup::Files, "write each result into DIR under its input's name", nullptr,
     &ToolOptions::outputDir, nullptr},
    {"format", 0, "EXT", HelpGroup::Files,
     "with --output-dir: the type of the results (exr, png,\njpg, ...); default: the input's own", nullptr,
     &ToolOptions::format, CheckFormat},
    {"depth", 0, "16", HelpGroup::Files, "open 8-bit files as 16-bit images (the plug-in\nrefuses 8-bit images)",
     &ToolOptions::promoteEightBit, nullptr, CheckDepth},
    {"plugin", 0, "FILE", HelpGroup::Files, "the plug-in module to load", nullptr, &ToolOptions::pluginPath, nullptr},
    {"example", 0, "DIR", HelpGroup::Files, "write a synthetic HDR scene and its tone-mapped\nversion into DIR",
     nullptr, &ToolOptions::exampleDir, nullptr},
    {"quiet", 'q', nullptr, HelpGroup::Files, "no progress bar and no notes, only errors", &ToolOptions::quiet,
     nullptr, nullptr},
    {"help", 'h', nullptr, HelpGroup::Files, "this text", &ToolOptions::help, nullptr, nullptr},
    {"version", 0, nullptr, HelpGroup::Files, "the version", &ToolOptions::version, nullptr, nullptr},
    {"preview", 0, "SIZE", HelpGroup::Preview,
     "write the picture the plug-in's dialog shows instead\nof the result: SIZE is small, medium or large (512,\n"
     "768 or 1024 pixels on the longer side); an 8-bit PNG\nno larger than the image",
     nullptr, &ToolOptions::preview, CheckPreviewSize},
    {"show-original", 0, nullptr, HelpGroup::Preview, "with --preview: the picture \"Show Original\" shows",
     &ToolOptions::showOriginal, nullptr, nullptr},
    {"histogram", 0, "FILE.txt", HelpGroup::Preview,
     "with --preview: the dialog's histogram of the picture,\n256 counts, one per line", nullptr,
     &ToolOptions::histogramFile, CheckHistogramName},
};

bool ApplyPlainOption(const PlainOption& option, std::string value, ToolOptions* o, std::string* problem) {
    if (option.valueName != nullptr && value.empty())
        return Problem(problem, "--" + std::string(option.name) + " needs a value.");
    if (option.check != nullptr && !option.check(&value, problem)) return false;
    if (option.flag != nullptr) o->*option.flag = true;
    if (option.text != nullptr) o->*option.text = std::move(value);
    return true;
}

const PlainOption* FindPlainOption(const std::string& name) {
    for (const PlainOption& option : kPlainOptions)
        if (name == option.name) return &option;
    return nullptr;
}

// "-q" and the like; only options without a value have a short form.
const PlainOption* FindShortOption(const std::string& arg) {
    for (const PlainOption& option : kPlainOptions)
        if (option.shortName != 0 && arg.size() == 2 && arg[0] == '-' && arg[1] == option.shortName) return &option;
    return nullptr;
}

// A word that is an option rather than a value: "--..." (but not "--"
// itself), or one of the short options. Negative numbers are values.
bool IsOption(const std::string& word) {
    return (word.size() > 2 && word.compare(0, 2, "--") == 0) || FindShortOption(word) != nullptr;
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
    if ((o->showOriginal || !o->histogramFile.empty()) && o->preview.empty())
        return Problem(problem, "--show-original and --histogram go with --preview.");
    if (!o->preview.empty() && (!o->outputDir.empty() || !o->exampleDir.empty()))
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
    if (!o->preview.empty() && !EndsWithPng(positional[1]))
        return Problem(problem, "--preview writes an 8-bit PNG picture: end the output's name with .png.");
    o->inputs = {positional[0]};
    o->output = positional[1];
    return true;
}

constexpr size_t kHelpColumn = 32;

std::string Padded(std::string text, size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

// An option and its explanation, the explanation's further lines under its first.
std::string HelpEntry(const std::string& name, const std::string& explanation) {
    std::string text = Padded(name, kHelpColumn);
    for (char c : explanation) text += c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, c);
    return text + "\n";
}

std::string PlainOptionsHelp(HelpGroup group) {
    std::string text;
    for (const PlainOption& option : kPlainOptions) {
        if (option.group != group) continue;
        std::string name = "  ";
        if (option.shortName != 0) name += std::string("-") + option.shortName + ", ";
        name += std::string("--") + option.name;
        if (option.valueName != nullptr) name += std::string(" ") + option.valueName;
        text += HelpEntry(name, option.help);
    }
    return text;
}

std::string SettingsHelp() {
    std::string text;
    for (int slot = 0; slot < kSettingCount; ++slot) {
        const SettingInfo& info = SettingForSlot(slot);
        const int32_t floatDefault = RecordToSlot(info, DefaultValue(info, DefaultSet::DefaultButton, 0));
        const int32_t integerDefault = RecordToSlot(info, DefaultValue(info, DefaultSet::DefaultButton, 1));
        std::string line = SettingRangeText(info) + "; default " + SettingValueText(info, floatDefault);
        if (integerDefault != floatDefault)
            line += ", " + SettingValueText(info, integerDefault) + " for 16-bit images";
        const char* valueName = info.label == LabelUnit::SmoothingLevel ? " LEVEL" : " N";
        text += HelpEntry("  --" + std::string(info.option) + valueName, line);
    }
    return text;
}

// How the two stepped settings round what they are given.
std::string SteppingHelp() {
    const SettingInfo& gamma = SettingForSlot(kSlotGamma);
    const SettingInfo& white = SettingForSlot(kSlotWhiteClip);
    const SettingInfo& black = SettingForSlot(kSlotBlackClip);
    int32_t example = 0;
    std::string ignored;
    ParseSettingValue(gamma, "1.5", &example, &ignored);
    return "  --" + std::string(gamma.option) + " takes the nearest of the slider's " +
           std::to_string(gamma.control.maxPosition + 1) + " positions (1.5 becomes " +
           SettingValueText(gamma, example) + ");\n  --" + white.option + " and --" + black.option +
           " go in steps of " + SettingValueText(white, 1) + " percent.\n";
}

std::string ExitStatusHelp() {
    std::string text;
    for (int code = kExitOk; code <= kLastExitCode; ++code)
        text += Padded("  " + std::to_string(code), 5) + ExitCodeMeaning(static_cast<ExitCode>(code)) + "\n";
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
        if (const PlainOption* option = FindShortOption(arg)) {
            ApplyPlainOption(*option, std::string(), o, problem);
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

        const bool takesValue = setting != nullptr || plain->valueName != nullptr;
        std::string value;
        if (equals != std::string::npos) {
            if (!takesValue) return Problem(problem, "--" + name + " takes no value.");
            value = arg.substr(equals + 1);
        } else if (takesValue) {
            if (i + 1 >= args.size() || IsOption(args[i + 1]))
                return Problem(problem, "--" + name + " needs a value" +
                                            (i + 1 < args.size() ? " before the option \"" + args[i + 1] + "\"" : "") +
                                            " (a value that starts with -- goes after =: --" + name + "=VALUE).");
            value = args[++i];
        }
        if (setting != nullptr) {
            if (!ParseSettingValue(*setting, value, &o->value[setting->slot], problem)) return false;
            o->given[setting->slot] = true;
        } else if (!ApplyPlainOption(*plain, value, o, problem)) {
            return false;
        }
    }
    return CheckCombination(std::move(positional), o, problem);
}

int32_t PreviewSize(const ToolOptions& options) {
    return options.preview.empty() ? 0 : static_cast<int32_t>(std::stoi(options.preview));
}

std::string VersionText() {
    return std::string("tonemap ") + TM_PLUGIN_VERSION_TEXT + ", a command-line host of the Tone Mapping plug-in " +
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
    text += SteppingHelp() + "\n";
    text += PlainOptionsHelp(HelpGroup::Settings) + "\n";
    text += "Files:\n" + PlainOptionsHelp(HelpGroup::Files) + "\n";
    text += "The dialog's preview:\n" + PlainOptionsHelp(HelpGroup::Preview) + "\n";
    const std::string side = std::to_string(kMinimumImageSide);
    text +=
        "What is read:\n"
        "  OpenEXR, Radiance HDR, PFM, float TIFF   a 32-bit image, linear light\n"
        "  16-bit TIFF and PNG                      a 16-bit image\n"
        "  8-bit PNG, TIFF, JPEG                    refused, unless --depth 16\n"
        "  Grey images are tone-mapped as RGB and written as RGB. An alpha channel passes\n"
        "  through unchanged. Images need at least " + side + " x " + side + " pixels. A file whose\n"
        "  header claims more pixels than the file can hold, or whose pixels the image\n"
        "  library reports any error on, is damaged; an image that needs more memory\n"
        "  than the machine has left is refused before its pixels are read.\n"
        "  As in the plug-in, the tone mapping spans the image's whole luminance range:\n"
        "  pixels brighter than 1e10, or darker than 1e-20 without being black, decide\n"
        "  how the rest looks (washed out or dark). tonemap warns about them.\n"
        "\n"
        "What is written, by the output's extension:\n"
        "                   from a 32-bit image               from a 16-bit image\n"
        "  .exr .hdr .pfm   the linear result as it is        the result made linear (^2.2)\n"
        "  .tif .tiff       float TIFF, linear                16-bit TIFF\n"
        "  .png             16-bit, display values (^1/2.2)   16-bit\n"
        "  .jpg .jpeg       8-bit, display values (^1/2.2)    8-bit\n"
        "  Radiance HDR, PFM and JPEG files have no alpha channel; the input's windows\n"
        "  and metadata go on where the format can carry them. A result is written\n"
        "  under a hidden temporary name, flushed to the disk and renamed when complete:\n"
        "  a failed write (a full disk), Ctrl+C or any other signal leaves neither a\n"
        "  partial file nor a temporary one. No result replaces an input, another\n"
        "  result or a file that is not a regular file (a device, a pipe); such names\n"
        "  stop the run before anything is written.\n"
        "\n"
        "Exit status:\n";
    text += ExitStatusHelp();
    text +=
        "With several images, tonemap goes on after a failure and exits with the status\n"
        "of the first one.\n";
    return text;
}
