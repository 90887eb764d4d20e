#include "MiniHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "HostCallbacks.h"

struct HostHandleBlock {
    std::vector<uint8_t> bytes;
    bool locked = false;
};

struct HostBufferBlock {
    void* memory = nullptr;
    int32_t size = 0;
    bool locked = false;
};

MiniHost* gActiveHost = nullptr;

namespace {

std::vector<HostMessage> gMessagesOutsideCalls;

int BytesPerSample(int16_t depth) { return depth == 32 ? 4 : depth == 16 ? 2 : 1; }

bool IsEmpty(const VRect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool SameRect(const VRect& a, const VRect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

VRect Widen(const Rect& r) { return VRect{r.top, r.left, r.bottom, r.right}; }

Rect Narrow(const VRect& r) {
    auto clamp16 = [](int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); };
    return Rect{clamp16(r.top), clamp16(r.left), clamp16(r.bottom), clamp16(r.right)};
}

bool ModuleUses32Bit(const MiniHost& host) {
    return host.record.bigDocumentData != nullptr && host.bigDocument.PluginUsing32BitCoordinates != 0;
}

// ---- Handle procedures ----

Handle NewHandle(int32_t size) {
    MiniHost& host = *gActiveHost;
    ++host.handleAllocations;
    if (size < 0 || host.handleAllocations == host.faults.failHandleAllocation) return nullptr;
    auto* block = new HostHandleBlock;
    block->bytes.assign(static_cast<size_t>(size), 0xCD);  // not zeroed, as a real host's
    host.handles.push_back(block);
    return reinterpret_cast<Handle>(block);
}

HostHandleBlock* FindHandle(Handle h) {
    auto* block = reinterpret_cast<HostHandleBlock*>(h);
    auto& all = gActiveHost->handles;
    return std::find(all.begin(), all.end(), block) != all.end() ? block : nullptr;
}

void DisposeHandle(Handle h) {
    HostHandleBlock* block = FindHandle(h);
    if (block == nullptr) return;
    auto& all = gActiveHost->handles;
    all.erase(std::find(all.begin(), all.end(), block));
    delete block;
}

Ptr LockHandle(Handle h, Boolean) {
    MiniHost& host = *gActiveHost;
    ++host.handleLocks;
    HostHandleBlock* block = FindHandle(h);
    if (block == nullptr || host.handleLocks == host.faults.failHandleLock) return nullptr;
    block->locked = true;
    return reinterpret_cast<Ptr>(block->bytes.data());
}

// Handle locks are a state, not a count: unlocking an unlocked handle is harmless.
void UnlockHandle(Handle h) {
    if (HostHandleBlock* block = FindHandle(h)) block->locked = false;
}

// ---- Buffer procedures ----

OSErr AllocateBuffer(int32_t size, BufferID* bufferID) {
    MiniHost& host = *gActiveHost;
    ++host.bufferAllocations;
    *bufferID = nullptr;
    if (size < 0 || host.bufferAllocations == host.faults.failBufferAllocation ||
        host.bufferBytesOutstanding + size > host.bufferBudget)
        return memFullErr;
    void* memory = std::malloc(size > 0 ? static_cast<size_t>(size) : 1);
    if (memory == nullptr) return memFullErr;
    auto* block = new HostBufferBlock{memory, size, false};
    host.buffers.push_back(block);
    host.bufferBytesOutstanding += size;
    host.peakBufferBytes = std::max(host.peakBufferBytes, host.bufferBytesOutstanding);
    *bufferID = reinterpret_cast<BufferID>(block);
    return noErr;
}

HostBufferBlock* FindBuffer(BufferID id) {
    auto* block = reinterpret_cast<HostBufferBlock*>(id);
    auto& all = gActiveHost->buffers;
    return std::find(all.begin(), all.end(), block) != all.end() ? block : nullptr;
}

Ptr LockBuffer(BufferID id, Boolean) {
    MiniHost& host = *gActiveHost;
    ++host.bufferLocks;
    HostBufferBlock* block = FindBuffer(id);
    if (block == nullptr || host.bufferLocks == host.faults.failBufferLock) return nullptr;
    block->locked = true;
    return static_cast<Ptr>(block->memory);
}

void UnlockBuffer(BufferID id) {
    if (HostBufferBlock* block = FindBuffer(id)) block->locked = false;
}

void FreeBuffer(BufferID id) {
    HostBufferBlock* block = FindBuffer(id);
    if (block == nullptr) return;
    MiniHost& host = *gActiveHost;
    host.bufferBytesOutstanding -= block->size;
    host.buffers.erase(std::find(host.buffers.begin(), host.buffers.end(), block));
    std::free(block->memory);
    delete block;
}

// ---- Progress and cancellation ----

Boolean TestAbort() {
    MiniHost& host = *gActiveHost;
    ++host.abortChecks;
    if (host.abortObserver != nullptr && host.abortObserver()) return true;
    return host.faults.cancelAtCheck > 0 && host.abortChecks >= host.faults.cancelAtCheck;
}

void ReportProgress(int32_t done, int32_t total) {
    MiniHost& host = *gActiveHost;
    host.progress.emplace_back(done, total);
    if (host.progressObserver != nullptr) host.progressObserver(done, total);
}

void RecordMessage(const char* caption, const char* text) {
    HostMessage message{caption != nullptr ? caption : "", text != nullptr ? text : ""};
    if (gActiveHost != nullptr)
        gActiveHost->messages.push_back(message);
    else
        gMessagesOutsideCalls.push_back(message);
}

// ---- Pixel exchange ----

// Copies the pixels of `rect`, planes lo..hi, between the document and an
// interleaved buffer whose rows are `rowBytes` apart.
void CopyRect(HostDocument& doc, const VRect& rect, int16_t lo, int16_t hi, uint8_t* buffer, int32_t rowBytes,
              bool toDocument) {
    const int bytes = BytesPerSample(doc.depth);
    const size_t pixelBytes = static_cast<size_t>(hi - lo + 1) * bytes;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = buffer + static_cast<size_t>(y - rect.top) * rowBytes;
        for (int32_t x = rect.left; x < rect.right; ++x) {
            uint8_t* pixel = doc.samples.data() + ((static_cast<size_t>(y) * doc.width + x) * doc.planes + lo) * bytes;
            uint8_t* sample = row + (x - rect.left) * pixelBytes;
            if (toDocument)
                std::memcpy(pixel, sample, pixelBytes);
            else
                std::memcpy(sample, pixel, pixelBytes);
        }
    }
}

void CommitOutput(MiniHost& host) {
    if (host.outBuffer)
        CopyRect(host.document, host.outRectDelivered, host.outLoDelivered, host.outHiDelivered,
                 host.outBuffer.get(), host.record.outRowBytes, true);
    host.outBuffer.reset();
    host.record.outData = nullptr;
}

bool ValidRequest(const HostDocument& doc, const VRect& r, int16_t lo, int16_t hi) {
    return r.left >= 0 && r.top >= 0 && r.right <= doc.width && r.bottom <= doc.height && lo >= 0 && lo <= hi &&
           hi < doc.planes;
}

// A buffer for delivered pixels; the bytes that pad its rows are marked.
std::unique_ptr<uint8_t[]> NewPixelBuffer(size_t size, int32_t rowPadding) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
    if (buffer && rowPadding > 0) std::memset(buffer.get(), 0xEE, size);
    return buffer;
}

