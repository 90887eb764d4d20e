// The preview picture and its histogram: asked for after every change,
// painted through the host's display callback into the area of the hidden
// preview frame, and the dialog grown for the larger previews.
#include <windows.h>

#include "DialogControlIds.h"
#include "HostUtils.h"
#include "PluginState.h"
#include "PreviewGeometry.h"
#include "PreviewRun.h"
#include "ToneMappingDialog.h"

namespace {

// The dialog's outer size at opening, in pixels; Small brings it back.
PixelSize gOpeningSize{0, 0};

const TMGlobals& Globals() { return *gPlugin.globals; }

RECT ScreenRectOf(HWND dialog, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    return rect;
}

RECT ToClient(HWND dialog, RECT rect) {
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

PixelRect AsPixelRect(const RECT& r) { return PixelRect{r.left, r.top, r.right, r.bottom}; }

RECT AsRect(const PixelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// The display buffer as the host's 8-bit pixel map, its top-left corner at
// (left, top) of the dialog's client area; drawn by the host.
void DisplayPicture(HDC context, int32_t left, int32_t top) {
    FilterRecord* record = gPlugin.filterRecord;
    const TMGlobals& globals = Globals();
    if (record->displayPixels == nullptr || globals.previewDisplay.address == nullptr) return;
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{top, left, top + globals.previewHeight, left + globals.previewWidth};
    map.imageMode = EightBitModeOf(record->imageMode);
    map.rowBytes = globals.previewWidth;
    map.colBytes = 1;
    map.planeBytes = globals.previewWidth * globals.previewHeight;
    map.baseAddr = globals.previewDisplay.address;
    const VRect source = map.bounds;
    record->displayPixels(&map, &source, top, left, context);
}

// The shown histogram in the histogram frame, with the context's pen (black,
// one pixel, as painting begins).
void DrawHistogram(HWND dialog, HDC context) {
    const auto* counts = static_cast<const int32_t*>(Globals().histograms.address);
    if (counts == nullptr) return;
    const PixelRect area = AsPixelRect(ToClient(dialog, ScreenRectOf(dialog, IDC_HISTOGRAM_FRAME)));
    for (const HistogramLine& line : HistogramLines(counts, area)) {
        MoveToEx(context, line.x0, line.y0, nullptr);
        LineTo(context, line.x1, line.y1);
    }
}

}  // namespace

void RememberOpeningSize(HWND dialog) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    gOpeningSize = PixelSize{rect.right - rect.left, rect.bottom - rect.top};
}

void RefreshPreview(HWND dialog) {
    if (*gPlugin.result != noErr) return;
    ComputePreview();
    const PixelRect frame = AsPixelRect(ScreenRectOf(dialog, IDC_PREVIEW_FRAME));
    const RECT picture =
        ToClient(dialog, AsRect(PreviewArea(frame, Globals().previewWidth, Globals().previewHeight)));
    // The picture covers its area and needs no erasing; the histogram's area
    // is erased, so that the old bars go.
    InvalidateRect(dialog, &picture, FALSE);
    const RECT histogram = ToClient(dialog, ScreenRectOf(dialog, IDC_HISTOGRAM_FRAME));
    InvalidateRect(dialog, &histogram, TRUE);
}

void PaintPreview(HWND dialog) {
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    const RECT frame = ScreenRectOf(dialog, IDC_PREVIEW_FRAME);
    PAINTSTRUCT paint;
    const HDC context = BeginPaint(dialog, &paint);
    DisplayPicture(context, frame.left - origin.x, frame.top - origin.y);
    DrawHistogram(dialog, context);
    EndPaint(dialog, &paint);
}

void FitDialogToPreview(HWND dialog) {
    RECT window{};
    GetWindowRect(dialog, &window);
    const RECT frame = ScreenRectOf(dialog, IDC_PREVIEW_FRAME);
    const int32_t width = Globals().previewWidth;
    const int32_t height = Globals().previewHeight;
    const PixelSize size = FittedDialogSize(
        gOpeningSize, PixelSize{frame.left - window.left, frame.top - window.top}, width, height);
    constexpr UINT kResizeOnly = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(dialog, nullptr, 0, 0, size.width, size.height, kResizeOnly);
    SetWindowPos(GetDlgItem(dialog, IDC_PREVIEW_FRAME), nullptr, 0, 0, width, height, kResizeOnly);
}
