// The 21 controls that show a help text in the "Note" box when the mouse moves
// over them: every slider, with its text from the settings table, and the
// seven other controls of ControlHelpTexts.h.
#pragma once

#include <array>

#include "../settings/SettingsTable.h"
#include "ControlHelpTexts.h"

constexpr int CountSliderHelpTexts() {
    int n = 0;
    for (const SettingInfo& info : kSettingTable)
        if (info.help != nullptr) ++n;
    return n;
}

constexpr int kHoverHelpCount =
    CountSliderHelpTexts() + static_cast<int>(sizeof kControlHelpTexts / sizeof kControlHelpTexts[0]);

constexpr std::array<ControlHelpText, kHoverHelpCount> MakeHoverHelpTexts() {
    std::array<ControlHelpText, kHoverHelpCount> texts{};
    int n = 0;
    for (const SettingInfo& info : kSettingTable)
        if (info.help != nullptr) texts[n++] = ControlHelpText{info.control.id, info.help};
    for (const ControlHelpText& text : kControlHelpTexts) texts[n++] = text;
    return texts;
}

inline constexpr std::array<ControlHelpText, kHoverHelpCount> kHoverHelpTexts = MakeHoverHelpTexts();

// The slot of a control among kHoverHelpTexts, or -1.
constexpr int HoverHelpSlot(int controlId) {
    for (int i = 0; i < kHoverHelpCount; ++i)
        if (kHoverHelpTexts[i].controlId == controlId) return i;
    return -1;
}
