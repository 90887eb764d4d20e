// The built ToneMapping.8bf as the host sees it: loadable on its own (so it
// needs no runtime DLLs beside it), exporting its entry point, and carrying
// the property list PiPL 16000 byte for byte in the host's Windows layout and
// the scripting terminology AETE 16000 that matches the settings table.
// Four-character codes are decoded from the stored bytes the way the host
// reads them on Windows, as little-endian 32-bit integers, whatever the
// resource script wrote to produce them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../../minihost/MiniHost.h"
#include "../../settings/SettingsTable.h"
#include "PluginIdentity.h"

namespace {

struct Property {
    std::string vendor;  // as the host reads it, e.g. "8BIM"
    std::string key;     // as the host reads it, e.g. "kind"
    uint32_t id = 0;
    uint32_t length = 0;
    std::vector<uint8_t> data;  // `length` bytes
};

struct PropertyList {
    uint16_t reserved = 0;
    uint32_t version = 0;
    uint32_t count = 0;
    std::vector<Property> properties;
    bool wellFormed = false;  // every property inside the resource, nothing after the last
};

// A four-character code as text, most significant byte first: 0x6B696E64 is "kind".
std::string CodeText(uint32_t code) {
    return std::string{char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

// Reads little-endian fields from a resource and notices running off its end.
struct ByteReader {
    const uint8_t* bytes;
    size_t size;
    size_t at = 0;
    bool overrun = false;

    bool Take(size_t n, const uint8_t** where) {
        if (overrun || n > size - at) {
            overrun = true;
            return false;
        }
        *where = bytes + at;
        at += n;
        return true;
    }
    uint32_t Read(size_t n) {
        const uint8_t* p = nullptr;
        if (!Take(n, &p)) return 0;
        uint32_t value = 0;
        for (size_t i = n; i-- > 0;) value = (value << 8) | p[i];
        return value;
    }
    std::string Code() { return CodeText(Read(4)); }
};

PropertyList ParsePropertyList(const uint8_t* bytes, size_t size) {
    PropertyList list;
    ByteReader reader{bytes, size};
    list.reserved = static_cast<uint16_t>(reader.Read(2));
    list.version = reader.Read(4);
    list.count = reader.Read(4);
    for (uint32_t i = 0; i < list.count && !reader.overrun; ++i) {
        Property property;
        property.vendor = reader.Code();
        property.key = reader.Code();
        property.id = reader.Read(4);
        property.length = reader.Read(4);
        const uint8_t* data = nullptr;
        if (!reader.Take(property.length, &data)) break;
        property.data.assign(data, data + property.length);
        list.properties.push_back(property);
    }
    list.wellFormed = !reader.overrun && reader.at == size && list.properties.size() == list.count;
    return list;
}

uint32_t Int32At(const Property& property, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 4; i-- > 0;) value = (value << 8) | property.data.at(offset + i);
    return value;
}

std::string CodeAt(const Property& property, size_t offset) { return CodeText(Int32At(property, offset)); }

bool ZerosFrom(const Property& property, size_t offset) {
    for (size_t i = offset; i < property.data.size(); ++i)
        if (property.data[i] != 0) return false;
    return true;
}

// A Pascal string at the start of the data, followed only by zero padding.
void ExpectPascalString(const Property& property, const std::string& expected) {
    ASSERT_FALSE(property.data.empty());
    const size_t n = property.data[0];
    ASSERT_LE(1 + n, property.data.size());
    EXPECT_EQ(std::string(property.data.begin() + 1, property.data.begin() + 1 + n), expected);
    EXPECT_TRUE(ZerosFrom(property, 1 + n)) << property.key;
}

// A zero-terminated string at `offset`, followed only by zero padding.
void ExpectCString(const Property& property, size_t offset, const std::string& expected) {
    ASSERT_LT(offset + expected.size(), property.data.size()) << property.key << ": no room for the terminator";
    EXPECT_EQ(std::string(property.data.begin() + offset, property.data.begin() + offset + expected.size()), expected);
    EXPECT_TRUE(ZerosFrom(property, offset + expected.size())) << property.key;
}

// Pascal strings, 16- and 32-bit words of the terminology resource, with the
// zero byte that pads to an even offset where the format aligns.
struct TerminologyReader {
    ByteReader reader;
    std::string Pascal() {
        const uint8_t* n = nullptr;
        const uint8_t* text = nullptr;
        if (!reader.Take(1, &n) || !reader.Take(*n, &text)) return std::string();
        return std::string(reinterpret_cast<const char*>(text), *n);
    }
    void Align() {
        const uint8_t* pad = nullptr;
        if (reader.at % 2 != 0 && reader.Take(1, &pad) && *pad != 0) reader.overrun = true;
    }
    uint32_t Word() { return reader.Read(2); }
    uint32_t Long() { return reader.Read(4); }
};

struct TerminologyParameter {
    std::string name;
    uint32_t key = 0;
    uint32_t type = 0;
    std::string description;
    uint32_t flags = 0;
};

class BuiltModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module = LoadLibraryA(DefaultModulePath().c_str()); }
    static void TearDownTestSuite() {
        if (module != nullptr) FreeLibrary(module);
        module = nullptr;
    }
    void SetUp() override { ASSERT_NE(module, nullptr) << "cannot load " << DefaultModulePath() << " (error " << GetLastError() << ")"; }

