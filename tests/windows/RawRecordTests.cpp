// The built ToneMapping.8bf driven through records that are nothing but
// bytes. Every field and procedure slot sits at the offset the host's
// published interface gives for 64-bit Windows, written out here by hand:
// this test trusts neither our host contract header nor our own host, so a
// layout mistake shared by both still fails here. It plays parameters,
// prepare, start, continue and finish, with scripting and the descriptor
// registry, and compares a real photograph's result with the Linux tool's.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// ---- Offsets in the host's published layout (64-bit Windows) ----

// The filter record, packed to 4 bytes: 608 bytes in all.
namespace record_at {
constexpr size_t abortProc = 4, progressProc = 12, parameters = 20, imageSize = 28, planes = 32, filterRect = 34;
constexpr size_t maxSpace = 56, inRect = 64, inLoPlane = 72, inHiPlane = 74, outRect = 76, outLoPlane = 84;
constexpr size_t outHiPlane = 86, inData = 88, inRowBytes = 96, outData = 100, outRowBytes = 108, maskRect = 116;
constexpr size_t hostSig = 144, imageMode = 156, wholeSize = 172, platformData = 216, bufferProcs = 224;
constexpr size_t handleProcs = 256, filterCase = 268, advanceState = 280, inputRate = 312, maskRate = 316;
constexpr size_t descriptorParameters = 432, sSPBasic = 464, depth = 480, bigDocumentData = 504, maxSpace64 = 552;
constexpr size_t size = 608;
}  // namespace record_at

// The big-document block: int32 flag, then 32-bit points and rectangles.
namespace big_at {
constexpr size_t using32 = 0, imageSize32 = 4, filterRect32 = 12, inRect32 = 28, outRect32 = 44, maskRect32 = 60;
constexpr size_t wholeSize32 = 84, size = 92;
}  // namespace big_at

// Procedure tables have natural alignment: two int16 counts, then pointers from offset 8.
constexpr size_t kFirstSlot = 8;
constexpr size_t SlotAt(int index) { return kFirstSlot + 8 * static_cast<size_t>(index); }

// Descriptor parameters: three int16, then the descriptor handle and the two tables.
namespace params_at {
constexpr size_t playInfo = 2, recordInfo = 4, descriptor = 8, writeProcs = 16, readProcs = 24, size = 32;
}

// The basic suite and the two suites acquired through it (no counts in front).
constexpr size_t kSuiteSlots = 24;  // the action descriptor suite up to GetFloat
constexpr int kAcquireSuite = 0, kReleaseSuite = 1;
constexpr int kRegister = 0, kGet = 2;
constexpr int kMake = 0, kFree = 1, kPutInteger = 9, kPutFloat = 10, kGetInteger = 22, kGetFloat = 23;

constexpr const char* kRegistrySuite = "61e608b0-40fd-11d1-8da3-00c04fd5f7ee";
constexpr const char* kActionDescriptorSuite = "df135115-c769-11d0-8079-00c04fd7ec47";
constexpr uint32_t kTypeInteger = 0x6C6F6E67, kTypeFloat = 0x646F7562;  // 'long', 'doub'
constexpr int32_t kBudgetLimit = 524303;  // what prepare leaves of a larger budget
constexpr size_t kGuardBytes = 64;
constexpr uint8_t kGuard = 0xA5;

// ---- Memory blocks the record and tables live in ----

struct Block {
    std::vector<uint8_t> bytes;
    explicit Block(size_t size) : bytes(size + kGuardBytes, kGuard) { std::fill_n(bytes.begin(), size, 0); }
    template <class T>
    void Put(size_t at, T value) {
        std::memcpy(bytes.data() + at, &value, sizeof value);
    }
    template <class T>
    T Get(size_t at) const {
        T value;
        std::memcpy(&value, bytes.data() + at, sizeof value);
        return value;
    }
    void* Address() { return bytes.data(); }
    // Nothing written past the documented size.
    bool GuardIntact(size_t size) const {
        return std::all_of(bytes.begin() + size, bytes.end(), [](uint8_t b) { return b == kGuard; });
    }
};