bool CoversDocument(const HostDocument& doc, const VRect& r, int16_t lo, int16_t hi) {
    return r.left == 0 && r.top == 0 && r.right == doc.width && r.bottom == doc.height && lo == 0 &&
           hi == doc.planes - 1;
}

// Delivers the requested rectangles, planes interleaved and rows contiguous,
// after taking back what the module wrote into the previous output.
OSErr AdvanceState() {
    MiniHost& host = *gActiveHost;
    ++host.advanceStateCalls;
    CommitOutput(host);
    FilterRecord& r = host.record;
    const bool use32 = ModuleUses32Bit(host);
    const VRect in = use32 ? host.bigDocument.inRect32 : Widen(r.inRect);
    const VRect out = use32 ? host.bigDocument.outRect32 : Widen(r.outRect);
    const int bytes = BytesPerSample(host.document.depth);

    host.inBuffer.reset();
    r.inData = nullptr;
    r.inRowBytes = 0;
    if (!IsEmpty(in)) {
        if (!ValidRequest(host.document, in, r.inLoPlane, r.inHiPlane)) return filterBadParameters;
        const int count = r.inHiPlane - r.inLoPlane + 1;
        r.inRowBytes = (in.right - in.left) * count * bytes + host.rowPaddingBytes;
        const bool wholeDocument =
            host.rowPaddingBytes == 0 && CoversDocument(host.document, in, r.inLoPlane, r.inHiPlane);
        const bool sameAsOutput =
            host.inPlace && SameRect(in, out) && r.inLoPlane == r.outLoPlane && r.inHiPlane == r.outHiPlane;
        if (wholeDocument && (IsEmpty(out) || sameAsOutput)) {
            // Only reading, as the preview does, or filtering in place: the
            // module reads the document itself, as the host's own image,
            // instead of a copy of it.
            r.inData = host.document.samples.data();
        } else {
            host.inBuffer =
                NewPixelBuffer(static_cast<size_t>(r.inRowBytes) * (in.bottom - in.top), host.rowPaddingBytes);
            if (!host.inBuffer) return memFullErr;
            CopyRect(host.document, in, r.inLoPlane, r.inHiPlane, host.inBuffer.get(), r.inRowBytes, false);
            r.inData = host.inBuffer.get();
        }
    }
    r.outRowBytes = 0;
    if (!IsEmpty(out)) {
        if (!ValidRequest(host.document, out, r.outLoPlane, r.outHiPlane)) return filterBadParameters;
        const int count = r.outHiPlane - r.outLoPlane + 1;
        r.outRowBytes = (out.right - out.left) * count * bytes + host.rowPaddingBytes;
        if (host.rowPaddingBytes == 0 && CoversDocument(host.document, out, r.outLoPlane, r.outHiPlane)) {
            // The module writes straight into the document, as into the host's own image.
            r.outData = host.document.samples.data();
            return noErr;
        }
        host.outBuffer = NewPixelBuffer(static_cast<size_t>(r.outRowBytes) * (out.bottom - out.top), host.rowPaddingBytes);
        if (!host.outBuffer) return memFullErr;
        CopyRect(host.document, out, r.outLoPlane, r.outHiPlane, host.outBuffer.get(), r.outRowBytes, false);
        r.outData = host.outBuffer.get();
        host.outRectDelivered = out;
        host.outLoDelivered = r.outLoPlane;
        host.outHiDelivered = r.outHiPlane;
    }
    return noErr;
}

