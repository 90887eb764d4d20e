#include "Scripting.h"

#include "../settings/DescriptorValues.h"
#include "PluginIdentity.h"
#include "PluginState.h"

namespace {

// The keys in descriptor order, ended by 0, as the host's reader expects them.
struct KeyArray {
    DescriptorKeyID keys[kSettingCount + 1];
};

constexpr KeyArray MakeKeyArray() {
    KeyArray array{};
    for (int i = 0; i < kSettingCount; ++i) array.keys[i] = kSettingTable[i].key;
    array.keys[kSettingCount] = 0;
    return array;
}

constexpr KeyArray kKeyArray = MakeKeyArray();

bool HasReadProcs(const PIDescriptorParameters* p) {
    const ReadDescriptorProcs* r = p->readDescriptorProcs;
    return r != nullptr && r->openReadDescriptorProc != nullptr && r->closeReadDescriptorProc != nullptr &&
           r->getKeyProc != nullptr && r->getIntegerProc != nullptr && r->getFloatProc != nullptr;
}

bool HasWriteProcs(const PIDescriptorParameters* p) {
    const WriteDescriptorProcs* w = p->writeDescriptorProcs;
    return w != nullptr && w->openWriteDescriptorProc != nullptr && w->closeWriteDescriptorProc != nullptr &&
           w->putIntegerProc != nullptr && w->putFloatProc != nullptr;
}

// Applies the keys the host delivers until one cannot be read or is unknown.
void ApplyDescriptorKeys(const ReadDescriptorProcs* procs, PIReadDescriptor token, TMSettings* settings) {
    DescriptorKeyID key = 0;
    DescType type = 0;
    int32_t flags = 0;
    while (procs->getKeyProc(token, &key, &type, &flags)) {
        const SettingInfo* info = SettingForKey(key);
        if (info == nullptr) return;  // an unknown key (-19) ends the reading; the keys before it stay
        if (info->floatKey) {
            double value = 0;
            if (procs->getFloatProc(token, &value) != noErr) return;
            int32_t field = 0;
            if (FieldOfDescriptorFloat(*info, value, &field)) settings->*info->field = field;
        } else {
            int32_t value = 0;
            if (procs->getIntegerProc(token, &value) != noErr) return;
            settings->*info->field = FieldOfDescriptorInteger(*info, value);
        }
    }
}

// The two suites of the last-used settings, released on every path.
struct LastUsedSuites {
    SPBasicSuite* basic = nullptr;
    const PSDescriptorRegistryProcs* registry = nullptr;
    const PSActionDescriptorProcs* descriptors = nullptr;
    SPErr error = kSPNoError;

    explicit LastUsedSuites(SPBasicSuite* basicSuite) : basic(basicSuite) {
        const void* suite = nullptr;
        SPErr e = basic->AcquireSuite(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion1, &suite);
        if (e == kSPNoError && suite != nullptr) registry = static_cast<const PSDescriptorRegistryProcs*>(suite);
        Note(e, suite);
        suite = nullptr;
        e = basic->AcquireSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion3, &suite);
        if (e == kSPNoError && suite != nullptr) descriptors = static_cast<const PSActionDescriptorProcs*>(suite);
        Note(e, suite);
    }

    ~LastUsedSuites() {
        if (registry != nullptr) basic->ReleaseSuite(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion1);
        if (descriptors != nullptr) basic->ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion3);
    }

    LastUsedSuites(const LastUsedSuites&) = delete;
    LastUsedSuites& operator=(const LastUsedSuites&) = delete;

    bool Ready() const { return registry != nullptr && descriptors != nullptr; }

private:
    void Note(SPErr e, const void* suite) {
        if (error != kSPNoError) return;
        if (e != kSPNoError)
            error = e;
        else if (suite == nullptr)
            error = kSPSuiteNotFoundError;
    }
};

// Suite errors are 32-bit; those that do not fit the 16-bit result say that
// the host lacks what is needed.
int16_t ToResult(SPErr e) {
    if (e >= -32768 && e <= 32767) return static_cast<int16_t>(e);
    return static_cast<int16_t>(errPlugInHostInsufficient);
}

