// The main dialog: a modal window over the host's, from the template
// ONDULODIALOG, whose procedure TMProc dispatches each message to a short
// handler. Every control writes into the settings record at once and asks for
// a new preview; OK and Cancel only close (Cancel's undoing is the start
// selector's).
#include <windows.h>

#include <commctrl.h>

#include <initializer_list>

#include "DialogControlIds.h"
#include "Dialogs.h"
#include "HostUtils.h"
#include "PluginState.h"
#include "PreviewBuffers.h"
#include "PreviewRun.h"
#include "Scripting.h"
#include "SettingsFileCommands.h"
#include "ToneMappingDialog.h"

namespace {

constexpr int kTabCount = 4;
const char* const kTabNames[kTabCount] = {"Tone", "Color", "Micro", "S/H"};

// Cell heights in pixels of the fonts three controls get at opening.
constexpr int kLevelNameFontHeight = 12;
constexpr int kHelpButtonFontHeight = 16;
constexpr int kHelpTextFontHeight = 12;

// The fonts live as long as the dialog: created at opening, deleted once it
// has closed.
struct DialogFonts {
    HFONT levelName = nullptr;
    HFONT helpButton = nullptr;
    HFONT helpText = nullptr;
};
DialogFonts gFonts;

HFONT CreateVerdana(int height) {
    return CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Verdana");
}

void SetControlFont(HWND dialog, int id, HFONT font) {
    if (font != nullptr) SendDlgItemMessageA(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void SetFonts(HWND dialog) {
    gFonts.levelName = CreateVerdana(kLevelNameFontHeight);
    gFonts.helpButton = CreateVerdana(kHelpButtonFontHeight);
    gFonts.helpText = CreateVerdana(kHelpTextFontHeight);
    SetControlFont(dialog, IDC_SMOOTHING_VALUE, gFonts.levelName);
    SetControlFont(dialog, IDC_HELP_BUTTON, gFonts.helpButton);
    SetControlFont(dialog, IDC_HELP_TEXT, gFonts.helpText);
}

void DeleteFonts() {
    for (HFONT font : {gFonts.levelName, gFonts.helpButton, gFonts.helpText})
        if (font != nullptr) DeleteObject(font);
    gFonts = DialogFonts{};
}

TMSettings& Record() { return *gPlugin.settings; }

HWND HostWindow() {
    const auto* platform = static_cast<const PlatformData*>(gPlugin.filterRecord->platformData);
    return platform != nullptr ? reinterpret_cast<HWND>(platform->hwnd) : nullptr;
}

// Pixels the tab row keeps free beside its tabs (the selected tab stands out
// by two on either side).
constexpr int kTabRowMargin = 6;

// Four tabs of equal width across the control, whatever the width of their
// names in the font at hand: the row never needs scrolling.
void InsertTabs(HWND dialog) {
    const HWND tabs = GetDlgItem(dialog, IDC_TABS);
    for (int i = 0; i < kTabCount; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = const_cast<char*>(kTabNames[i]);
        item.iImage = -1;
        SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    RECT first{}, control{};
    SendMessageA(tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    GetClientRect(tabs, &control);
    const int width = (control.right - control.left - kTabRowMargin) / kTabCount;
    SendMessageA(tabs, TCM_SETITEMSIZE, 0, MAKELPARAM(width, first.bottom - first.top));
}

// WM_INITDIALOG: the preview's buffers, the tabs, the controls from the
// record, the fonts, the hover help, then the first preview.
void OpenDialog(HWND dialog) {
    // The dialog always opens on the tone-mapped picture, as its "Show
    // Original" caption says, whatever the last dialog was left showing.
    Record().showPreview = 1;
    Record().restorePreview = 0;
    // The work buffers are new: the first preview starts from the luminance.
    Record().recomputeLevel = 2;

    SetPreviewSize(kPreviewSmall);
    AllocatePreviewDisplay();
    AllocatePreviewCache();
    AllocateHistogramBlock();
    AllocateWorkBuffers();
    RememberOpeningSize(dialog);

    InsertTabs(dialog);
    ArrangeTabPages(dialog);
    ShowTabPage(dialog, 0);
    RefreshControls(dialog);
    SetFonts(dialog);
    SetDlgItemTextA(dialog, IDC_HELP_TEXT, " ");
    // Wrapping the image round only makes sense for a panorama, wider than high.
    EnableWindow(GetDlgItem(dialog, IDC_PANORAMA), gPlugin.globals->width > gPlugin.globals->height);
    InstallHoverHelp(dialog);
    CheckRadioButton(dialog, IDC_ZOOM_SMALL, IDC_ZOOM_LARGE, IDC_ZOOM_SMALL);
    ReadLastUsedDir();
    RefreshPreview(dialog);
}

// After Previous, Default or Load replaced the settings.
void ShowReplacedSettings(HWND dialog) {
    RefreshControls(dialog);
    Record().recomputeLevel = 2;
    RefreshPreview(dialog);
}

void CloseDialog(HWND dialog, int button) {
    ReleasePreviewBuffers();
    EndDialog(dialog, button);
}

void SwitchPreviewSource(HWND dialog) {
    ToggleShowOriginal(&Record());
    const bool toneMapped = Record().showPreview != 0;
    SetDlgItemTextA(dialog, IDC_SHOW_ORIGINAL, toneMapped ? "Show Original" : "Show Preview");
    SetAdjustmentsEnabled(dialog, toneMapped);
    RefreshPreview(dialog);
}

// The flag acts in the full run only: no new preview.
void TogglePanorama(HWND dialog) {
    Record().is360 = Record().is360 ? 0 : 1;
    CheckDlgButton(dialog, IDC_PANORAMA, Record().is360 ? BST_CHECKED : BST_UNCHECKED);
}

void ChangePreviewSize(HWND dialog) {
    int32_t size = kPreviewSmall;
    if (IsDlgButtonChecked(dialog, IDC_ZOOM_MEDIUM) == BST_CHECKED)
        size = kPreviewMedium;
    else if (IsDlgButtonChecked(dialog, IDC_ZOOM_LARGE) == BST_CHECKED)
        size = kPreviewLarge;
    SetPreviewSize(size);
    Record().recomputeLevel = 2;
    RefreshPreview(dialog);
    FitDialogToPreview(dialog);
}

bool IsSmoothingButton(int id) { return id >= IDC_SMOOTHING_VERY_LOW && id <= IDC_SMOOTHING_VERY_HIGH; }

// WM_COMMAND. "Show Original" answers every notification, the other
// controls only a click.
INT_PTR HandleCommand(HWND dialog, int id, int notification) {
    if (id == IDC_SHOW_ORIGINAL) {
        SwitchPreviewSource(dialog);
        return 0;
    }
    if (notification != BN_CLICKED) return 0;
    switch (id) {
        case IDOK:
        case IDCANCEL: CloseDialog(dialog, id); return TRUE;
        case IDC_PREVIOUS:
            LoadLastUsedSettings();
            ShowReplacedSettings(dialog);
            break;
        case IDC_DEFAULT:
            SetDefaultSettings(gPlugin.settings, gPlugin.globals);
            ShowReplacedSettings(dialog);
            break;
        case IDC_LOAD:
            if (LoadSettingsFromDialog(dialog, gPlugin.settings)) ShowReplacedSettings(dialog);
            break;
        case IDC_SAVE: SaveSettingsFile(dialog, *gPlugin.settings); break;
        case IDC_HELP_BUTTON: ShowHelpFile(dialog); break;
        case IDC_PANORAMA: TogglePanorama(dialog); break;
        case IDC_ZOOM_SMALL:
        case IDC_ZOOM_MEDIUM:
        case IDC_ZOOM_LARGE: ChangePreviewSize(dialog); break;
        default:
            if (IsSmoothingButton(id)) HandleSmoothingClick(dialog);
            break;
    }
    return 0;
}

void HandleNotification(HWND dialog, const NMHDR& header) {
    if (header.idFrom != IDC_TABS || header.code != TCN_SELCHANGE) return;
    ShowTabPage(dialog, static_cast<int>(SendDlgItemMessageA(dialog, IDC_TABS, TCM_GETCURSEL, 0, 0)));
}

// The picture and histogram are drawn only while the host's result is clean
// and something needs painting.
void HandlePaint(HWND dialog) {
    if (*gPlugin.result == noErr && GetUpdateRect(dialog, nullptr, FALSE)) PaintPreview(dialog);
}

}  // namespace

PLUGIN_EXPORT INT_PTR CALLBACK TMProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OpenDialog(dialog); return TRUE;
        case WM_COMMAND: return HandleCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        case WM_HSCROLL:
            if (lParam != 0) HandleSliderRequest(dialog, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_NOTIFY: HandleNotification(dialog, *reinterpret_cast<const NMHDR*>(lParam)); return 0;
        case WM_PAINT: HandlePaint(dialog); return 0;
        default: return 0;
    }
}

bool DoToneMappingDialog() {
    // The template's tab control needs its class before the dialog creates it.
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES};
    InitCommonControlsEx(&classes);
    // OK and Cancel release the preview's buffers; this covers any other end.
    const ScopedPreviewBuffers buffers;
    const INT_PTR ended = DialogBoxParamA(static_cast<HINSTANCE>(GetModuleInstance()), TM_DIALOG_TEMPLATE,
                                          HostWindow(), TMProc, 0);
    DeleteFonts();
    *gPlugin.result = noErr;
    return ended == IDOK;
}
