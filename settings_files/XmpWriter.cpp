// Writes settings files: 26 lines, each ending with a single LF.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "../settings/SettingsTable.h"
#include "XmpFormat.h"
#include "XmpSettings.h"

namespace {

void AppendLine(std::string* text, const char* format, ...) {
    char line[512];  // the longest is a Gamma of 1e308 written with "%f"
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    *text += line;
    *text += '\n';
}

}  // namespace

std::string FormatXmpSettings(const int32_t settings[kSettingCount]) {
    std::string text;
    AppendLine(&text, "<x:xmpmeta xmlns:x='adobe:ns:meta/'>");
    AppendLine(&text, "<rdf:RDF xmlns:rdf='%s'>", kRdfNamespaceUri);
    AppendLine(&text, "");
    AppendLine(&text, " <rdf:Description rdf:about=''");
    AppendLine(&text, "  xmlns:kvtm='%s'>", kSettingsNamespaceUri);
    AppendLine(&text, "  <kvtm:Version>2.5</kvtm:Version>");
    AppendLine(&text, "  <kvtm:Method>Gradient Relaxer</kvtm:Method>");
    for (int slot = 0; slot < kSettingCount; ++slot) {
        const char* element = SettingForSlot(slot).element;
        const int32_t s = settings[slot];
        switch (slot) {
            case kSlotWhiteClip:
            case kSlotBlackClip:
                AppendLine(&text, "  <kvtm:%s>%f</kvtm:%s>", element, double(ClipFileValue(s)), element);
                break;
            case kSlotGamma: AppendLine(&text, "  <kvtm:%s>%f</kvtm:%s>", element, GammaFileValue(s), element); break;
            case kSlotSmoothing:
                // Padded to 8 characters: "High    ".
                AppendLine(&text, "  <kvtm:%s>%-8s</kvtm:%s>", element, SmoothingWordForSlot(s), element);
                break;
            default: AppendLine(&text, "  <kvtm:%s>%d</kvtm:%s>", element, int(s), element); break;
        }
    }
    AppendLine(&text, " </rdf:Description>");
    AppendLine(&text, "");
    AppendLine(&text, "</rdf:RDF>");
    AppendLine(&text, "</x:xmpmeta>");
    return text;
}

namespace {

// After a failed write the file is cut to nothing, so that no partial file
// can be loaded as if it were complete. Nothing is deleted.
void EmptyFile(const char* path) {
    if (std::FILE* file = std::fopen(path, "wb")) std::fclose(file);
}

}  // namespace

int WriteXmpSettings(const char* path, const int32_t settings[kSettingCount]) {
    const std::string text = FormatXmpSettings(settings);
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return -1;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fflush(file) == 0 && written;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        EmptyFile(path);
        return -1;
    }
    return 1;
}