struct Rect32 {
    int32_t top, left, bottom, right;
    bool Empty() const { return right <= left || bottom <= top; }
};

struct Item {
    uint32_t key, type;
    int32_t integer;
    double number;
    bool operator==(const Item& o) const {
        return key == o.key && type == o.type && integer == o.integer && number == o.number;
    }
};
using Items = std::vector<Item>;

struct Image {
    int32_t width = 0, height = 0;
    std::vector<float> rgb;  // rows top first, three samples per pixel
};

// ---- The host behind the callbacks ----

struct RawHost {
    Image document;
    bool offerBigDocument = true;
    Items actionToPlay;        // the descriptor handed at start
    Items recordedAction;      // what finish left in the descriptor parameters
    std::vector<std::pair<std::string, Items>> registry;

    Block record{record_at::size};
    Block bigDocument{big_at::size};
    Block platform{8};
    Block handleProcs{SlotAt(8)}, bufferProcs{SlotAt(5)};
    Block params{params_at::size}, readProcs{SlotAt(5)}, writeProcs{SlotAt(4)};
    Block basicSuite{8 * 7}, registrySuite{8 * 3}, descriptorSuite{8 * kSuiteSlots};

    std::set<std::vector<char>*> handles;
    std::set<std::vector<char>*> buffers;
    std::set<Items*> descriptors;
    std::set<std::pair<Items*, size_t>*> readTokens;
    std::set<Items*> writeTokens;
    int suitesHeld = 0;
    int forbiddenCalls = 0;
    int advanceCalls = 0;
    std::unique_ptr<float[]> inBuffer, outBuffer;
    Rect32 delivered{};
    intptr_t data = 0;
};

RawHost* gHost = nullptr;

template <class T>
T* Known(std::set<T*>& all, void* p) {
    auto* object = static_cast<T*>(p);
    return all.count(object) != 0 ? object : nullptr;
}

void ForbiddenSlot() { ++gHost->forbiddenCalls; }

uint8_t TestAbort() { return 0; }
void Progress(int32_t, int32_t) {}

void* NewHandle(int32_t size) {
    if (size < 0) return nullptr;
    auto* h = new std::vector<char>(static_cast<size_t>(size), char(0xCD));
    gHost->handles.insert(h);
    return h;
}
void DisposeHandle(void* h) {
    if (auto* v = Known(gHost->handles, h)) {
        gHost->handles.erase(v);
        delete v;
    }
}
char* LockHandle(void* h, uint8_t) {
    auto* v = Known(gHost->handles, h);
    return v != nullptr ? v->data() : nullptr;
}
void UnlockHandle(void*) {}

int16_t AllocateBuffer(int32_t size, void** id) {
    if (size < 0) return -108;
    auto* b = new std::vector<char>(static_cast<size_t>(size));
    gHost->buffers.insert(b);
    *id = b;
    return 0;
}
char* LockBuffer(void* id, uint8_t) {
    auto* b = Known(gHost->buffers, id);
    return b != nullptr ? b->data() : nullptr;
}
void UnlockBuffer(void*) {}
void FreeBuffer(void* id) {
    if (auto* b = Known(gHost->buffers, id)) {
        gHost->buffers.erase(b);
        delete b;
    }
}

// A descriptor handle holds its items as bytes: key, type, value.
void* DescriptorHandle(const Items& items) {
    auto* h = static_cast<std::vector<char>*>(NewHandle(static_cast<int32_t>(items.size() * sizeof(Item))));
    if (!items.empty()) std::memcpy(h->data(), items.data(), h->size());
    return h;
}
Items ItemsOfHandle(void* handle) {
    Items items;
    if (auto* v = Known(gHost->handles, handle)) {
        items.resize(v->size() / sizeof(Item));
        if (!items.empty()) std::memcpy(items.data(), v->data(), items.size() * sizeof(Item));
    }
    return items;
}