// Reads the registry entry by the last-used rules; returns the error of the
// value that ended the reading, or 0.
SPErr ApplyLastUsedEntry(const PSActionDescriptorProcs* d, PIActionDescriptor entry, TMSettings* settings) {
    SPErr error = kSPNoError;
    auto getInteger = [&](DescriptorKeyID key, int32_t* value) {
        error = d->GetInteger(entry, key, value);
        return error == kSPNoError;
    };
    auto getFloat = [&](DescriptorKeyID key, double* value) {
        error = d->GetFloat(entry, key, value);
        return error == kSPNoError;
    };
    ApplyLastUsedValues(getInteger, getFloat, settings);
    return error;
}

// Puts the fifteen settings into a registry descriptor; stops at the first failure.
SPErr PutLastUsedEntry(const PSActionDescriptorProcs* d, PIActionDescriptor entry, const TMSettings& settings) {
    for (const SettingInfo& info : kSettingTable) {
        const int32_t field = settings.*info.field;
        const SPErr e = info.floatKey ? d->PutFloat(entry, info.key, DescriptorFloatOf(info, field))
                                      : d->PutInteger(entry, info.key, DescriptorIntegerOf(info, field));
        if (e != kSPNoError) return e;
    }
    return kSPNoError;
}

}  // namespace

int16_t ReadScriptedSettings(bool* showDialog) {
    if (showDialog == nullptr) return errMissingParameter;
    *showDialog = gPlugin.globals->dialogRequest != 0;

    FilterRecord* record = gPlugin.filterRecord;
    PIDescriptorParameters* params = record->descriptorParameters;
    if (params == nullptr || !HasReadProcs(params) || params->descriptor == nullptr) return noErr;

    const ReadDescriptorProcs* procs = params->readDescriptorProcs;
    PIReadDescriptor token = procs->openReadDescriptorProc(params->descriptor, kKeyArray.keys);
    if (token != nullptr) {
        ApplyDescriptorKeys(procs, token, gPlugin.settings);
        procs->closeReadDescriptorProc(token);  // its code is not used: the keys applied stay
        record->handleProcs->disposeProc(params->descriptor);
        params->descriptor = nullptr;
    }
    *showDialog = params->playInfo == plugInDialogDisplay;
    return noErr;
}

int16_t WriteScriptedSettings() {
    const TMSettings& settings = *gPlugin.settings;
    double floats[kSettingCount] = {};
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& info = kSettingTable[i];
        if (info.floatKey) floats[i] = DescriptorFloatOf(info, settings.*info.field);
    }

    FilterRecord* record = gPlugin.filterRecord;
    PIDescriptorParameters* params = record->descriptorParameters;
    if (params == nullptr || !HasWriteProcs(params)) return noErr;
    const WriteDescriptorProcs* procs = params->writeDescriptorProcs;
    PIWriteDescriptor token = procs->openWriteDescriptorProc();
    if (token == nullptr) return errMissingParameter;

    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& info = kSettingTable[i];
        if (info.floatKey)
            procs->putFloatProc(token, info.key, &floats[i]);
        else
            procs->putIntegerProc(token, info.key, DescriptorIntegerOf(info, settings.*info.field));
    }

    if (params->descriptor != nullptr) record->handleProcs->disposeProc(params->descriptor);
    params->descriptor = nullptr;
    PIDescriptorHandle written = nullptr;
    procs->closeWriteDescriptorProc(token, &written);
    params->descriptor = written;
    params->recordInfo = 0;
    return noErr;
}

int16_t LoadLastUsedSettings() {
    if (gPlugin.basicSuite == nullptr) return static_cast<int16_t>(errPlugInHostInsufficient);
    LastUsedSuites suites(gPlugin.basicSuite);
    if (!suites.Ready()) return ToResult(suites.error);

    PIActionDescriptor entry = nullptr;
    SPErr e = suites.registry->Get(TM_PLUGIN_UNIQUE_ID, &entry);
    if (e != kSPNoError || entry == nullptr) return ToResult(e);
    e = ApplyLastUsedEntry(suites.descriptors, entry, gPlugin.settings);
    suites.descriptors->Free(entry);
    return ToResult(e);
}

void StoreLastUsedSettings() {
    if (gPlugin.basicSuite == nullptr) return;
    LastUsedSuites suites(gPlugin.basicSuite);
    if (!suites.Ready()) return;

    PIActionDescriptor entry = nullptr;
    if (suites.descriptors->Make(&entry) != kSPNoError || entry == nullptr) return;
    if (PutLastUsedEntry(suites.descriptors, entry, *gPlugin.settings) == kSPNoError)
        suites.registry->Register(TM_PLUGIN_UNIQUE_ID, entry, true);
    suites.descriptors->Free(entry);
}
