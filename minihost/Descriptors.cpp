// Descriptors, the host's lists of (key, type, value): the read and write
// procedures of descriptorParameters, which exchange them with the module as
// handles, and the action descriptor suite, which the registry uses.
#include <algorithm>
#include <cstring>
#include <memory>

#include "HostCallbacks.h"

struct HostActionDescriptor {
    DescriptorList items;
};

struct HostReadToken {
    DescriptorList items;
    size_t next = 0;
    const DescriptorItem* current = nullptr;  // the item of the last key delivered
};

struct HostWriteToken {
    DescriptorList items;
};

namespace {

// A value asked for with the other type's procedure.
constexpr OSErr kWrongValueType = -1703;

// A descriptor handle holds its items back to back: key, type, then the
// value in eight bytes (an int32 and four zero bytes, or a double).
constexpr size_t kItemBytes = 16;

template <class T>
bool Holds(const std::vector<T*>& all, const T* object) {
    return object != nullptr && std::find(all.begin(), all.end(), object) != all.end();
}

template <class T>
void Forget(std::vector<T*>& all, T* object) {
    all.erase(std::find(all.begin(), all.end(), object));
    delete object;
}

// A key put twice keeps its place and takes the later value.
void SetItem(DescriptorList& list, const DescriptorItem& item) {
    for (DescriptorItem& existing : list) {
        if (existing.key == item.key) {
            existing = item;
            return;
        }
    }
    list.push_back(item);
}

// ---- Read procedures ----

HostReadToken* ReadToken(PIReadDescriptor token) {
    auto* t = reinterpret_cast<HostReadToken*>(token);
    return Holds(gActiveHost->readTokens, t) ? t : nullptr;
}

PIReadDescriptor OpenReadDescriptor(PIDescriptorHandle descriptor, const DescriptorKeyID*) {
    MiniHost& host = *gActiveHost;
    auto token = std::make_unique<HostReadToken>();
    if (!ReadDescriptorHandle(host, descriptor, &token->items)) return nullptr;
    host.readTokens.push_back(token.get());
    return reinterpret_cast<PIReadDescriptor>(token.release());
}

OSErr CloseReadDescriptor(PIReadDescriptor token) {
    HostReadToken* t = ReadToken(token);
    if (t == nullptr) return errMissingParameter;
    Forget(gActiveHost->readTokens, t);
    return noErr;
}

Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescType* type, int32_t* flags) {
    HostReadToken* t = ReadToken(token);
    if (t == nullptr || t->next >= t->items.size()) return false;
    t->current = &t->items[t->next++];
    if (key != nullptr) *key = t->current->key;
    if (type != nullptr) *type = t->current->type;
    if (flags != nullptr) *flags = 0;
    return true;
}

OSErr GetInteger(PIReadDescriptor token, int32_t* value) {
    HostReadToken* t = ReadToken(token);
    if (t == nullptr || t->current == nullptr || value == nullptr) return errMissingParameter;
    if (t->current->type != typeInteger) return kWrongValueType;
    *value = t->current->integer;
    return noErr;
}

OSErr GetFloat(PIReadDescriptor token, double* value) {
    HostReadToken* t = ReadToken(token);
    if (t == nullptr || t->current == nullptr || value == nullptr) return errMissingParameter;
    if (t->current->type != typeFloat) return kWrongValueType;
    *value = t->current->number;
    return noErr;
}

// ---- Write procedures ----

HostWriteToken* WriteToken(PIWriteDescriptor token) {
    auto* t = reinterpret_cast<HostWriteToken*>(token);
    return Holds(gActiveHost->writeTokens, t) ? t : nullptr;
}

PIWriteDescriptor OpenWriteDescriptor() {
    auto* token = new HostWriteToken;
    gActiveHost->writeTokens.push_back(token);
    return reinterpret_cast<PIWriteDescriptor>(token);
}

OSErr CloseWriteDescriptor(PIWriteDescriptor token, PIDescriptorHandle* newDescriptor) {
    HostWriteToken* t = WriteToken(token);
    if (t == nullptr) return errMissingParameter;
    MiniHost& host = *gActiveHost;
    Handle written = NewDescriptorHandle(host, t->items);
    Forget(host.writeTokens, t);
    if (newDescriptor != nullptr)
        *newDescriptor = written;
    else
        DisposeHostHandle(host, written);
    return noErr;
}