void* OpenRead(void* descriptor, const uint32_t*) {
    auto* token = new std::pair<Items*, size_t>(new Items(ItemsOfHandle(descriptor)), 0);
    gHost->readTokens.insert(token);
    return token;
}
int16_t CloseRead(void* token) {
    auto* t = Known(gHost->readTokens, token);
    if (t == nullptr) return -1715;
    gHost->readTokens.erase(t);
    delete t->first;
    delete t;
    return 0;
}
uint8_t GetKey(void* token, uint32_t* key, uint32_t* type, int32_t* flags) {
    auto* t = Known(gHost->readTokens, token);
    if (t == nullptr || t->second >= t->first->size()) return 0;
    const Item& item = (*t->first)[t->second++];
    *key = item.key;
    *type = item.type;
    *flags = 0;
    return 1;
}
const Item* CurrentItem(void* token, uint32_t type) {
    auto* t = Known(gHost->readTokens, token);
    if (t == nullptr || t->second == 0) return nullptr;
    const Item& item = (*t->first)[t->second - 1];
    return item.type == type ? &item : nullptr;
}
int16_t GetInteger(void* token, int32_t* value) {
    const Item* item = CurrentItem(token, kTypeInteger);
    if (item == nullptr) return -1703;
    *value = item->integer;
    return 0;
}
int16_t GetFloat(void* token, double* value) {
    const Item* item = CurrentItem(token, kTypeFloat);
    if (item == nullptr) return -1703;
    *value = item->number;
    return 0;
}

void SetItem(Items& items, const Item& item) {
    for (Item& existing : items)
        if (existing.key == item.key) {
            existing = item;
            return;
        }
    items.push_back(item);
}

void* OpenWrite() {
    auto* token = new Items;
    gHost->writeTokens.insert(token);
    return token;
}
int16_t CloseWrite(void* token, void** written) {
    auto* t = Known(gHost->writeTokens, token);
    if (t == nullptr) return -1715;
    *written = DescriptorHandle(*t);
    gHost->writeTokens.erase(t);
    delete t;
    return 0;
}
// Puts an item into a write token or descriptor, or answers `unknown` when
// the host never gave out that pointer.
int16_t PutInto(std::set<Items*>& known, void* p, int16_t unknown, const Item& item) {
    auto* items = Known(known, p);
    if (items == nullptr) return unknown;
    SetItem(*items, item);
    return 0;
}
int16_t PutIntegerItem(void* token, uint32_t key, int32_t value) {
    return PutInto(gHost->writeTokens, token, -1715, Item{key, kTypeInteger, value, 0});
}
int16_t PutFloatItem(void* token, uint32_t key, const double* value) {
    return PutInto(gHost->writeTokens, token, -1715, Item{key, kTypeFloat, 0, *value});
}

int32_t AcquireSuite(const char* name, int32_t version, const void** suite) {
    *suite = nullptr;
    if (std::strcmp(name, kRegistrySuite) == 0 && version == 1) *suite = gHost->registrySuite.Address();
    if (std::strcmp(name, kActionDescriptorSuite) == 0 && version == 3) *suite = gHost->descriptorSuite.Address();
    if (*suite == nullptr) return 0x53214664;  // 'S!Fd'
    ++gHost->suitesHeld;
    return 0;
}
int32_t ReleaseSuite(const char*, int32_t) {
    --gHost->suitesHeld;
    return 0;
}

int16_t Register(const char* key, void* descriptor, uint8_t) {
    auto* d = Known(gHost->descriptors, descriptor);
    if (d == nullptr) return -50;
    for (auto& entry : gHost->registry)
        if (entry.first == key) {
            entry.second = *d;
            return 0;
        }
    gHost->registry.emplace_back(key, *d);
    return 0;
}
int16_t GetEntry(const char* key, void** descriptor) {
    *descriptor = nullptr;
    for (const auto& entry : gHost->registry)
        if (entry.first == key) {
            auto* copy = new Items(entry.second);
            gHost->descriptors.insert(copy);
            *descriptor = copy;
        }
    return 0;
}

