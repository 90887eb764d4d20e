// The dialog template ONDULODIALOG as the built module carries it, read back
// from its resources: the window, and every control's kind, id, caption,
// style and rectangle; the sliders' rows as the settings table declares them.
#include "DialogDriverWin.h"

#include <cstring>
#include <iterator>
#include <map>

namespace {

using namespace dialog_test;

// Class ordinals of the dialog template.
constexpr int kButton = 0x80, kStatic = 0x82, kScrollBar = 0x84;

struct TemplateControl {
    int id = 0;
    int classOrdinal = 0;    // 0 when the class is named
    std::string className;   // when it is named
    std::string text;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplate {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string title;
    int pointSize = 0;
    std::string font;
    std::vector<TemplateControl> controls;
};

// Reads the extended template: a header, then each control aligned on 4 bytes.
struct TemplateReader {
    const uint8_t* start;
    const uint8_t* at;
    template <class T>
    T Take() {
        T value;
        std::memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value;
    }
    std::string Text() {
        std::string text;
        // ASCII, and the degree sign of "360° Image" as its byte in the ANSI code page.
        for (uint16_t c = Take<uint16_t>(); c != 0; c = Take<uint16_t>())
            text.push_back(c < 128 ? char(c) : c == 0xB0 ? '\xB0' : '?');
        return text;
    }
    // A name or ordinal field: 0, 0xFFFF and an ordinal, or a text.
    int NameOrOrdinal(std::string* name) {
        const uint16_t first = Take<uint16_t>();
        if (first == 0) return 0;
        if (first == 0xFFFF) return Take<uint16_t>();
        at -= 2;
        *name = Text();
        return 0;
    }
    void Align() { at = start + ((at - start + 3) & ~size_t{3}); }
};

DialogTemplate ReadTemplate(HMODULE module) {
    DialogTemplate t;
    const HRSRC found = FindResourceA(module, TM_DIALOG_TEMPLATE, MAKEINTRESOURCEA(5));  // RT_DIALOG
    if (found == nullptr) return t;
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
    TemplateReader r{bytes, bytes};
    if (r.Take<uint16_t>() != 1 || r.Take<uint16_t>() != 0xFFFF) return t;  // DLGTEMPLATEEX
    r.Take<DWORD>();  // help id
    r.Take<DWORD>();  // extended style
    t.style = r.Take<DWORD>();
    const uint16_t count = r.Take<uint16_t>();
    t.x = r.Take<short>();
    t.y = r.Take<short>();
    t.cx = r.Take<short>();
    t.cy = r.Take<short>();
    std::string ignored;
    r.NameOrOrdinal(&ignored);  // menu
    r.NameOrOrdinal(&ignored);  // class
    t.title = r.Text();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Take<uint16_t>();
        r.Take<uint16_t>();  // weight
        r.Take<uint8_t>();   // italic
        r.Take<uint8_t>();   // character set
        t.font = r.Text();
    }
    for (int i = 0; i < count; ++i) {
        r.Align();
        TemplateControl c;
        r.Take<DWORD>();  // help id
        r.Take<DWORD>();  // extended style
        c.style = r.Take<DWORD>();
        c.x = r.Take<short>();
        c.y = r.Take<short>();
        c.cx = r.Take<short>();
        c.cy = r.Take<short>();
        c.id = static_cast<int>(r.Take<int32_t>());
        c.classOrdinal = r.NameOrOrdinal(&c.className);
        std::string text;
        if (r.NameOrOrdinal(&text) == 0) c.text = text;
        r.at += r.Take<uint16_t>();  // creation data
        t.controls.push_back(c);
    }
    return t;
}

struct Expected {
    int id;
    int classOrdinal;
    DWORD kind;  // the low style bits that say which kind of button or static
    const char* text;
    short x, y, cx, cy;
};

constexpr DWORD kKindBits = 0x1F;

void ExpectControl(const TemplateControl& c, const Expected& e) {
    EXPECT_EQ(c.classOrdinal, e.classOrdinal) << e.text;
    EXPECT_EQ(c.style & kKindBits, e.kind) << e.text;
    EXPECT_EQ(c.text, e.text) << e.id;
    EXPECT_EQ(c.x, e.x) << e.text;
    EXPECT_EQ(c.y, e.y) << e.text;
    EXPECT_EQ(c.cx, e.cx) << e.text;
    EXPECT_EQ(c.cy, e.cy) << e.text;
}

TEST(DialogTemplate, HoldsEveryControlWhereTheDialogExpectsIt) {
    const DialogTemplate t = ReadTemplate(static_cast<HMODULE>(BuiltModule().library));
    ASSERT_FALSE(t.controls.empty()) << "no dialog template " TM_DIALOG_TEMPLATE;
    EXPECT_EQ(t.title, "Tone Mapping 1.2");
    EXPECT_EQ(t.font, "Verdana");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.x, 34);
    EXPECT_EQ(t.y, 40);
    EXPECT_EQ(t.cx, 431);
    EXPECT_EQ(t.cy, 447);
    EXPECT_TRUE(t.style & DS_MODALFRAME);
    EXPECT_EQ(t.style & WS_CAPTION, DWORD(WS_CAPTION));
    EXPECT_TRUE(t.style & WS_POPUP);
    EXPECT_FALSE(t.style & WS_SYSMENU);

