// The registry file: persistent registry entries as a small text file, so
// that a plug-in's last-used values outlive the host process. It is read
// once, at the first use of the registry, and rewritten whole (a temporary
// file renamed over the old one) whenever a persistent entry changes. A file
// that cannot be read or understood is ignored with a warning: the worst it
// can cost is the last-used values.
//
//   # comment
//   [registry key]
//   srgh long 70
//   WCli doub 0.25
//
// Values are written in their shortest exact form, so a float reads back
// bit for bit; a code that is not four plain characters is written 0x%08X.
#include <charconv>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "HostCallbacks.h"
#include "PendingFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kLargestRegistryFile = 1 << 20;

bool PlainCodeCharacter(char c) { return c > ' ' && c < 127; }

std::string CodeText(DescriptorKeyID code) {
    const char text[4] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
    bool plain = text[0] != '[' && text[0] != '#';
    for (char c : text) plain = plain && PlainCodeCharacter(c);
    if (plain) return std::string(text, 4);
    char hex[11];
    std::snprintf(hex, sizeof hex, "0x%08X", code);
    return hex;
}

bool ParseCode(const std::string& text, DescriptorKeyID* code) {
    if (text.size() == 4) {
        *code = 0;
        for (char c : text) *code = (*code << 8) | uint8_t(c);
        return true;
    }
    if (text.size() == 10 && text.compare(0, 2, "0x") == 0) {
        auto [end, ec] = std::from_chars(text.data() + 2, text.data() + 10, *code, 16);
        return ec == std::errc() && end == text.data() + 10;
    }
    return false;
}

template <class T>
bool ParseNumber(const std::string& text, T* value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

template <class T>
std::string NumberText(T value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

bool ParseItem(const std::string& line, DescriptorItem* item) {
    std::istringstream words(line);
    std::string code, type, value, extra;
    if (!(words >> code >> type >> value) || (words >> extra)) return false;
    if (!ParseCode(code, &item->key)) return false;
    if (type == "long") {
        item->type = typeInteger;
        return ParseNumber(value, &item->integer);
    }
    if (type == "doub") {
        item->type = typeFloat;
        return ParseNumber(value, &item->number);
    }
    return false;
}

// Parses the whole file; false with the number of the first line it cannot understand.
bool ParseRegistryText(const std::string& text, std::map<std::string, RegistryEntry>* entries, int* badLine) {
    std::istringstream lines(text);
    std::string line;
    RegistryEntry* entry = nullptr;
    for (*badLine = 1; std::getline(lines, line); ++*badLine) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (line[first] == '[') {
            const size_t close = line.find(']', first);
            if (close == std::string::npos || line.find_first_not_of(" \t", close + 1) != std::string::npos)
                return false;
            auto [it, added] = entries->emplace(line.substr(first + 1, close - first - 1), RegistryEntry{});
            if (!added) return false;
            entry = &it->second;
            entry->persistent = true;
            continue;
        }
        DescriptorItem item;
        if (entry == nullptr || !ParseItem(line, &item)) return false;
        if (FindItem(entry->items, item.key) != nullptr) return false;
        entry->items.push_back(item);
    }
    return true;
}

std::string RegistryText(MiniHost& host) {
    std::string text =
        "# Registry of the tonemap host: values that plug-ins keep from one run to the next.\n"
        "# Each [key] is followed by its values: four-character code, type (long or doub), value.\n";
    for (const auto& [key, entry] : host.registry.entries) {
        if (!entry.persistent) continue;
        if (key.find_first_of("]\r\n") != std::string::npos) {
            host.warnings.push_back("registry key \"" + key + "\" cannot be kept in the registry file");
            continue;
        }
        text += "\n[" + key + "]\n";
        for (const DescriptorItem& item : entry.items) {
            text += CodeText(item.key);
            if (item.type == typeFloat)
                text += " doub " + NumberText(item.number);
            else
                text += " long " + NumberText(item.integer);
            text += '\n';
        }
    }
    return text;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    *text = all.str();
    return !in.bad();
}

// Writes beside the target under a name of its own, then renames over it,
// so that a reader never sees half a file.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* reason) {
    std::error_code ec;
    const fs::path target(path);
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string temporary = path + ".tmp-" + std::to_string(stamp);
    // Known before it exists, so that a signal never leaves it behind.
    if (!RegisterPendingFile(temporary.c_str())) {
        *reason = "cannot note the temporary file " + temporary;
        return false;
    }
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            ForgetPendingFile(temporary.c_str());
            *reason = "cannot write " + temporary;
            return false;
        }
    }
    fs::rename(temporary, target, ec);
    if (ec) {  // some platforms refuse to rename over an existing file
        fs::remove(target, ec);
        fs::rename(temporary, target, ec);
    }
    const bool renamed = !ec;
    if (!renamed) {
        *reason = ec.message();
        fs::remove(temporary, ec);
    }
    ForgetPendingFile(temporary.c_str());
    return renamed;
}

bool IsPersistentEntry(const MiniHost& host, const std::string& key) {
    auto it = host.registry.entries.find(key);
    return it != host.registry.entries.end() && it->second.persistent;
}

void SaveRegistry(MiniHost& host) {
    if (host.registryFile.empty()) return;
    std::string reason;
    if (!WriteFileAtomically(host.registryFile, RegistryText(host), &reason))
        host.warnings.push_back("cannot save the registry file " + host.registryFile + ": " + reason);
}

}  // namespace

void EnsureRegistryLoaded(MiniHost& host) {
    if (host.registry.loaded) return;
    host.registry.loaded = true;
    const std::string& path = host.registryFile;
    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec)) return;

    std::string text;
    std::map<std::string, RegistryEntry> entries;
    int badLine = 0;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kLargestRegistryFile || !ReadWholeFile(path, &text)) {
        host.warnings.push_back("cannot read the registry file " + path + "; previous settings are not available");
        return;
    }
    if (!ParseRegistryText(text, &entries, &badLine)) {
        host.warnings.push_back("the registry file " + path + " is damaged (line " + std::to_string(badLine) +
                                "); it is ignored and will be rewritten");
        return;
    }
    host.registry.entries.insert(entries.begin(), entries.end());
}

void RegisterEntry(MiniHost& host, const std::string& key, const DescriptorList& items, bool persistent) {
    EnsureRegistryLoaded(host);
    const bool wasPersistent = IsPersistentEntry(host, key);
    host.registry.entries[key] = RegistryEntry{items, persistent};
    if (persistent || wasPersistent) SaveRegistry(host);
}

const RegistryEntry* FindRegistryEntry(MiniHost& host, const std::string& key) {
    EnsureRegistryLoaded(host);
    auto it = host.registry.entries.find(key);
    return it != host.registry.entries.end() ? &it->second : nullptr;
}

std::string DefaultRegistryFile() {
    const std::string folder = UserConfigFolder();
    if (folder.empty()) return std::string();
    return (fs::path(folder) / "tonemap" / "registry.txt").string();
}
