// The dialog's setting controls: the sliders and the Light Smoothing radio
// buttons as the settings table declares them, and the tab pages their rows
// sit on.
#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "DialogControlIds.h"
#include "PluginState.h"
#include "SliderRequests.h"
#include "SliderValues.h"
#include "ToneMappingDialog.h"

static_assert(SB_LINELEFT == kLineLeft && SB_LINERIGHT == kLineRight && SB_PAGELEFT == kPageLeft &&
                  SB_PAGERIGHT == kPageRight && SB_THUMBPOSITION == kThumbPosition &&
                  SB_THUMBTRACK == kThumbTrack && SB_LEFT == kLeft && SB_RIGHT == kRight &&
                  SB_ENDSCROLL == kEndScroll,
              "slider requests carry the system's scroll-bar codes");

namespace {

constexpr int kTabPages = 4;

// What changes the tone mapping besides the sliders: while the source image
// is shown these wait.
constexpr int kAdjustmentButtons[] = {IDC_PREVIOUS,   IDC_DEFAULT,     IDC_LOAD,      IDC_SAVE,
                                      IDC_ZOOM_SMALL, IDC_ZOOM_MEDIUM, IDC_ZOOM_LARGE};

TMSettings& Record() { return *gPlugin.settings; }

bool IsSlider(const SettingInfo& info) { return info.control.kind == ControlKind::Slider; }

// The slider on a row of a tab page, or null.
const SettingInfo* SliderAt(int page, int row) {
    for (const SettingInfo& info : kSettingTable)
        if (IsSlider(info) && info.control.place.page == page && info.control.place.row == row) return &info;
    return nullptr;
}

const SettingInfo& SmoothingGroup() {
    for (const SettingInfo& info : kSettingTable)
        if (info.control.kind == ControlKind::RadioGroup) return info;
    return kSettingTable[0];
}

void SetValueLabel(HWND dialog, const SettingInfo& info, int32_t value) {
    const std::string text = ValueLabelText(info, value);
    SetDlgItemTextA(dialog, ValueLabelId(info.control), text.c_str());
}

// The slider position that shows a record value. A value beyond the slider's
// range (a settings file may carry one) puts the thumb at that end.
int32_t PositionShowing(const SettingInfo& info, int32_t value) {
    return PositionOfRecordValue(info, std::clamp(value, info.recordMin, info.recordMax));
}

RECT ClientRectOf(HWND dialog, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MoveControl(HWND dialog, int id, LONG left, LONG top) {
    SetWindowPos(GetDlgItem(dialog, id), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetRowState(HWND dialog, const DialogControl& control, bool shown) {
    for (int id : {int(control.id), ValueLabelId(control), CaptionId(control)}) {
        const HWND window = GetDlgItem(dialog, id);
        EnableWindow(window, shown);
        ShowWindow(window, shown ? SW_SHOW : SW_HIDE);
    }
}

}  // namespace

void ArrangeTabPages(HWND dialog) {
    const SettingInfo* whitePoint = SliderAt(0, 1);
    const SettingInfo* colorTemperature = SliderAt(1, 1);
    if (whitePoint == nullptr || colorTemperature == nullptr) return;
    const RECT wide = ClientRectOf(dialog, ValueLabelId(whitePoint->control));
    const RECT narrow = ClientRectOf(dialog, ValueLabelId(colorTemperature->control));
    const LONG rightAlign = (wide.right - wide.left) - (narrow.right - narrow.left);

    for (const SettingInfo& info : kSettingTable) {
        const TabPlace place = info.control.place;
        if (!IsSlider(info) || place.page < 1) continue;
        const SettingInfo* tone = SliderAt(0, place.row);
        if (tone == nullptr) continue;
        const RECT slider = ClientRectOf(dialog, tone->control.id);
        const RECT label = ClientRectOf(dialog, ValueLabelId(tone->control));
        const RECT caption = ClientRectOf(dialog, CaptionId(tone->control));
        MoveControl(dialog, info.control.id, slider.left, slider.top);
        MoveControl(dialog, ValueLabelId(info.control), label.left + rightAlign, label.top);
        MoveControl(dialog, CaptionId(info.control), caption.left, caption.top);
    }
}

void ShowTabPage(HWND dialog, int page) {
    if (page < 0) return;
    for (int t = 0; t < kTabPages; ++t)
        for (const SettingInfo& info : kSettingTable)
            if (IsSlider(info) && info.control.place.page == t) SetRowState(dialog, info.control, t == page);
}

void RefreshControls(HWND dialog) {
    for (const SettingInfo& info : kSettingTable) {
        if (!IsSlider(info)) continue;
        const int32_t value = Record().*info.field;
        SCROLLINFO scroll{};
        scroll.cbSize = sizeof scroll;
        scroll.fMask = SIF_RANGE | SIF_POS;
        scroll.nMin = 0;
        scroll.nMax = info.control.maxPosition;
        scroll.nPos = PositionShowing(info, value);
        SetScrollInfo(GetDlgItem(dialog, info.control.id), SB_CTL, &scroll, TRUE);
        SetValueLabel(dialog, info, value);
    }
    UpdateSmoothingGroup(dialog);
    CheckDlgButton(dialog, IDC_PANORAMA, Record().is360 ? BST_CHECKED : BST_UNCHECKED);
}

void UpdateSmoothingGroup(HWND dialog) {
    const SettingInfo& group = SmoothingGroup();
    const int32_t value = Record().*group.field;
    const int32_t selected = PositionOfRecordValue(group, value);
    for (int32_t i = 0; i <= group.control.maxPosition; ++i)
        CheckDlgButton(dialog, group.control.id + i, i == selected ? BST_CHECKED : BST_UNCHECKED);
    if (selected >= 0 && selected <= group.control.maxPosition) SetValueLabel(dialog, group, value);
}

void SetAdjustmentsEnabled(HWND dialog, bool enabled) {
    // Gamma stays adjustable while the source image is shown.
    for (const SettingInfo& info : kSettingTable)
        if (IsSlider(info) && info.control.id != IDC_GAMMA) EnableWindow(GetDlgItem(dialog, info.control.id), enabled);
    for (int id : kAdjustmentButtons) EnableWindow(GetDlgItem(dialog, id), enabled);
}

void HandleSliderRequest(HWND dialog, int request, HWND slider) {
    const SettingInfo* setting = nullptr;
    for (const SettingInfo& info : kSettingTable)
        if (IsSlider(info) && GetDlgItem(dialog, info.control.id) == slider) setting = &info;
    if (setting == nullptr) return;

    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_ALL;
    if (!GetScrollInfo(slider, SB_CTL, &scroll)) return;
    const SliderMove move = MoveSlider(request, scroll.nPos, scroll.nTrackPos, scroll.nMax);
    if (!move.apply) return;

    SetScrollPos(slider, SB_CTL, move.position, TRUE);
    const int32_t value = RecordValueOfPosition(*setting, move.position);
    SetValueLabel(dialog, *setting, value);
    if (!move.store) return;
    Record().*setting->field = value;
    Record().recomputeLevel = 2;
    RefreshPreview(dialog);
}

void HandleSmoothingClick(HWND dialog) {
    const SettingInfo& group = SmoothingGroup();
    for (int32_t i = 0; i <= group.control.maxPosition; ++i) {
        if (IsDlgButtonChecked(dialog, group.control.id + i) != BST_CHECKED) continue;
        const int32_t value = RecordValueOfPosition(group, i);
        Record().*group.field = value;
        SetValueLabel(dialog, group, value);
        break;
    }
    Record().recomputeLevel = 2;
    RefreshPreview(dialog);
}
