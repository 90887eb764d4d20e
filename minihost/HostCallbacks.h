// What the files of our host share behind MiniHost.h: the host whose
// selector is being called (the callbacks are plain function pointers and
// reach it only through this), host-owned handles, and the set-up of the
// descriptor procedures, the suites and the registry file.
#pragma once

#include <vector>

#include "MiniHost.h"

// The host of the selector call in progress; null between calls.
extern MiniHost* gActiveHost;

// What every table slot the module has no business calling does: it notes
// the slot, so that the selector call in progress fails (kForbiddenSlotCalled).
void NoteForbiddenCall(const char* slot);

// Handles the host itself creates (descriptors): held like the module's,
// but not counted among the module's allocations.
Handle NewHostHandle(MiniHost& host, const std::vector<uint8_t>& bytes);
const std::vector<uint8_t>* HostHandleBytes(const MiniHost& host, Handle handle);
void DisposeHostHandle(MiniHost& host, Handle handle);

// Descriptors.cpp: the read and write procedures of descriptorParameters,
// descriptors as handles, and the action descriptor suite's objects.
void InstallDescriptorProcs(MiniHost& host);
Handle NewDescriptorHandle(MiniHost& host, const DescriptorList& list);
bool ReadDescriptorHandle(const MiniHost& host, Handle handle, DescriptorList* list);
HostActionDescriptor* NewActionDescriptor(MiniHost& host, const DescriptorList& list);
const DescriptorList* ActionDescriptorItems(const MiniHost& host, PIActionDescriptor descriptor);
void ReleaseDescriptorObjects(MiniHost& host);
extern const PSActionDescriptorProcs kActionDescriptorProcs;

// Suites.cpp: the basic suite and the descriptor registry suite.
void InstallBasicSuite(MiniHost& host);

// Registry.cpp: the registry and its file.
void EnsureRegistryLoaded(MiniHost& host);