    std::map<int, TemplateControl> byId;
    std::vector<TemplateControl> unnamed;
    for (const TemplateControl& c : t.controls) {
        if (c.id == IDC_UNNAMED)
            unnamed.push_back(c);
        else
            EXPECT_TRUE(byId.emplace(c.id, c).second) << "id used twice: " << c.id;
    }
    // Two unnamed group boxes: round the always-visible settings, "Settings".
    ASSERT_EQ(unnamed.size(), 2u);
    ExpectControl(unnamed[0], {-1, kButton, BS_GROUPBOX, "", 3, 3, 113, 120});
    ExpectControl(unnamed[1], {-1, kButton, BS_GROUPBOX, "Settings", 3, 306, 114, 52});

    const Expected others[] = {
        {IDOK, kButton, BS_DEFPUSHBUTTON, "&OK", 377, 3, 46, 14},
        {IDCANCEL, kButton, BS_PUSHBUTTON, "&Cancel", 378, 23, 45, 14},
        {IDC_HELP_BUTTON, kButton, BS_PUSHBUTTON, "?", 125, 13, 16, 17},
        {IDC_SHOW_ORIGINAL, kButton, BS_PUSHBUTTON, "Show Original", 153, 12, 62, 16},
        {IDC_ZOOM_SMALL, kButton, BS_AUTORADIOBUTTON, "Small", 235, 3, 28, 11},
        {IDC_ZOOM_MEDIUM, kButton, BS_AUTORADIOBUTTON, "Medium", 235, 16, 36, 8},
        {IDC_ZOOM_LARGE, kButton, BS_AUTORADIOBUTTON, "Large", 235, 28, 32, 10},
        {IDC_PANORAMA, kButton, BS_AUTOCHECKBOX, "360\xB0 Image", 298, 26, 52, 11},
        {IDC_PREVIEW_FRAME, kStatic, SS_LEFT, "", 122, 42, 301, 283},
        {IDC_HISTOGRAM_FRAME, kStatic, SS_LEFT, "", 3, 127, 111, 54},
        {IDC_SMOOTHING_VERY_LOW, kButton, BS_AUTORADIOBUTTON, "", 21, 84, 13, 8},
        {IDC_SMOOTHING_LOW, kButton, BS_AUTORADIOBUTTON, "", 38, 84, 13, 8},
        {IDC_SMOOTHING_MEDIUM, kButton, BS_AUTORADIOBUTTON, "", 54, 84, 16, 8},
        {IDC_SMOOTHING_HIGH, kButton, BS_AUTORADIOBUTTON, "", 73, 84, 16, 8},
        {IDC_SMOOTHING_VERY_HIGH, kButton, BS_AUTORADIOBUTTON, "", 92, 84, 13, 8},
        {IDC_SMOOTHING_CAPTION, kStatic, SS_LEFT, "Light Smoothing", 12, 72, 56, 9},
        {IDC_SMOOTHING_VALUE, kStatic, SS_RIGHT, "Very High", 75, 71, 32, 10},
        {IDC_PREVIOUS, kButton, BS_PUSHBUTTON, "Previous", 12, 319, 43, 14},
        {IDC_LOAD, kButton, BS_PUSHBUTTON, "Load...", 63, 319, 43, 14},
        {IDC_DEFAULT, kButton, BS_PUSHBUTTON, "Default", 12, 338, 43, 13},
        {IDC_SAVE, kButton, BS_PUSHBUTTON, "Save...", 62, 338, 44, 13},
        {IDC_NOTE_GROUP, kButton, BS_GROUPBOX, "Note", 3, 366, 116, 78},
        {IDC_HELP_TEXT, kStatic, SS_LEFT, "", 11, 379, 106, 64},
    };
    for (const Expected& e : others) {
        ASSERT_EQ(byId.count(e.id), 1u) << e.id;
        ExpectControl(byId[e.id], e);
    }
    EXPECT_FALSE(byId[IDC_PREVIEW_FRAME].style & WS_VISIBLE);
    EXPECT_FALSE(byId[IDC_HISTOGRAM_FRAME].style & WS_VISIBLE);
    EXPECT_TRUE(byId[IDC_PANORAMA].style & WS_DISABLED);
    EXPECT_TRUE(byId[IDC_SMOOTHING_VALUE].style & SS_SUNKEN);
    const TemplateControl& tabs = byId[IDC_TABS];
    EXPECT_EQ(lstrcmpiA(tabs.className.c_str(), "SysTabControl32"), 0) << tabs.className;
    EXPECT_EQ(tabs.x, 3);
    EXPECT_EQ(tabs.y, 185);
    EXPECT_EQ(tabs.cx, 114);
    EXPECT_EQ(tabs.cy, 114);