int16_t Make(void** descriptor) {
    auto* d = new Items;
    gHost->descriptors.insert(d);
    *descriptor = d;
    return 0;
}
int16_t Free(void* descriptor) {
    auto* d = Known(gHost->descriptors, descriptor);
    if (d == nullptr) return -50;
    gHost->descriptors.erase(d);
    delete d;
    return 0;
}
int16_t PutDescriptorInteger(void* descriptor, uint32_t key, int32_t value) {
    return PutInto(gHost->descriptors, descriptor, -50, Item{key, kTypeInteger, value, 0});
}
int16_t PutDescriptorFloat(void* descriptor, uint32_t key, double value) {
    return PutInto(gHost->descriptors, descriptor, -50, Item{key, kTypeFloat, 0, value});
}
const Item* FindTyped(void* descriptor, uint32_t key, uint32_t type) {
    auto* d = Known(gHost->descriptors, descriptor);
    if (d == nullptr) return nullptr;
    for (const Item& item : *d)
        if (item.key == key && item.type == type) return &item;
    return nullptr;
}
int16_t GetDescriptorInteger(void* descriptor, uint32_t key, int32_t* value) {
    const Item* item = FindTyped(descriptor, key, kTypeInteger);
    if (item == nullptr) return -1715;
    *value = item->integer;
    return 0;
}
int16_t GetDescriptorFloat(void* descriptor, uint32_t key, double* value) {
    const Item* item = FindTyped(descriptor, key, kTypeFloat);
    if (item == nullptr) return -1715;
    *value = item->number;
    return 0;
}

// ---- Pixels ----

bool UsesBigDocument(const RawHost& h) {
    return h.offerBigDocument && h.bigDocument.Get<int32_t>(big_at::using32) != 0;
}

Rect32 RequestedRect(const RawHost& h, size_t bigAt, size_t recordAt) {
    if (UsesBigDocument(h)) return h.bigDocument.Get<Rect32>(bigAt);
    const auto r = h.record.Get<std::array<int16_t, 4>>(recordAt);
    return Rect32{r[0], r[1], r[2], r[3]};
}

// Copies the planes lo..hi of `r` between the document and an interleaved buffer.
void CopyPixels(Image& doc, const Rect32& r, int lo, int hi, float* buffer, bool toDocument) {
    const int count = hi - lo + 1;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            for (int c = 0; c < count; ++c) {
                float& sample = doc.rgb[(static_cast<size_t>(y) * doc.width + x) * 3 + lo + c];
                float& held = buffer[(static_cast<size_t>(y - r.top) * (r.right - r.left) + (x - r.left)) * count + c];
                if (toDocument)
                    sample = held;
                else
                    held = sample;
            }
}

void CommitOutput(RawHost& h) {
    if (h.outBuffer)
        CopyPixels(h.document, h.delivered, h.record.Get<int16_t>(record_at::outLoPlane),
                   h.record.Get<int16_t>(record_at::outHiPlane), h.outBuffer.get(), true);
    h.outBuffer.reset();
    h.record.Put<void*>(record_at::outData, nullptr);
}

bool Inside(const Image& doc, const Rect32& r, int lo, int hi) {
    return r.left >= 0 && r.top >= 0 && r.right <= doc.width && r.bottom <= doc.height && lo >= 0 && lo <= hi &&
           hi < 3;
}

std::unique_ptr<float[]> Deliver(RawHost& h, const Rect32& r, int lo, int hi, size_t dataAt, size_t rowBytesAt) {
    const int count = hi - lo + 1;
    std::unique_ptr<float[]> buffer(new float[static_cast<size_t>(r.right - r.left) * (r.bottom - r.top) * count]);
    CopyPixels(h.document, r, lo, hi, buffer.get(), false);
    h.record.Put<void*>(dataAt, buffer.get());
    h.record.Put<int32_t>(rowBytesAt, (r.right - r.left) * count * 4);
    return buffer;
}