// ---- Display ----

// Checks what a host checks before it paints, a version-1 map of 8-bit
// planes whose source rectangle lies inside its bounds, then draws it into
// the device context it was given.
OSErr DisplayPixels(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow, int32_t dstCol,
                    void* platformContext) {
    MiniHost& host = *gActiveHost;
    ++host.displayPixelsCalls;
    if (source == nullptr || srcRect == nullptr || source->version < 1 || source->baseAddr == nullptr)
        return paramErr;
    host.lastPixelMap = *source;
    const VRect& b = source->bounds;
    const bool inside = srcRect->top >= b.top && srcRect->left >= b.left && srcRect->bottom <= b.bottom &&
                        srcRect->right <= b.right;
    if (!inside) return paramErr;
    if (platformContext == nullptr) return noErr;
    return DrawPixelMap(*source, *srcRect, dstRow, dstCol, platformContext);
}

SPBasicSuite* OfferedBasicSuite(MiniHost& host) { return host.offerBasicSuite ? &host.basicSuite : nullptr; }

Point NarrowPoint(int32_t v, int32_t h) {
    auto clamp16 = [](int32_t x) { return static_cast<int16_t>(std::clamp(x, -32768, 32767)); };
    return Point{clamp16(v), clamp16(h)};
}

// Fills the record's image description from the document before a selector,
// as the real host does: sizes and the selection in both coordinate systems
// and the kind of data.
void DescribeDocument(MiniHost& host) {
    FilterRecord& r = host.record;
    HostDocument& doc = host.document;
    const VRect& selection = doc.filterRect;
    r.planes = doc.planes;
    r.depth = doc.depth;
    r.imageMode = doc.imageMode;
    r.imageSize = NarrowPoint(doc.height, doc.width);
    r.wholeSize = r.imageSize;
    r.floatCoord = Point{0, 0};
    r.filterRect = Narrow(selection);
    const bool wholeImage = selection.top == 0 && selection.left == 0 && selection.bottom == doc.height &&
                            selection.right == doc.width;
    r.filterCase = wholeImage ? filterCaseFlatImageNoSelection : filterCaseFlatImageWithSelection;
    if (host.offerBigDocument) {
        host.bigDocument.imageSize32 = VPoint{doc.height, doc.width};
        host.bigDocument.wholeSize32 = VPoint{doc.height, doc.width};
        host.bigDocument.floatCoord32 = VPoint{0, 0};
        host.bigDocument.filterRect32 = selection;
        r.bigDocumentData = &host.bigDocument;
    } else {
        r.bigDocumentData = nullptr;
    }
    r.parameters = host.parameters;
    r.descriptorParameters = host.offerScripting ? &host.descriptorParameters : nullptr;
    host.descriptorParameters.playInfo = host.playInfo;
    r.sSPBasic = OfferedBasicSuite(host);
}

