// A host of our own for the plug-in module: it loads the module from its file,
// owns a document, implements the host side of the filter interface (handles,
// buffers, advanceState, progress, cancellation) and drives the selectors in
// the order the real host does. Tests use it to prove what the module does
// and that it leaks nothing; the command-line tool uses it to tone-map files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "../host/HostContract.h"

// ---- The module ----

struct PluginModule {
    void* library = nullptr;
    PluginMainProc main = nullptr;
    SetMessageBoxHandlerProc setMessageBoxHandler = nullptr;
};

// Loads the module and finds its entry point by name. On failure returns
// false with a readable reason in `error`.
bool LoadPluginModule(const std::string& path, PluginModule* module, std::string* error);
void UnloadPluginModule(PluginModule* module);

// The folder of the running program, with a trailing separator.
std::string ProgramFolder();

// The module built beside the running program (ToneMapping.8bf or .so).
std::string DefaultModulePath();

// ---- The document ----

struct HostDocument {
    int32_t width = 0;
    int32_t height = 0;
    int16_t planes = 3;
    int16_t depth = 32;  // bits per sample: 8, 16 or 32
    int16_t imageMode = plugInModeRGB96;
    VRect filterRect{};            // selection bounds in document coordinates
    std::vector<uint8_t> samples;  // width x height pixels of `planes` interleaved samples
};

// A zero-filled RGB document of the given depth with the whole image selected.
HostDocument MakeDocument(int32_t width, int32_t height, int16_t planes, int16_t depth);

float* FloatSamples(HostDocument& document);
uint16_t* Code16Samples(HostDocument& document);
uint8_t* Code8Samples(HostDocument& document);
const float* FloatSamples(const HostDocument& document);
const uint16_t* Code16Samples(const HostDocument& document);

// ---- Faults the host can inject (1-based call numbers, 0 = never) ----

struct HostFaults {
    int failHandleAllocation = 0;  // the n-th newProc returns null
    int failHandleLock = 0;        // the n-th handle lockProc returns null
    int failBufferAllocation = 0;  // the n-th buffer allocateProc fails
    int failBufferLock = 0;        // the n-th buffer lockProc returns null
    int cancelAtCheck = 0;         // abortProc answers true from the n-th call on
};

// ---- The host ----

struct HostMessage {
    std::string caption;
    std::string text;
};

struct HostHandleBlock;
struct HostBufferBlock;

struct MiniHost {
    HostDocument document;
    HostFaults faults;
    int32_t maxSpace = 1 << 30;          // memory budget offered to the module
    int64_t bufferBudget = INT64_MAX;    // bytes the buffer procedures hand out in all
    bool offerBigDocument = true;        // offer 32-bit coordinates
    int32_t rowPaddingBytes = 0;         // unused bytes after every delivered row
    intptr_t hostWindow = 0;             // platformData's window (Windows)
    ProgressProc progressObserver = nullptr;  // called on every progress report
    TestAbortProc abortObserver = nullptr;    // asked on every abort check

    // Kept between runs, as the real host keeps them.
    Handle parameters = nullptr;
    intptr_t data = 0;

    // What happened.
    std::vector<std::pair<int32_t, int32_t>> progress;
    std::vector<HostMessage> messages;
    std::vector<int16_t> selectors;
    int handleAllocations = 0;
    int handleLocks = 0;
    int bufferAllocations = 0;
    int bufferLocks = 0;
    int abortChecks = 0;
    int advanceStateCalls = 0;
    int64_t bufferBytesOutstanding = 0;
    int64_t peakBufferBytes = 0;

    // The record of the current call and the blocks behind it.
    FilterRecord record{};
    AboutRecord aboutRecord{};
    BigDocumentStruct bigDocument{};
    PlatformData platform{};
    HandleProcs handleProcs{};
    BufferProcs bufferProcs{};
    std::vector<HostHandleBlock*> handles;
    std::vector<HostBufferBlock*> buffers;
    std::vector<uint8_t> inBuffer;
    std::vector<uint8_t> outBuffer;
    VRect outRectDelivered{};
    int16_t outLoDelivered = 0;
    int16_t outHiDelivered = -1;

    MiniHost();
    ~MiniHost();
    MiniHost(const MiniHost&) = delete;
    MiniHost& operator=(const MiniHost&) = delete;
};

// Handles, buffers and handle locks that the module has not given back.
int OutstandingHandles(const MiniHost& host);
int OutstandingHandleLocks(const MiniHost& host);
int OutstandingBuffers(const MiniHost& host);
int OutstandingBufferLocks(const MiniHost& host);

// The bytes behind a handle the host holds, as the host sees them (null for
// an unknown handle). Tests read and write the module's settings through it.
uint8_t* PeekHandle(MiniHost& host, Handle handle);

// Calls one selector with the host's record; returns the module's result.
int16_t CallSelector(MiniHost& host, const PluginModule& module, int16_t selector);

// One filter application in the host's order: parameters (when the user
// chose the menu item with its dialog), prepare, start, continue until the
// module asks for nothing more, finish after a successful start. Returns the
// first non-zero result, or 0.
int16_t RunFilter(MiniHost& host, const PluginModule& module, bool withParameters);

// What the module asked for in its last continue: true when all rectangles are empty.
bool RequestsAreEmpty(const MiniHost& host);

// Disposes the handles the host keeps between runs (settings and globals),
// as the host does when it quits.
void ReleaseKeptHandles(MiniHost& host);