    // Each slider: a horizontal scroll bar, its sunken value label with the
    // table's template text, its caption.
    int sliders = 0;
    for (const SettingInfo& info : kSettingTable) {
        if (info.control.kind != ControlKind::Slider) continue;
        ++sliders;
        const TemplateControl& slider = byId[info.control.id];
        EXPECT_EQ(slider.classOrdinal, kScrollBar) << info.caption;
        EXPECT_EQ(slider.style & SBS_VERT, 0u) << info.caption;
        EXPECT_EQ(slider.cx, 98) << info.caption;
        EXPECT_EQ(slider.cy, 11) << info.caption;
        const TemplateControl& label = byId[ValueLabelId(info.control)];
        EXPECT_EQ(label.classOrdinal, kStatic) << info.caption;
        EXPECT_EQ(label.style & (kKindBits | SS_SUNKEN), DWORD(SS_RIGHT | SS_SUNKEN)) << info.caption;
        EXPECT_EQ(label.text, info.control.templateLabel);
        const TemplateControl& caption = byId[CaptionId(info.control)];
        EXPECT_EQ(caption.classOrdinal, kStatic) << info.caption;
        EXPECT_EQ(caption.text, info.caption);
    }
    EXPECT_EQ(sliders, 14);
    EXPECT_EQ(t.controls.size(), 2u + std::size(others) + 1u + 3u * 14u);
}

TEST(DialogTemplate, TheDialogProcedureIsExported) {
    EXPECT_NE(GetProcAddress(static_cast<HMODULE>(BuiltModule().library), "TMProc"), nullptr);
}

}  // namespace