// Start receives the action being played back, as a descriptor handle that
// the module disposes once read; finish may leave a new one for the host
// to record. Whatever descriptor remains is the host's to dispose.
void HandOverDescriptor(MiniHost& host, int16_t selector) {
    PIDescriptorParameters& p = host.descriptorParameters;
    if (selector == filterSelectorStart && host.playAction && host.offerScripting && p.descriptor == nullptr)
        p.descriptor = NewDescriptorHandle(host, host.actionToPlay);
    if (selector == filterSelectorFinish) {
        host.actionRecorded = false;
        host.recordedAction.clear();
        p.recordInfo = plugInDialogDisplay;
    }
}

void TakeBackDescriptor(MiniHost& host, int16_t selector) {
    PIDescriptorParameters& p = host.descriptorParameters;
    if (p.descriptor == nullptr) return;
    if (selector == filterSelectorFinish)
        host.actionRecorded = ReadDescriptorHandle(host, p.descriptor, &host.recordedAction);
    else if (selector == filterSelectorStart)
        ++host.playedDescriptorsLeftByModule;
    DisposeHostHandle(host, p.descriptor);
    p.descriptor = nullptr;
}

// The budget before prepare, in the 32-bit field and, for a current host,
// in the 64-bit one as well.
void OfferMemoryBudget(MiniHost& host) {
    host.record.maxSpace = static_cast<int32_t>(std::clamp<int64_t>(host.maxSpace, 0, INT32_MAX));
    host.record.maxSpace64 = host.offerMaxSpace64 ? host.maxSpace : 0;
}

// The full tables a host hands over; the slots the module has no business
// calling fail the selector call in progress.
HandleProcs HandleTable() {
    return HandleProcs{
        kCurrentHandleProcsVersion,
        kCurrentHandleProcsCount,
        NewHandle,
        DisposeHandle,
        [](Handle) -> int32_t {
            NoteForbiddenCall("HandleProcs::getSizeProc");
            return 0;
        },
        [](Handle, int32_t) -> OSErr {
            NoteForbiddenCall("HandleProcs::setSizeProc");
            return memFullErr;
        },
        LockHandle,
        UnlockHandle,
        [](int32_t) { NoteForbiddenCall("HandleProcs::recoverSpaceProc"); },
        [](Handle) { NoteForbiddenCall("HandleProcs::disposeRegularHandleProc"); },
    };
}

BufferProcs BufferTable() {
    return BufferProcs{
        kCurrentBufferProcsVersion,
        kCurrentBufferProcsCount,
        AllocateBuffer,
        LockBuffer,
        UnlockBuffer,
        FreeBuffer,
        []() -> int32_t {
            NoteForbiddenCall("BufferProcs::spaceProc");
            return 0;
        },
    };
}

}  // namespace

Handle NewHostHandle(MiniHost& host, const std::vector<uint8_t>& bytes) {
    auto* block = new HostHandleBlock;
    block->bytes = bytes;
    host.handles.push_back(block);
    return reinterpret_cast<Handle>(block);
}

const std::vector<uint8_t>* HostHandleBytes(const MiniHost& host, Handle handle) {
    auto* block = reinterpret_cast<HostHandleBlock*>(handle);
    if (std::find(host.handles.begin(), host.handles.end(), block) == host.handles.end()) return nullptr;
    return &block->bytes;
}