OSErr PutIntegerItem(PIWriteDescriptor token, DescriptorKeyID key, int32_t value) {
    HostWriteToken* t = WriteToken(token);
    if (t == nullptr) return errMissingParameter;
    SetItem(t->items, IntegerItem(key, value));
    return noErr;
}

OSErr PutFloatItem(PIWriteDescriptor token, DescriptorKeyID key, const double* value) {
    HostWriteToken* t = WriteToken(token);
    if (t == nullptr || value == nullptr) return errMissingParameter;
    SetItem(t->items, FloatItem(key, *value));
    return noErr;
}

// ---- Action descriptor suite ----

HostActionDescriptor* ActionDescriptor(PIActionDescriptor descriptor) {
    auto* d = reinterpret_cast<HostActionDescriptor*>(descriptor);
    return Holds(gActiveHost->actionDescriptors, d) ? d : nullptr;
}

OSErr MakeDescriptor(PIActionDescriptor* descriptor) {
    if (descriptor == nullptr) return paramErr;
    *descriptor = reinterpret_cast<PIActionDescriptor>(NewActionDescriptor(*gActiveHost, {}));
    return noErr;
}

OSErr FreeDescriptor(PIActionDescriptor descriptor) {
    HostActionDescriptor* d = ActionDescriptor(descriptor);
    if (d == nullptr) return paramErr;
    Forget(gActiveHost->actionDescriptors, d);
    return noErr;
}

OSErr PutItem(PIActionDescriptor descriptor, const DescriptorItem& item) {
    MiniHost& host = *gActiveHost;
    ++host.descriptorPuts;
    HostActionDescriptor* d = ActionDescriptor(descriptor);
    if (d == nullptr || host.descriptorPuts == host.faults.failDescriptorPut) return paramErr;
    SetItem(d->items, item);
    return noErr;
}

OSErr PutDescriptorInteger(PIActionDescriptor descriptor, DescriptorKeyID key, int32_t value) {
    return PutItem(descriptor, IntegerItem(key, value));
}

OSErr PutDescriptorFloat(PIActionDescriptor descriptor, DescriptorKeyID key, double value) {
    return PutItem(descriptor, FloatItem(key, value));
}

// The item of `key`, or the error a host gives for a missing key or a value of the other type.
OSErr FindTyped(PIActionDescriptor descriptor, DescriptorKeyID key, DescType type, const DescriptorItem** item) {
    HostActionDescriptor* d = ActionDescriptor(descriptor);
    if (d == nullptr) return paramErr;
    *item = FindItem(d->items, key);
    if (*item == nullptr) return errMissingParameter;
    return (*item)->type == type ? OSErr{noErr} : kWrongValueType;
}

OSErr GetDescriptorInteger(PIActionDescriptor descriptor, DescriptorKeyID key, int32_t* value) {
    const DescriptorItem* item = nullptr;
    if (value == nullptr) return paramErr;
    if (OSErr e = FindTyped(descriptor, key, typeInteger, &item)) return e;
    *value = item->integer;
    return noErr;
}

OSErr GetDescriptorFloat(PIActionDescriptor descriptor, DescriptorKeyID key, double* value) {
    const DescriptorItem* item = nullptr;
    if (value == nullptr) return paramErr;
    if (OSErr e = FindTyped(descriptor, key, typeFloat, &item)) return e;
    *value = item->number;
    return noErr;
}

// The procedures the module uses, and slots that fail the call for the rest.
PSActionDescriptorProcs ActionDescriptorTable() {
    PSActionDescriptorProcs p{};
    p.Make = MakeDescriptor;
    p.Free = FreeDescriptor;
    p.PutInteger = PutDescriptorInteger;
    p.PutFloat = PutDescriptorFloat;
    p.GetInteger = GetDescriptorInteger;
    p.GetFloat = GetDescriptorFloat;
    p.GetType = [] { NoteForbiddenCall("PSActionDescriptorProcs::GetType"); };
    p.GetKey = [] { NoteForbiddenCall("PSActionDescriptorProcs::GetKey"); };
    p.HasKey = [] { NoteForbiddenCall("PSActionDescriptorProcs::HasKey"); };
    p.GetCount = [] { NoteForbiddenCall("PSActionDescriptorProcs::GetCount"); };
    p.IsEqual = [] { NoteForbiddenCall("PSActionDescriptorProcs::IsEqual"); };
    p.Erase = [] { NoteForbiddenCall("PSActionDescriptorProcs::Erase"); };
    p.Clear = [] { NoteForbiddenCall("PSActionDescriptorProcs::Clear"); };
    p.PutUnitFloat = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutUnitFloat"); };
    p.PutString = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutString"); };
    p.PutBoolean = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutBoolean"); };
    p.PutList = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutList"); };
    p.PutObject = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutObject"); };
    p.PutGlobalObject = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutGlobalObject"); };
    p.PutEnumerated = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutEnumerated"); };
    p.PutReference = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutReference"); };
    p.PutClass = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutClass"); };
    p.PutGlobalClass = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutGlobalClass"); };
    p.PutAlias = [] { NoteForbiddenCall("PSActionDescriptorProcs::PutAlias"); };
    return p;
}

}  // namespace

