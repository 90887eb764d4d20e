// A host of our own for the plug-in module: it loads the module from its file,
// owns a document, implements the host side of the filter interface (handles,
// buffers, advanceState, progress, cancellation) and drives the selectors in
// the order the real host does. Tests use it to prove what the module does
// and that it leaks nothing; the command-line tool uses it to tone-map files.
#pragma once

#include <cstdint>
#include <memory>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../host/HostContract.h"

// ---- The module ----

struct PluginModule {
    void* library = nullptr;
    PluginMainProc main = nullptr;
    SetMessageBoxHandlerProc setMessageBoxHandler = nullptr;
    SetPanoramaFlagProc setPanoramaFlag = nullptr;  // null for a module without it
    GetRunDetailProc getRunDetail = nullptr;        // null for a module without it
    PreviewMainProc previewMain = nullptr;  // null for a module without the preview export
};

// Loads the module and finds its entry point by name. On failure returns
// false with a readable reason in `error`.
bool LoadPluginModule(const std::string& path, PluginModule* module, std::string* error);
void UnloadPluginModule(PluginModule* module);

// The folder of the running program, with a trailing separator.
std::string ProgramFolder();

// The module built beside the running program (ToneMapping.8bf or .so).
std::string DefaultModulePath();

// The user's configuration folder ($XDG_CONFIG_HOME or ~/.config, %APPDATA%
// on Windows), without a trailing separator; empty when there is none.
std::string UserConfigFolder();

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
    int failSuiteAcquisition = 0;  // the n-th AcquireSuite finds no suite
    int failDescriptorPut = 0;     // the n-th Put of the action descriptor suite fails
};

// ---- Descriptors: a list of (key, type, value) ----

struct DescriptorItem {
    DescriptorKeyID key = 0;
    DescType type = typeInteger;
    int32_t integer = 0;  // when type is typeInteger
    double number = 0;    // when type is typeFloat
};

using DescriptorList = std::vector<DescriptorItem>;

DescriptorItem IntegerItem(DescriptorKeyID key, int32_t value);
DescriptorItem FloatItem(DescriptorKeyID key, double value);
// The item of a key, or null.
const DescriptorItem* FindItem(const DescriptorList& list, DescriptorKeyID key);

// The host's descriptor registry: entries by key. Persistent entries also
// live in the registry file, when the host has one.
struct RegistryEntry {
    DescriptorList items;
    bool persistent = false;
};

struct HostRegistry {
    bool loaded = false;  // the file has been read
    std::map<std::string, RegistryEntry> entries;
};

// ---- The host ----

struct HostMessage {
    std::string caption;
    std::string text;
};

struct HostHandleBlock;
struct HostBufferBlock;
struct HostActionDescriptor;
struct HostReadToken;
struct HostWriteToken;

struct MiniHost {
    HostDocument document;
    HostFaults faults;
    int64_t maxSpace = 1 << 30;          // memory budget offered to the module
    bool offerMaxSpace64 = true;         // a current host: the budget also in maxSpace64
    int64_t bufferBudget = INT64_MAX;    // bytes the buffer procedures hand out in all
    bool offerBigDocument = true;        // offer 32-bit coordinates
    int32_t rowPaddingBytes = 0;         // unused bytes after every delivered row
    // A request to read and write the whole document at once gets the
    // document itself as both input and output, as a host that filters its
    // image in place: no copy of the image, and half the memory. Only for a
    // module whose output pass reads each pixel before it writes it (ours:
    // the tool sets it, and a test compares it with separate buffers).
    bool inPlace = false;
    intptr_t hostWindow = 0;             // platformData's window (Windows)
    // The button (1 OK, 2 Cancel) this host presses as soon as the module
    // opens its dialog during start, so that a run without a user never
    // waits on a window; 0 leaves the dialog to the user (the try-out
    // program, the dialog tests). Only the Windows module has a dialog.
    int dialogAnswer = 1;
    ProgressProc progressObserver = nullptr;  // called on every progress report
    TestAbortProc abortObserver = nullptr;    // asked on every abort check

    // Kept between runs, as the real host keeps them.
    Handle parameters = nullptr;
    intptr_t data = 0;