void DisposeHostHandle(MiniHost& host, Handle handle) {
    auto* block = reinterpret_cast<HostHandleBlock*>(handle);
    auto it = std::find(host.handles.begin(), host.handles.end(), block);
    if (it == host.handles.end()) return;
    host.handles.erase(it);
    delete block;
}

void NoteForbiddenCall(const char* slot) {
    std::fprintf(stderr, "host: the module called %s, which it has no business calling\n", slot);
    if (gActiveHost != nullptr) gActiveHost->forbiddenCalls.push_back(slot);
}

MiniHost::MiniHost() {
    handleProcs = HandleTable();
    bufferProcs = BufferTable();
    record.hostSig = kPhotoshopSignature;
    record.abortProc = TestAbort;
    record.progressProc = ReportProgress;
    record.advanceState = AdvanceState;
    record.displayPixels = DisplayPixels;
    record.handleProcs = &handleProcs;
    record.bufferProcs = &bufferProcs;
    record.platformData = &platform;
    record.imageHRes = 72 << 16;
    record.imageVRes = 72 << 16;
    record.inputRate = 0x10000;
    record.maskRate = 0x10000;
    record.dummyPlaneValue = -1;
    InstallDescriptorProcs(*this);
    InstallBasicSuite(*this);
}

MiniHost::~MiniHost() {
    ReleaseDescriptorObjects(*this);
    for (HostHandleBlock* block : handles) delete block;
    for (HostBufferBlock* block : buffers) {
        std::free(block->memory);
        delete block;
    }
}

HostDocument MakeDocument(int32_t width, int32_t height, int16_t planes, int16_t depth) {
    HostDocument doc;
    doc.width = width;
    doc.height = height;
    doc.planes = planes;
    doc.depth = depth;
    doc.imageMode = depth == 32 ? plugInModeRGB96 : depth == 16 ? plugInModeRGB48 : plugInModeRGBColor;
    doc.filterRect = VRect{0, 0, height, width};
    doc.samples.assign(static_cast<size_t>(width) * height * planes * BytesPerSample(depth), 0);
    return doc;
}

float* FloatSamples(HostDocument& d) { return reinterpret_cast<float*>(d.samples.data()); }
uint16_t* Code16Samples(HostDocument& d) { return reinterpret_cast<uint16_t*>(d.samples.data()); }
uint8_t* Code8Samples(HostDocument& d) { return d.samples.data(); }
const float* FloatSamples(const HostDocument& d) { return reinterpret_cast<const float*>(d.samples.data()); }
const uint16_t* Code16Samples(const HostDocument& d) {
    return reinterpret_cast<const uint16_t*>(d.samples.data());
}

int OutstandingHandles(const MiniHost& host) { return static_cast<int>(host.handles.size()); }

int OutstandingHandleLocks(const MiniHost& host) {
    return static_cast<int>(std::count_if(host.handles.begin(), host.handles.end(),
                                          [](const HostHandleBlock* b) { return b->locked; }));
}

int OutstandingBuffers(const MiniHost& host) { return static_cast<int>(host.buffers.size()); }

int OutstandingBufferLocks(const MiniHost& host) {
    return static_cast<int>(std::count_if(host.buffers.begin(), host.buffers.end(),
                                          [](const HostBufferBlock* b) { return b->locked; }));
}

uint8_t* PeekHandle(MiniHost& host, Handle handle) {
    auto* block = reinterpret_cast<HostHandleBlock*>(handle);
    if (std::find(host.handles.begin(), host.handles.end(), block) == host.handles.end()) return nullptr;
    return block->bytes.data();
}

int16_t SetModulePanoramaFlag(MiniHost& host, const PluginModule& module, bool is360) {
    auto* block = reinterpret_cast<HostHandleBlock*>(host.parameters);
    if (module.setPanoramaFlag == nullptr || PeekHandle(host, host.parameters) == nullptr) return filterBadParameters;
    return module.setPanoramaFlag(block->bytes.data(), static_cast<int32_t>(block->bytes.size()), is360 ? 1 : 0);
}