int16_t AdvanceState() {
    RawHost& h = *gHost;
    ++h.advanceCalls;
    CommitOutput(h);
    h.inBuffer.reset();
    h.record.Put<void*>(record_at::inData, nullptr);
    const Rect32 in = RequestedRect(h, big_at::inRect32, record_at::inRect);
    const Rect32 out = RequestedRect(h, big_at::outRect32, record_at::outRect);
    const int inLo = h.record.Get<int16_t>(record_at::inLoPlane), inHi = h.record.Get<int16_t>(record_at::inHiPlane);
    const int outLo = h.record.Get<int16_t>(record_at::outLoPlane);
    const int outHi = h.record.Get<int16_t>(record_at::outHiPlane);
    if (!in.Empty()) {
        if (!Inside(h.document, in, inLo, inHi)) return -30100;
        h.inBuffer = Deliver(h, in, inLo, inHi, record_at::inData, record_at::inRowBytes);
    }
    if (!out.Empty()) {
        if (!Inside(h.document, out, outLo, outHi)) return -30100;
        h.outBuffer = Deliver(h, out, outLo, outHi, record_at::outData, record_at::outRowBytes);
        h.delivered = out;
    }
    return 0;
}

// ---- Setting up the records and tables ----

void BuildTables(RawHost& h) {
    Block& hp = h.handleProcs;
    hp.Put<int16_t>(0, 1);
    hp.Put<int16_t>(2, 8);
    hp.Put(SlotAt(0), &NewHandle);
    hp.Put(SlotAt(1), &DisposeHandle);
    hp.Put(SlotAt(2), &ForbiddenSlot);  // getSizeProc
    hp.Put(SlotAt(3), &ForbiddenSlot);  // setSizeProc
    hp.Put(SlotAt(4), &LockHandle);
    hp.Put(SlotAt(5), &UnlockHandle);
    hp.Put(SlotAt(6), &ForbiddenSlot);  // recoverSpaceProc
    hp.Put(SlotAt(7), &ForbiddenSlot);  // disposeRegularHandleProc

    Block& bp = h.bufferProcs;
    bp.Put<int16_t>(0, 2);
    bp.Put<int16_t>(2, 5);
    bp.Put(SlotAt(0), &AllocateBuffer);
    bp.Put(SlotAt(1), &LockBuffer);
    bp.Put(SlotAt(2), &UnlockBuffer);
    bp.Put(SlotAt(3), &FreeBuffer);
    bp.Put(SlotAt(4), &ForbiddenSlot);  // spaceProc

    h.readProcs.Put<int16_t>(2, 5);
    h.readProcs.Put(SlotAt(0), &OpenRead);
    h.readProcs.Put(SlotAt(1), &CloseRead);
    h.readProcs.Put(SlotAt(2), &GetKey);
    h.readProcs.Put(SlotAt(3), &GetInteger);
    h.readProcs.Put(SlotAt(4), &GetFloat);
    h.writeProcs.Put<int16_t>(2, 4);
    h.writeProcs.Put(SlotAt(0), &OpenWrite);
    h.writeProcs.Put(SlotAt(1), &CloseWrite);
    h.writeProcs.Put(SlotAt(2), &PutIntegerItem);
    h.writeProcs.Put(SlotAt(3), &PutFloatItem);
    h.params.Put(params_at::writeProcs, h.writeProcs.Address());
    h.params.Put(params_at::readProcs, h.readProcs.Address());

    for (int i = 0; i < 7; ++i) h.basicSuite.Put(8 * static_cast<size_t>(i), &ForbiddenSlot);
    h.basicSuite.Put(8 * kAcquireSuite, &AcquireSuite);
    h.basicSuite.Put(8 * kReleaseSuite, &ReleaseSuite);
    h.registrySuite.Put(8 * kRegister, &Register);
    h.registrySuite.Put(8 * 1, &ForbiddenSlot);  // Erase
    h.registrySuite.Put(8 * kGet, &GetEntry);
    for (size_t i = 0; i < kSuiteSlots; ++i) h.descriptorSuite.Put(8 * i, &ForbiddenSlot);
    h.descriptorSuite.Put(8 * kMake, &Make);
    h.descriptorSuite.Put(8 * kFree, &Free);
    h.descriptorSuite.Put(8 * kPutInteger, &PutDescriptorInteger);
    h.descriptorSuite.Put(8 * kPutFloat, &PutDescriptorFloat);
    h.descriptorSuite.Put(8 * kGetInteger, &GetDescriptorInteger);
    h.descriptorSuite.Put(8 * kGetFloat, &GetDescriptorFloat);
}

