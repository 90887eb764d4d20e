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

// DisplayWin.cpp: draws the source rectangle of an 8-bit RGB or grayscale
// pixel map into a device context (HDC), its top-left corner at (column,
// row); -50 for another image mode. DisplayPosix.cpp: nothing to draw into.
OSErr DrawPixelMap(const PSPixelMap& map, const VRect& source, int32_t row, int32_t column, void* context);

// DialogAnswerWin.cpp: while it lives, a dialog window opened on this thread
// receives the command of `button` (1 OK, 2 Cancel) as soon as it has opened;
// 0 answers nothing. DialogAnswerPosix.cpp: there are no dialogs to answer.
struct ScopedDialogAnswer {
    explicit ScopedDialogAnswer(int button);
    ~ScopedDialogAnswer();
    ScopedDialogAnswer(const ScopedDialogAnswer&) = delete;
    ScopedDialogAnswer& operator=(const ScopedDialogAnswer&) = delete;
    bool installed = false;
};
