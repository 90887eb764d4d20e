#include "HostUtils.h"

namespace {

void* gModuleInstance = nullptr;

bool Uses32BitCoordinates(const FilterRecord* record) {
    return record->bigDocumentData != nullptr && record->bigDocumentData->PluginUsing32BitCoordinates != 0;
}

VRect Widen(const Rect& r) { return VRect{r.top, r.left, r.bottom, r.right}; }

Rect Narrow(const VRect& r) {
    return Rect{static_cast<int16_t>(r.top), static_cast<int16_t>(r.left), static_cast<int16_t>(r.bottom),
                static_cast<int16_t>(r.right)};
}

}  // namespace

VRect GetFilterRectangle(const FilterRecord* record) {
    return Uses32BitCoordinates(record) ? record->bigDocumentData->filterRect32 : Widen(record->filterRect);
}

VRect GetInputRectangle(const FilterRecord* record) {
    return Uses32BitCoordinates(record) ? record->bigDocumentData->inRect32 : Widen(record->inRect);
}

void SetInputRectangle(FilterRecord* record, const VRect& rect) {
    if (Uses32BitCoordinates(record))
        record->bigDocumentData->inRect32 = rect;
    else
        record->inRect = Narrow(rect);
}

void SetOutputRectangle(FilterRecord* record, const VRect& rect) {
    if (Uses32BitCoordinates(record))
        record->bigDocumentData->outRect32 = rect;
    else
        record->outRect = Narrow(rect);
}

void SetMaskRectangle(FilterRecord* record, const VRect& rect) {
    if (Uses32BitCoordinates(record))
        record->bigDocumentData->maskRect32 = rect;
    else
        record->maskRect = Narrow(rect);
}

void* GetModuleInstance() { return gModuleInstance; }

void SetModuleInstance(void* instance) { gModuleInstance = instance; }

int ChannelCountOfMode(int mode, int fallback) {
    // Modes 0..17; -1 marks the multichannel modes, which take the fallback.
    static const int kChannels[18] = {1, 1, 3, 3, 4, 3, 3, -1, 1, 3, 1, 3, 3, 4, -1, 1, 3, 1};
    if (mode < 0 || mode > 17 || kChannels[mode] < 0) return fallback;
    return kChannels[mode];
}

int EightBitModeOf(int mode) {
    switch (mode) {
        case plugInModeGray16: return plugInModeGrayScale;
        case plugInModeRGB48: return plugInModeRGBColor;
        case plugInModeLab48: return plugInModeLabColor;
        case plugInModeCMYK64: return plugInModeCMYKColor;
        case plugInModeDeepMultichannel: return plugInModeMultichannel;
        case plugInModeDuotone16: return plugInModeDuotone;
        case plugInModeRGB96: return plugInModeRGBColor;
        case plugInModeGray32: return plugInModeGrayScale;
        default: return mode;
    }
}