void BuildRecord(RawHost& h) {
    Block& r = h.record;
    const int32_t w = h.document.width, ht = h.document.height;
    r.Put(record_at::abortProc, &TestAbort);
    r.Put(record_at::progressProc, &Progress);
    r.Put<int16_t>(record_at::imageSize, static_cast<int16_t>(ht));
    r.Put<int16_t>(record_at::imageSize + 2, static_cast<int16_t>(w));
    r.Put<int16_t>(record_at::planes, 3);
    r.Put(record_at::filterRect, std::array<int16_t, 4>{0, 0, static_cast<int16_t>(ht), static_cast<int16_t>(w)});
    r.Put<uint32_t>(record_at::hostSig, 0x3842494D);  // '8BIM'
    r.Put<int16_t>(record_at::imageMode, 16);         // RGB, 32 bits a channel
    r.Put<int16_t>(record_at::wholeSize, static_cast<int16_t>(ht));
    r.Put<int16_t>(record_at::wholeSize + 2, static_cast<int16_t>(w));
    r.Put(record_at::platformData, h.platform.Address());
    r.Put(record_at::bufferProcs, h.bufferProcs.Address());
    r.Put(record_at::handleProcs, h.handleProcs.Address());
    r.Put<int16_t>(record_at::filterCase, 1);
    r.Put(record_at::advanceState, &AdvanceState);
    r.Put<int32_t>(record_at::inputRate, 0x10000);
    r.Put<int32_t>(record_at::maskRate, 0x10000);
    r.Put(record_at::descriptorParameters, h.params.Address());
    r.Put(record_at::sSPBasic, h.basicSuite.Address());
    r.Put<int32_t>(record_at::depth, 32);
    if (h.offerBigDocument) {
        h.bigDocument.Put(big_at::imageSize32, std::array<int32_t, 2>{ht, w});
        h.bigDocument.Put(big_at::filterRect32, Rect32{0, 0, ht, w});
        h.bigDocument.Put(big_at::wholeSize32, std::array<int32_t, 2>{ht, w});
        r.Put(record_at::bigDocumentData, h.bigDocument.Address());
    }
}

using PluginMainProc = void (*)(int16_t selector, void* record, intptr_t* data, int16_t* result);

int16_t Call(RawHost& h, PluginMainProc main, int16_t selector) {
    gHost = &h;
    if (selector == 2) {  // prepare: a current host's budget, in both fields
        h.record.Put<int32_t>(record_at::maxSpace, 1 << 30);
        h.record.Put<int64_t>(record_at::maxSpace64, int64_t(1) << 33);
    }
    if (selector == 3) {
        h.params.Put<int16_t>(params_at::playInfo, 0);  // the dialog suppressed
        h.params.Put(params_at::descriptor, DescriptorHandle(h.actionToPlay));
    }
    if (selector == 5) h.params.Put<void*>(params_at::descriptor, nullptr);
    int16_t result = 0;
    main(selector, h.record.Address(), &h.data, &result);
    CommitOutput(h);
    h.inBuffer.reset();
    if (void* d = h.params.Get<void*>(params_at::descriptor)) {
        if (selector == 5) h.recordedAction = ItemsOfHandle(d);
        DisposeHandle(d);
        h.params.Put<void*>(params_at::descriptor, nullptr);
    }
    gHost = nullptr;
    return result;
}

bool RequestsEmpty(const RawHost& h) {
    return RequestedRect(h, big_at::inRect32, record_at::inRect).Empty() &&
           RequestedRect(h, big_at::outRect32, record_at::outRect).Empty() &&
           RequestedRect(h, big_at::maskRect32, record_at::maskRect).Empty();
}

// Parameters, prepare, start, continue until nothing more is asked, finish.
int16_t RunFilter(RawHost& h, PluginMainProc main) {
    BuildTables(h);
    BuildRecord(h);
    for (int16_t selector : {1, 2, 3})
        if (int16_t r = Call(h, main, selector)) return r;
    for (int round = 0; round < 100; ++round) {
        if (int16_t r = Call(h, main, 4)) return r;
        if (RequestsEmpty(h)) break;
    }
    return Call(h, main, 5);
}