const PSActionDescriptorProcs kActionDescriptorProcs = ActionDescriptorTable();

DescriptorItem IntegerItem(DescriptorKeyID key, int32_t value) {
    DescriptorItem item;
    item.key = key;
    item.type = typeInteger;
    item.integer = value;
    return item;
}

DescriptorItem FloatItem(DescriptorKeyID key, double value) {
    DescriptorItem item;
    item.key = key;
    item.type = typeFloat;
    item.number = value;
    return item;
}

const DescriptorItem* FindItem(const DescriptorList& list, DescriptorKeyID key) {
    for (const DescriptorItem& item : list)
        if (item.key == key) return &item;
    return nullptr;
}

void InstallDescriptorProcs(MiniHost& host) {
    host.readDescriptorProcs = ReadDescriptorProcs{kCurrentReadDescriptorProcsVersion, 5, OpenReadDescriptor,
                                                   CloseReadDescriptor, GetKey, GetInteger, GetFloat};
    host.writeDescriptorProcs = WriteDescriptorProcs{kCurrentWriteDescriptorProcsVersion, 4, OpenWriteDescriptor,
                                                     CloseWriteDescriptor, PutIntegerItem, PutFloatItem};
    host.descriptorParameters.descriptorParametersVersion = kCurrentDescriptorParametersVersion;
    host.descriptorParameters.readDescriptorProcs = &host.readDescriptorProcs;
    host.descriptorParameters.writeDescriptorProcs = &host.writeDescriptorProcs;
}

Handle NewDescriptorHandle(MiniHost& host, const DescriptorList& list) {
    std::vector<uint8_t> bytes(list.size() * kItemBytes, 0);
    uint8_t* p = bytes.data();
    for (const DescriptorItem& item : list) {
        std::memcpy(p, &item.key, 4);
        std::memcpy(p + 4, &item.type, 4);
        if (item.type == typeFloat)
            std::memcpy(p + 8, &item.number, 8);
        else
            std::memcpy(p + 8, &item.integer, 4);
        p += kItemBytes;
    }
    return NewHostHandle(host, bytes);
}

bool ReadDescriptorHandle(const MiniHost& host, Handle handle, DescriptorList* list) {
    const std::vector<uint8_t>* bytes = HostHandleBytes(host, handle);
    if (bytes == nullptr || bytes->size() % kItemBytes != 0) return false;
    list->clear();
    for (size_t at = 0; at < bytes->size(); at += kItemBytes) {
        const uint8_t* p = bytes->data() + at;
        DescriptorItem item;
        std::memcpy(&item.key, p, 4);
        std::memcpy(&item.type, p + 4, 4);
        if (item.type == typeFloat)
            std::memcpy(&item.number, p + 8, 8);
        else
            std::memcpy(&item.integer, p + 8, 4);
        list->push_back(item);
    }
    return true;
}

HostActionDescriptor* NewActionDescriptor(MiniHost& host, const DescriptorList& list) {
    auto* d = new HostActionDescriptor{list};
    host.actionDescriptors.push_back(d);
    return d;
}

const DescriptorList* ActionDescriptorItems(const MiniHost& host, PIActionDescriptor descriptor) {
    auto* d = reinterpret_cast<HostActionDescriptor*>(descriptor);
    return Holds(host.actionDescriptors, d) ? &d->items : nullptr;
}

void ReleaseDescriptorObjects(MiniHost& host) {
    for (HostActionDescriptor* d : host.actionDescriptors) delete d;
    for (HostReadToken* t : host.readTokens) delete t;
    for (HostWriteToken* t : host.writeTokens) delete t;
    host.actionDescriptors.clear();
    host.readTokens.clear();
    host.writeTokens.clear();
}
