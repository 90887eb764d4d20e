// The filter plug-in interface between the host application and this module:
// the records, fields, callbacks and suites the module uses, under the names
// the host gives them. Everything host-specific lives behind this header, so
// the module could be built against the host maker's own declarations instead.
// Our own host (minihost/) implements the host side from the same header.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

typedef int16_t OSErr;
typedef int32_t SPErr;
typedef uint8_t Boolean;
typedef uint32_t DescriptorKeyID;
typedef uint32_t DescType;
typedef int32_t Fixed;  // 16.16 fixed point
typedef char* Ptr;

// Opaque host objects: the module only passes them back to the host.
typedef struct HostHandleOpaque* Handle;
typedef struct HostBufferOpaque* BufferID;
// A descriptor handed between host and module is a host handle, released
// with the handle procedures' disposeProc.
typedef Handle PIDescriptorHandle;
typedef struct HostReadDescriptorOpaque* PIReadDescriptor;
typedef struct HostWriteDescriptorOpaque* PIWriteDescriptor;
typedef struct HostActionDescriptorOpaque* PIActionDescriptor;

// Selectors of PluginMain.
enum : int16_t {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5,
};

// Result codes.
enum : int16_t {
    noErr = 0,
    readErr = -19,               // descriptor key the module does not know
    memFullErr = -108,
    userCanceledErr = -128,
    errMissingParameter = -1715, // descriptor procedures lack what is needed
    filterBadParameters = -30100,
};
constexpr SPErr errPlugInHostInsufficient = -30900;

// Results of the basic suite and the suites acquired through it.
constexpr SPErr kSPNoError = 0;
constexpr SPErr kSPSuiteNotFoundError = 0x53214664;  // 'S!Fd'
constexpr SPErr kSPBadParameterError = 0x5061726D;   // 'Parm'

// Types of descriptor values.
constexpr DescType typeInteger = 0x6C6F6E67;  // 'long'
constexpr DescType typeFloat = 0x646F7562;    // 'doub'

// Image modes (FilterRecord::imageMode).
enum : int16_t {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeHSLColor = 5,
    plugInModeHSBColor = 6,
    plugInModeMultichannel = 7,
    plugInModeDuotone = 8,
    plugInModeLabColor = 9,
    plugInModeGray16 = 10,
    plugInModeRGB48 = 11,
    plugInModeLab48 = 12,
    plugInModeCMYK64 = 13,
    plugInModeDeepMultichannel = 14,
    plugInModeDuotone16 = 15,
    plugInModeRGB96 = 16,
    plugInModeGray32 = 17,
};

// Descriptor play information (PIDescriptorParameters::playInfo).
enum : int16_t {
    plugInDialogDontDisplay = 0,
    plugInDialogDisplay = 1,
    plugInDialogSilent = 2,
};

struct Rect {
    int16_t top, left, bottom, right;
};

struct VRect {
    int32_t top, left, bottom, right;
};

struct VPoint {
    int32_t v, h;
};

// Host's window for dialogs (HWND on Windows).
struct PlatformData {
    intptr_t hwnd;
};

typedef Boolean (*TestAbortProc)();
typedef void (*ProgressProc)(int32_t done, int32_t total);
typedef OSErr (*AdvanceStateProc)();

struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    Handle (*newProc)(int32_t size);
    void (*disposeProc)(Handle h);
    Ptr (*lockProc)(Handle h, Boolean moveHigh);
    void (*unlockProc)(Handle h);
};

struct BufferProcs {
    int16_t bufferProcsVersion;
    int16_t numBufferProcs;
    OSErr (*allocateProc)(int32_t size, BufferID* bufferID);
    Ptr (*lockProc)(BufferID bufferID, Boolean moveHigh);
    void (*unlockProc)(BufferID bufferID);
    void (*freeProc)(BufferID bufferID);
    int32_t (*spaceProc)();
};

// An 8-bit planar picture handed to displayPixels.
struct PSPixelMap {
    int32_t version;
    VRect bounds;
    int32_t imageMode;
    int32_t rowBytes;
    int32_t colBytes;
    int32_t planeBytes;
    void* baseAddr;
    void* mat;
    void* masks;
    int32_t maskPhaseRow;
    int32_t maskPhaseCol;
};

typedef OSErr (*DisplayPixelsProc)(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow,
                                   int32_t dstCol, void* platformContext);

// Scripting: the descriptor of a recorded action, read at start and written at finish.
struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    PIReadDescriptor (*openReadDescriptorProc)(PIDescriptorHandle descriptor, const DescriptorKeyID* keyArray);
    OSErr (*closeReadDescriptorProc)(PIReadDescriptor token);
    Boolean (*getKeyProc)(PIReadDescriptor token, DescriptorKeyID* key, DescType* type, int32_t* flags);
    OSErr (*getIntegerProc)(PIReadDescriptor token, int32_t* value);
    OSErr (*getFloatProc)(PIReadDescriptor token, double* value);
};

struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    PIWriteDescriptor (*openWriteDescriptorProc)();
    OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor token, PIDescriptorHandle* newDescriptor);
    OSErr (*putIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key, int32_t value);
    OSErr (*putFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, const double* value);
};

struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;
    int16_t recordInfo;
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

// The host's basic suite, through which further suites are acquired by name.
struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
};

// Descriptor registry suite: values kept by the host from one of its runs to the next.
#define kPSDescriptorRegistrySuite "61e608b0-40fd-11d1-8da3-00c04fd5f7ee"
constexpr int32_t kPSDescriptorRegistrySuiteVersion1 = 1;

struct PSDescriptorRegistryProcs {
    SPErr (*Register)(const char* key, PIActionDescriptor descriptor, Boolean isPersistent);
    SPErr (*Erase)(const char* key);
    SPErr (*Get)(const char* key, PIActionDescriptor* descriptor);
};

// Action descriptor suite: builds and reads the descriptors stored in the registry.
#define kPSActionDescriptorSuite "df135115-c769-11d0-8079-00c04fd7ec47"
constexpr int32_t kPSActionDescriptorSuiteVersion3 = 3;

struct PSActionDescriptorProcs {
    SPErr (*Make)(PIActionDescriptor* descriptor);
    SPErr (*Free)(PIActionDescriptor descriptor);
    SPErr (*PutInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32_t value);
    SPErr (*PutFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double value);
    SPErr (*GetInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32_t* value);
    SPErr (*GetFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double* value);
};

// 32-bit coordinates for documents larger than the int16 rectangles can describe.
struct BigDocumentStruct {
    int32_t PluginUsing32BitCoordinates;
    VPoint imageSize32;
    VRect filterRect32;
    VRect inRect32;
    VRect outRect32;
    VRect maskRect32;
};

// The record handed to every selector except about.
struct FilterRecord {
    int32_t serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;

    int16_t planes;
    Rect filterRect;
    Rect inRect;
    Rect outRect;
    Rect maskRect;
    int16_t inLoPlane, inHiPlane;
    int16_t outLoPlane, outHiPlane;
    Fixed inputRate;
    Fixed maskRate;
    int16_t inputPadding;
    int16_t maskPadding;

    int32_t maxSpace;
    void* inData;
    int32_t inRowBytes;
    void* outData;
    int32_t outRowBytes;

    int16_t imageMode;
    int16_t depth;

    AdvanceStateProc advanceState;
    HandleProcs* handleProcs;
    BufferProcs* bufferProcs;
    DisplayPixelsProc displayPixels;
    void* platformData;  // PlatformData*
    PIDescriptorParameters* descriptorParameters;
    SPBasicSuite* sSPBasic;
    BigDocumentStruct* bigDocumentData;
};

// The record handed to the about selector.
struct AboutRecord {
    void* platformData;  // PlatformData*
    SPBasicSuite* sSPBasic;
};

// The module's entry point, called once per selector.
typedef void (*PluginMainProc)(int16_t selector, void* pluginParamBlock, intptr_t* data, int16_t* result);

// Message boxes are routed through the host when it installs a handler (our
// own host does, so that no message box blocks a batch run or a test).
typedef void (*MessageBoxHandler)(const char* caption, const char* text);
typedef void (*SetMessageBoxHandlerProc)(MessageBoxHandler handler);

constexpr const char* kPluginMainName = "PluginMain";
constexpr const char* kSetMessageBoxHandlerName = "SetMessageBoxHandler";

// Our own extension for hosts without a dialog (our host, tonemap): the
// preview operations of the module's dialog, called like PluginMain with the
// filter record and the data slot, after prepare. A host that opens closes.
enum : int16_t {
    previewCommandOpen = 0,     // preview size 512 and the preview's buffers
    previewCommandSetSize = 1,  // PreviewExchange::size: 512, 768 or 1024
    previewCommandCompute = 2,  // a new preview from the settings record
    previewCommandClose = 3,    // releases the preview's buffers
};

struct PreviewExchange {
    int32_t size;              // in: the longer side for previewCommandSetSize
    int32_t width, height;     // out: the preview's size
    const uint8_t* picture;    // out after compute: three planes of width x height bytes, until the next command
    const int32_t* histogram;  // out after compute: the 256 counts shown beside the picture
};

typedef void (*PreviewMainProc)(int16_t command, void* pluginParamBlock, intptr_t* data, int16_t* result,
                                PreviewExchange* exchange);
constexpr const char* kPreviewMainName = "PreviewMain";