// The host quits: it disposes the two handles it kept for the module.
void ReleaseKept(RawHost& h) {
    gHost = &h;
    DisposeHandle(reinterpret_cast<void*>(h.data));
    DisposeHandle(h.record.Get<void*>(record_at::parameters));
    gHost = nullptr;
}

void ExpectCleanRun(RawHost& h) {
    EXPECT_EQ(h.forbiddenCalls, 0) << "a table slot the module has no business calling was called";
    EXPECT_TRUE(h.record.GuardIntact(record_at::size)) << "written past the end of the filter record";
    EXPECT_TRUE(h.bigDocument.GuardIntact(big_at::size)) << "written past the end of the big-document block";
    EXPECT_TRUE(h.params.GuardIntact(params_at::size));
    EXPECT_TRUE(RequestsEmpty(h));
    EXPECT_GE(h.advanceCalls, 1);
    EXPECT_TRUE(h.buffers.empty());
    EXPECT_TRUE(h.descriptors.empty());
    EXPECT_TRUE(h.readTokens.empty());
    EXPECT_TRUE(h.writeTokens.empty());
    EXPECT_EQ(h.suitesHeld, 0);
    EXPECT_EQ(h.handles.size(), 2u);  // settings and globals, kept for the next run
    EXPECT_EQ(h.record.Get<int32_t>(record_at::maxSpace), kBudgetLimit);
    EXPECT_EQ(h.record.Get<int64_t>(record_at::maxSpace64), kBudgetLimit);
    ReleaseKept(h);
    EXPECT_TRUE(h.handles.empty());
}

// ---- Images ----

bool ReadPfm(const std::string& path, Image* image) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    char kind[3] = {};
    float scale = 0;
    if (!file || std::fscanf(file.get(), "%2s %d %d %f", kind, &image->width, &image->height, &scale) != 4 ||
        std::string(kind) != "PF" || scale >= 0 || std::fgetc(file.get()) == EOF)
        return false;
    const size_t row = static_cast<size_t>(image->width) * 3;
    image->rgb.assign(row * image->height, 0.0f);
    for (int32_t y = image->height - 1; y >= 0; --y)  // bottom row first
        if (std::fread(&image->rgb[row * y], 4, row, file.get()) != row) return false;
    return true;
}

// The registry file of our own host: "[key]" lines, then "code type value"
// lines with four-character codes and the types long and doub.
bool ReadRegistryFile(const std::string& path, std::vector<std::pair<std::string, Items>>* entries) {
    std::ifstream in(path);
    std::string line;
    while (in && std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            entries->emplace_back(line.substr(1, line.find(']') - 1), Items{});
            continue;
        }
        std::istringstream words(line);
        std::string code, type;
        double value = 0;
        if (entries->empty() || !(words >> code >> type >> value) || code.size() != 4) return false;
        uint32_t key = 0;
        for (char c : code) key = (key << 8) | uint8_t(c);
        entries->back().second.push_back(type == "doub" ? Item{key, kTypeFloat, 0, value}
                                                          : Item{key, kTypeInteger, static_cast<int32_t>(value), 0});
    }
    return !entries->empty();
}

// A dim room with a bright window, so that every stage has work to do.
Image Scene(int32_t width, int32_t height) {
    Image image{width, height, std::vector<float>(static_cast<size_t>(width) * height * 3)};
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const bool window = x > width / 2 && y < height / 2;
            const float base = window ? 30.0f : 0.02f + 0.3f * x / width;
            for (int c = 0; c < 3; ++c)
                image.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] =
                    base * (1.0f + 0.2f * c) * (1.0f + 0.3f * std::sin(0.7f * x + 1.1f * y));
        }
    return image;
}

struct Difference {
    double largest = 0, mean = 0;
};

Difference Compare(const Image& a, const Image& b) {
    Difference d;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        const double e = std::fabs(double(a.rgb[i]) - b.rgb[i]);
        d.largest = std::max(d.largest, e);
        d.mean += e;
    }
    d.mean /= std::max<size_t>(1, a.rgb.size());
    return d;
}

class RawRecordTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char path[MAX_PATH];
        const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string folder(path, n);
        folder = folder.substr(0, folder.find_last_of("\\/") + 1);
        module = LoadLibraryA((folder + "ToneMapping.8bf").c_str());
        if (module != nullptr)
            main = reinterpret_cast<PluginMainProc>(reinterpret_cast<void*>(GetProcAddress(module, "PluginMain")));
    }
    static void TearDownTestSuite() {
        if (module != nullptr) FreeLibrary(module);
        module = nullptr;
        main = nullptr;
    }
    void SetUp() override { ASSERT_NE(main, nullptr) << "cannot load ToneMapping.8bf or find PluginMain"; }

    static HMODULE module;
    static PluginMainProc main;
};

HMODULE RawRecordTest::module = nullptr;
PluginMainProc RawRecordTest::main = nullptr;

TEST_F(RawRecordTest, PlaysTheSelectorsThroughThePublishedLayout) {
    RawHost host;
    host.document = Scene(160, 120);
    const Image before = host.document;
    ASSERT_EQ(RunFilter(host, main), 0);
    EXPECT_EQ(host.bigDocument.Get<int32_t>(big_at::using32), 1);
    EXPECT_GT(Compare(host.document, before).mean, 0.01);  // the image was tone-mapped
    for (float v : host.document.rgb) ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << v;
    EXPECT_EQ(host.recordedAction.size(), 15u);
    ASSERT_EQ(host.registry.size(), 1u);
    EXPECT_EQ(host.registry[0].second, host.recordedAction);  // two paths, the same fifteen values
    ExpectCleanRun(host);
}

// The folder scripts/test.sh prepares from a real photograph: photo.pfm, the
// Linux tool's photo-tonemapped.pfm, and config/tonemap/registry.txt, where
// the tool's host kept the settings of that run.
std::string PhotoFolder() {
    const char* folder = std::getenv("TM_LAYOUT_PHOTO_DIR");
    return folder != nullptr ? std::string(folder) + "/" : std::string();
}

// Run twice: first with the big-document block, playing the Linux run's
// settings as the action and offering them as the last-used entry; then
// with 16-bit rectangles only, replaying what the first run recorded. Both
// must give the Linux tool's result.
TEST_F(RawRecordTest, ARealPhotographComesOutAsFromTheLinuxTool) {
    const std::string folder = PhotoFolder();
    if (folder.empty()) GTEST_SKIP() << "no photograph prepared (scripts/test.sh does when ../shared/images exists)";
    Image photo, expected;
    ASSERT_TRUE(ReadPfm(folder + "photo.pfm", &photo)) << folder;
    ASSERT_TRUE(ReadPfm(folder + "photo-tonemapped.pfm", &expected)) << folder;
    ASSERT_EQ(expected.width, photo.width);
    ASSERT_EQ(expected.height, photo.height);
    std::vector<std::pair<std::string, Items>> settings;
    ASSERT_TRUE(ReadRegistryFile(folder + "config/tonemap/registry.txt", &settings));
    ASSERT_EQ(settings.size(), 1u);

    RawHost first;
    first.document = photo;
    first.registry = settings;
    first.actionToPlay = settings[0].second;
    ASSERT_EQ(RunFilter(first, main), 0);
    const Difference d = Compare(first.document, expected);
    std::printf("%d x %d photograph: largest difference %.3g, mean %.3g\n", photo.width, photo.height, d.largest,
                d.mean);
    // Both builds compute with the engine's own maths functions, which give
    // the bits of glibc's: the module's result is the Linux tool's, bit for
    // bit.
    EXPECT_EQ(d.largest, 0.0);
    EXPECT_TRUE(first.document.rgb == expected.rgb);
    EXPECT_EQ(first.recordedAction, settings[0].second);  // what was played is recorded again
    EXPECT_EQ(first.registry, settings);
    ExpectCleanRun(first);

    RawHost second;
    second.document = photo;
    second.offerBigDocument = false;
    second.actionToPlay = first.recordedAction;
    second.registry = first.registry;
    ASSERT_EQ(RunFilter(second, main), 0);
    EXPECT_TRUE(second.document.rgb == first.document.rgb);
    EXPECT_EQ(second.recordedAction, first.recordedAction);
    ExpectCleanRun(second);
}

}  // namespace