    // Scripting. The next start plays `actionToPlay` when `playAction` is
    // set, with `playInfo` saying whether the module shows its dialog; every
    // finish leaves what the module recorded in `recordedAction`.
    bool offerScripting = true;   // descriptorParameters with read and write procedures
    bool offerBasicSuite = true;  // sSPBasic with the registry and action descriptor suites
    bool playAction = false;
    DescriptorList actionToPlay;
    int16_t playInfo = plugInDialogDisplay;
    bool actionRecorded = false;
    DescriptorList recordedAction;
    // Where persistent registry entries are kept between host runs (a small
    // text file, see DefaultRegistryFile); empty: only in this host object.
    std::string registryFile;
    HostRegistry registry;

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
    int suiteAcquisitions = 0;
    int descriptorPuts = 0;
    int unmatchedSuiteReleases = 0;
    int playedDescriptorsLeftByModule = 0;  // handed at start and not disposed by the module
    std::vector<std::string> forbiddenCalls;  // table slots the module has no business calling
    int displayPixelsCalls = 0;
    PSPixelMap lastPixelMap{};              // as handed to displayPixels, which draws it on Windows
    std::vector<std::string> warnings;      // registry file problems, never fatal

    // The record of the current call and the blocks behind it.
    FilterRecord record{};
    AboutRecord aboutRecord{};
    BigDocumentStruct bigDocument{};
    PlatformData platform{};
    HandleProcs handleProcs{};
    BufferProcs bufferProcs{};
    PIDescriptorParameters descriptorParameters{};
    ReadDescriptorProcs readDescriptorProcs{};
    WriteDescriptorProcs writeDescriptorProcs{};
    SPBasicSuite basicSuite{};
    std::map<std::string, int> suitesHeld;  // acquisitions not yet released, by suite name
    std::vector<HostActionDescriptor*> actionDescriptors;
    std::vector<HostReadToken*> readTokens;
    std::vector<HostWriteToken*> writeTokens;
    std::vector<HostHandleBlock*> handles;
    std::vector<HostBufferBlock*> buffers;
    std::unique_ptr<uint8_t[]> inBuffer;   // the delivered input
    std::unique_ptr<uint8_t[]> outBuffer;  // the delivered output, unless it is the document itself
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
// Suites acquired and not released, action descriptors made and not freed,
// descriptor read and write tokens opened and not closed.
int OutstandingSuites(const MiniHost& host);
int OutstandingActionDescriptors(const MiniHost& host);
int OutstandingDescriptorTokens(const MiniHost& host);
int OutstandingHandleLocks(const MiniHost& host);
int OutstandingBuffers(const MiniHost& host);
int OutstandingBufferLocks(const MiniHost& host);

// The bytes behind a handle the host holds, as the host sees them (null for
// an unknown handle). Tests read and write the module's settings through it.
uint8_t* PeekHandle(MiniHost& host, Handle handle);

// Sets the module's 360-degree flag in the settings the host keeps (after
// prepare has created them), through the module's own export. Returns its
// result, or -30100 when the module or the settings are missing.
int16_t SetModulePanoramaFlag(MiniHost& host, const PluginModule& module, bool is360);

// Why the module's last full run in this host failed, as far as its result
// code cannot say (RunDetail), read through the module's own export from the
// globals the host keeps; kRunDetailNone when the module or the globals are missing.
int32_t ModuleRunDetail(MiniHost& host, const PluginModule& module);

// What CallSelector answers, whatever the module said, when the module
// called a table slot it has no business calling (see forbiddenCalls).
constexpr int16_t kForbiddenSlotCalled = -32768;

// Calls one selector with the host's record; returns the module's result.
int16_t CallSelector(MiniHost& host, const PluginModule& module, int16_t selector);

// One command of the module's preview export, with the host's record as a
// selector call gets it (after prepare; a host that opens closes). Returns
// the module's result (kForbiddenSlotCalled as CallSelector does), or
// -30100 when the module has no preview export.
int16_t CallPreview(MiniHost& host, const PluginModule& module, int16_t command, PreviewExchange* exchange);

// One filter application in the host's order: parameters (when the user
// chose the menu item with its dialog), prepare, start, continue until the
// module asks for nothing more, finish after a successful start. Returns the
// first non-zero result, or 0.
int16_t RunFilter(MiniHost& host, const PluginModule& module, bool withParameters);

// The part of RunFilter from start on: start, continue, finish.
int16_t RunFromStart(MiniHost& host, const PluginModule& module);

// ---- The registry, from the host's side ----

// ~/.config/tonemap/registry.txt, or the like under UserConfigFolder().
std::string DefaultRegistryFile();

// The entry registered under `key` (reading the registry file first if
// needed), or null.
const RegistryEntry* FindRegistryEntry(MiniHost& host, const std::string& key);

// Registers an entry as a plug-in does through the registry suite; a
// persistent entry is written to the registry file at once.
void RegisterEntry(MiniHost& host, const std::string& key, const DescriptorList& items, bool persistent);

// What the module asked for in its last continue: true when all rectangles are empty.
bool RequestsAreEmpty(const MiniHost& host);

// Disposes the handles the host keeps between runs (settings and globals),
// as the host does when it quits.
void ReleaseKeptHandles(MiniHost& host);