int32_t ModuleRunDetail(MiniHost& host, const PluginModule& module) {
    const Handle globals = reinterpret_cast<Handle>(host.data);
    auto* block = reinterpret_cast<HostHandleBlock*>(globals);
    if (module.getRunDetail == nullptr || PeekHandle(host, globals) == nullptr) return kRunDetailNone;
    return module.getRunDetail(block->bytes.data(), static_cast<int32_t>(block->bytes.size()));
}

int16_t CallSelector(MiniHost& host, const PluginModule& module, int16_t selector) {
    MiniHost* previous = gActiveHost;
    gActiveHost = &host;
    if (module.setMessageBoxHandler != nullptr) module.setMessageBoxHandler(RecordMessage);
    host.selectors.push_back(selector);
    host.platform.hwnd = host.hostWindow;
    const size_t forbiddenBefore = host.forbiddenCalls.size();

    int16_t result = noErr;
    if (selector == filterSelectorAbout) {
        host.aboutRecord.platformData = &host.platform;
        host.aboutRecord.sSPBasic = OfferedBasicSuite(host);
        module.main(selector, &host.aboutRecord, &host.data, &result);
    } else {
        DescribeDocument(host);
        if (selector == filterSelectorPrepare) OfferMemoryBudget(host);
        HandOverDescriptor(host, selector);
        const ScopedDialogAnswer answer(selector == filterSelectorStart ? host.dialogAnswer : 0);
        module.main(selector, &host.record, &host.data, &result);
        TakeBackDescriptor(host, selector);
        host.parameters = host.record.parameters;
        CommitOutput(host);
        host.inBuffer.reset();
        host.record.inData = nullptr;
    }
    gActiveHost = previous;
    return host.forbiddenCalls.size() > forbiddenBefore ? kForbiddenSlotCalled : result;
}

int16_t CallPreview(MiniHost& host, const PluginModule& module, int16_t command, PreviewExchange* exchange) {
    if (module.previewMain == nullptr) return filterBadParameters;
    MiniHost* previous = gActiveHost;
    gActiveHost = &host;
    if (module.setMessageBoxHandler != nullptr) module.setMessageBoxHandler(RecordMessage);
    host.platform.hwnd = host.hostWindow;
    const size_t forbiddenBefore = host.forbiddenCalls.size();
    DescribeDocument(host);
    int16_t result = noErr;
    module.previewMain(command, &host.record, &host.data, &result, exchange);
    host.parameters = host.record.parameters;
    CommitOutput(host);
    host.inBuffer.reset();
    host.record.inData = nullptr;
    gActiveHost = previous;
    return host.forbiddenCalls.size() > forbiddenBefore ? kForbiddenSlotCalled : result;
}

bool RequestsAreEmpty(const MiniHost& host) {
    const bool use32 = ModuleUses32Bit(host);
    const VRect in = use32 ? host.bigDocument.inRect32 : Widen(host.record.inRect);
    const VRect out = use32 ? host.bigDocument.outRect32 : Widen(host.record.outRect);
    const VRect mask = use32 ? host.bigDocument.maskRect32 : Widen(host.record.maskRect);
    return IsEmpty(in) && IsEmpty(out) && IsEmpty(mask);
}

int16_t RunFilter(MiniHost& host, const PluginModule& module, bool withParameters) {
    if (withParameters) {
        if (int16_t r = CallSelector(host, module, filterSelectorParameters)) return r;
    }
    if (int16_t r = CallSelector(host, module, filterSelectorPrepare)) return r;
    return RunFromStart(host, module);
}

int16_t RunFromStart(MiniHost& host, const PluginModule& module) {
    if (int16_t r = CallSelector(host, module, filterSelectorStart)) return r;
    // A module that never empties its requests is stopped after a bounded number of rounds.
    for (int round = 0; round < 1000; ++round) {
        if (int16_t r = CallSelector(host, module, filterSelectorContinue)) return r;
        if (RequestsAreEmpty(host)) break;
    }
    return CallSelector(host, module, filterSelectorFinish);
}

void ReleaseKeptHandles(MiniHost& host) {
    MiniHost* previous = gActiveHost;
    gActiveHost = &host;
    if (host.data != 0) DisposeHandle(reinterpret_cast<Handle>(host.data));
    if (host.parameters != nullptr) DisposeHandle(host.parameters);
    host.data = 0;
    host.parameters = nullptr;
    host.record.parameters = nullptr;
    gActiveHost = previous;
}
