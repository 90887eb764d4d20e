// The basic suite, through which the module acquires the descriptor
// registry suite and the action descriptor suite by name and version.
// Every acquisition is counted until its release, so that tests can prove
// the module gives back what it takes.
#include <cstring>

#include "HostCallbacks.h"

namespace {

// ---- Descriptor registry suite ----

OSErr Register(const char* key, PIActionDescriptor descriptor, Boolean isPersistent) {
    MiniHost& host = *gActiveHost;
    const DescriptorList* items = ActionDescriptorItems(host, descriptor);
    if (key == nullptr || items == nullptr) return paramErr;
    RegisterEntry(host, key, *items, isPersistent != 0);
    return noErr;
}

// A key without entry gives no descriptor and no error; the caller frees
// the copy it receives.
OSErr Get(const char* key, PIActionDescriptor* descriptor) {
    MiniHost& host = *gActiveHost;
    if (key == nullptr || descriptor == nullptr) return paramErr;
    *descriptor = nullptr;
    const RegistryEntry* entry = FindRegistryEntry(host, key);
    if (entry != nullptr) *descriptor = reinterpret_cast<PIActionDescriptor>(NewActionDescriptor(host, entry->items));
    return noErr;
}

const PSDescriptorRegistryProcs kRegistryProcs = {
    Register,
    [](const char*) -> OSErr {
        NoteForbiddenCall("PSDescriptorRegistryProcs::Erase");
        return paramErr;
    },
    Get,
};

// ---- Basic suite ----

const void* SuiteOf(const char* name, int32_t version) {
    if (std::strcmp(name, kPSDescriptorRegistrySuite) == 0 && version == kPSDescriptorRegistrySuiteVersion1)
        return &kRegistryProcs;
    if (std::strcmp(name, kPSActionDescriptorSuite) == 0 && version == kPSActionDescriptorSuiteVersion3)
        return &kActionDescriptorProcs;
    return nullptr;
}

std::string HeldName(const char* name, int32_t version) { return std::string(name) + " v" + std::to_string(version); }

SPErr AcquireSuite(const char* name, int32_t version, const void** suite) {
    MiniHost& host = *gActiveHost;
    if (name == nullptr || suite == nullptr) return kSPBadParameterError;
    ++host.suiteAcquisitions;
    *suite = SuiteOf(name, version);
    if (host.suiteAcquisitions == host.faults.failSuiteAcquisition) *suite = nullptr;
    if (*suite == nullptr) return kSPSuiteNotFoundError;
    ++host.suitesHeld[HeldName(name, version)];
    return kSPNoError;
}

SPErr ReleaseSuite(const char* name, int32_t version) {
    MiniHost& host = *gActiveHost;
    if (name == nullptr) return kSPBadParameterError;
    auto it = host.suitesHeld.find(HeldName(name, version));
    if (it == host.suitesHeld.end() || it->second == 0) {
        ++host.unmatchedSuiteReleases;
        return kSPBadParameterError;
    }
    --it->second;
    return kSPNoError;
}

}  // namespace

// The two procedures the module uses, and slots that fail the call for the rest.
void InstallBasicSuite(MiniHost& host) {
    host.basicSuite = SPBasicSuite{
        AcquireSuite,
        ReleaseSuite,
        [](const char*, const char*) -> SPBoolean {
            NoteForbiddenCall("SPBasicSuite::IsEqual");
            return 0;
        },
        [](size_t, void**) -> SPErr {
            NoteForbiddenCall("SPBasicSuite::AllocateBlock");
            return kSPBadParameterError;
        },
        [](void*) -> SPErr {
            NoteForbiddenCall("SPBasicSuite::FreeBlock");
            return kSPBadParameterError;
        },
        [](void*, size_t, void**) -> SPErr {
            NoteForbiddenCall("SPBasicSuite::ReallocateBlock");
            return kSPBadParameterError;
        },
        []() -> SPErr {
            NoteForbiddenCall("SPBasicSuite::Undefined");
            return kSPBadParameterError;
        },
    };
}

int OutstandingSuites(const MiniHost& host) {
    int held = 0;
    for (const auto& [name, count] : host.suitesHeld) held += count;
    return held;
}

int OutstandingActionDescriptors(const MiniHost& host) { return static_cast<int>(host.actionDescriptors.size()); }

int OutstandingDescriptorTokens(const MiniHost& host) {
    return static_cast<int>(host.readTokens.size() + host.writeTokens.size());
}