    // A copy of resource 16000 of the given type; empty when there is none.
    static std::vector<uint8_t> LoadResourceBytes(const char* type) {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(16000), type);
        if (found == nullptr) return {};
        HGLOBAL loaded = LoadResource(module, found);
        const auto* bytes = static_cast<const uint8_t*>(loaded != nullptr ? LockResource(loaded) : nullptr);
        if (bytes == nullptr) return {};
        return std::vector<uint8_t>(bytes, bytes + SizeofResource(module, found));
    }

    static PropertyList LoadPropertyList() {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(16000), "PiPL");
        if (found == nullptr) return {};
        HGLOBAL loaded = LoadResource(module, found);
        const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
        if (bytes == nullptr) return {};
        return ParsePropertyList(static_cast<const uint8_t*>(bytes), SizeofResource(module, found));
    }

    static HMODULE module;
};

HMODULE BuiltModuleTest::module = nullptr;

TEST_F(BuiltModuleTest, ExportsItsEntryPointAndTheHooksOfOurHost) {
    EXPECT_NE(GetProcAddress(module, "PluginMain"), nullptr);
    EXPECT_NE(GetProcAddress(module, "SetMessageBoxHandler"), nullptr);
    EXPECT_NE(GetProcAddress(module, "SetPanoramaFlag"), nullptr);
    EXPECT_NE(GetProcAddress(module, "PreviewMain"), nullptr);
}

// The event's declared parameters are the settings table's first nine, with
// their keys, names, descriptions and descriptor types.
TEST_F(BuiltModuleTest, TerminologyDeclaresTheTablesScriptingParameters) {
    const std::vector<uint8_t> bytes = LoadResourceBytes("AETE");
    ASSERT_FALSE(bytes.empty()) << "AETE 16000 missing";
    TerminologyReader t{ByteReader{bytes.data(), bytes.size()}};
    EXPECT_EQ(t.Word(), 1u);  // resource version
    t.Word();                 // format version
    t.Word();                 // language
    t.Word();                 // script
    EXPECT_EQ(t.Word(), 1u);  // one suite
    EXPECT_EQ(t.Pascal(), "Quillon");
    EXPECT_EQ(t.Pascal(), "Maridel");
    t.Align();
    EXPECT_EQ(t.Long(), FourCC("sdk1"));
    t.Word();                 // level
    t.Word();                 // version
    EXPECT_EQ(t.Word(), 1u);  // one event
    EXPECT_EQ(t.Pascal(), "Tone Mapping");
    EXPECT_EQ(t.Pascal(), "Tone maps 32-bit HDR images");
    t.Align();
    EXPECT_EQ(t.Long(), FourCC("sdk1"));  // class
    EXPECT_EQ(t.Long(), FourCC("sdk1"));  // id
    EXPECT_EQ(t.Long(), FourCC("null"));  // reply
    EXPECT_EQ(t.Pascal(), "");
    t.Align();
    EXPECT_EQ(t.Word(), 0u);
    EXPECT_EQ(t.Long(), FourCC("#ImR"));  // direct parameter
    EXPECT_EQ(t.Pascal(), "");
    t.Align();
    EXPECT_EQ(t.Word(), 0xB000u);

    std::vector<TerminologyParameter> declared(t.Word());
    for (TerminologyParameter& p : declared) {
        p.name = t.Pascal();
        t.Align();
        p.key = t.Long();
        p.type = t.Long();
        p.description = t.Pascal();
        t.Align();
        p.flags = t.Word();
    }
    EXPECT_EQ(t.Word(), 0u);  // classes
    EXPECT_EQ(t.Word(), 0u);  // comparison operators
    EXPECT_EQ(t.Word(), 0u);  // enumerations
    EXPECT_FALSE(t.reader.overrun);
    EXPECT_EQ(t.reader.at, bytes.size());

    std::vector<const SettingInfo*> expected;
    for (const SettingInfo& info : kSettingTable)
        if (info.scriptName != nullptr) expected.push_back(&info);
    ASSERT_EQ(declared.size(), expected.size());
    for (size_t i = 0; i < declared.size(); ++i) {
        const SettingInfo& info = *expected[i];
        EXPECT_EQ(declared[i].key, info.key) << i;
        EXPECT_EQ(declared[i].name, info.scriptName) << i;
        EXPECT_EQ(declared[i].description, info.scriptDescription) << i;
        EXPECT_EQ(declared[i].type, info.floatKey ? FourCC("doub") : FourCC("long")) << info.scriptName;
        EXPECT_EQ(declared[i].flags, 0u) << info.scriptName;
    }
}

TEST_F(BuiltModuleTest, PropertyListHasTheHostsLayoutAndOrder) {
    const PropertyList list = LoadPropertyList();
    ASSERT_TRUE(list.wellFormed) << "PiPL 16000 missing or cut short";
    EXPECT_EQ(list.reserved, 1);
    EXPECT_EQ(list.version, 0u);

    std::vector<std::string> keys;
    for (const Property& property : list.properties) {
        keys.push_back(property.key);
        EXPECT_EQ(property.vendor, "8BIM") << property.key;
        EXPECT_EQ(property.id, 0u) << property.key;
        EXPECT_EQ(property.length % 4, 0u) << property.key;
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"kind", "name", "catg", "vers", "8664", "mode", "hstm", "enbl",
                                              "ms32", "flly", "fici"}));
}

TEST_F(BuiltModuleTest, PropertyListValues) {
    const PropertyList list = LoadPropertyList();
    ASSERT_TRUE(list.wellFormed);
    ASSERT_EQ(list.properties.size(), 11u);
    const std::vector<Property>& p = list.properties;

    ASSERT_EQ(p[0].length, 4u);
    EXPECT_EQ(CodeAt(p[0], 0), "8BFM");  // a filter
    ExpectPascalString(p[1], "Tone Mapping...");
    ExpectPascalString(p[2], "Quillon");
    ASSERT_EQ(p[3].length, 4u);
    EXPECT_EQ(Int32At(p[3], 0), 0x00040000u);
    ExpectCString(p[4], 0, "PluginMain");
    EXPECT_EQ(p[5].data, (std::vector<uint8_t>{0x1E, 0x40, 0x00, 0x00}));

    // Terminology: version, class, event, resource id, then the scope string.
    const Property& hstm = p[6];
    ASSERT_GE(hstm.length, 14u);
    EXPECT_EQ(Int32At(hstm, 0), 0u);
    EXPECT_EQ(CodeAt(hstm, 4), "sdk1");
    EXPECT_EQ(CodeAt(hstm, 8), "sdk1");
    EXPECT_EQ(hstm.data[12] | hstm.data[13] << 8, 16000);
    ExpectCString(hstm, 14, TM_PLUGIN_UNIQUE_ID);

    ExpectCString(p[7], 0, "in (PSHOP_ImageMode, RGBMode, RGB48Mode, RGB96Mode)");

    ASSERT_EQ(p[8].length, 8u);
    EXPECT_EQ(Int32At(p[8], 0), 2000000u);
    EXPECT_EQ(Int32At(p[8], 4), 2000000u);
    ASSERT_EQ(p[9].length, 4u);
    EXPECT_EQ(Int32At(p[9], 0), 128u);

    // Seven filter cases: selection-less cases 1, 4 and 6 have flags 0x06.
    const std::vector<uint8_t> flags{0x06, 0x0E, 0x0E, 0x06, 0x0E, 0x06, 0x0E};
    ASSERT_EQ(p[10].length, 28u);
    for (size_t c = 0; c < 7; ++c)
        EXPECT_EQ(std::vector<uint8_t>(p[10].data.begin() + 4 * c, p[10].data.begin() + 4 * c + 4),
                  (std::vector<uint8_t>{4, 4, flags[c], 0}))
            << "filter case " << c + 1;
}

}  // namespace
