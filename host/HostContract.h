// The filter plug-in interface between the host application and this module:
// the records, procedure tables and suites the module reads, writes or calls,
// under the names the host gives them, in the host's binary layout on 64-bit
// Windows. Our own host (minihost/) implements the host side from the same
// header, and host/HostContractLayout.cpp checks every offset at compile time.
//
// Where each layout was checked. Every declaration below is our own, written
// from two independent sources that agree on member order, member sizes and
// packing:
//
//   layout                      host maker's publication      open-source host declaration
//   --------------------------  ----------------------------  ----------------------------------
//   FilterRecord                PIFilter.h of the plug-in     PSFilterHost and PSFilterPdn
//                               SDK and its reference page    PSApi/FilterRecord.cs (Pack = 4,
//                               FilterRecord; packed to 4     up to canUseICCProfiles); the later
//                               bytes on Windows, reserved    members up to iCCWorkingProfileSize
//                               space after maxSpace64        in a C# declaration with Pack = 4 of
//                                                             an open-source shader plug-in, and
//                                                             maxSpace64 as Filter Foundry reads it
//   BigDocumentStruct           PIFilter.h, reference page    the same C# shader plug-in declaration
//                               BigDocumentStruct
//   AboutRecord                 PIAbout.h, reference page     PSFilterHost PSApi/AboutRecord.cs
//   PlatformData, Point, Rect,  PITypes.h (Windows part)      PSFilterPdn's PlatformData (IntPtr
//   VRect, VPoint, PSRGBColor,                                hwnd); the points, rectangles,
//   PlugInMonitor                                             colours and monitor of PSFilterHost's
//                                                             FilterRecord.cs
//   HandleProcs, BufferProcs    PIGeneral.h (no packing       PSFilterHost PSApi/HandleProc.cs and
//                               pragma: natural alignment)    BufferProcs.cs (Sequential, natural)
//   PSPixelMap                  PIGeneral.h (version 1        PSFilterPdn's PSPixelMap and
//                               fields)                       PSPixelMask declarations
//   Read/WriteDescriptorProcs,  PIActions.h                   PSFilterHost
//   PIDescriptorParameters                                    PSApi/PIDescriptorParameters.cs
//   SPBasicSuite                SPBasic.h                     the SPBasicSuite declaration of
//                                                             PSFilterHost and PSFilterPdn
//   PSDescriptorRegistryProcs   PIActions.h                   PSFilterHost PICA/DescriptorRegistrySuite.cs
//   PSActionDescriptorProcs     PIActions.h (versions 2, 3    PSFilterPdn's PSActionDescriptorProc
//                               and current share the head)   declaration
//   result codes, constants     PITypes.h, PIGeneral.h,       PSFilterPdn's error-code constants,
//                               PIFilter.h, PIActions.h,      PSFilterHost ImageModes.cs and the
//                               SPErrorCodes.h, SPBasic.h     PlayInfo enum; modes 16 and 17 as
//                                                             Filter Foundry lists them
//
// Sizes as published for Windows: Boolean is one byte, Fixed, DescriptorKeyID
// and DescType are 32-bit, OSErr is 16-bit, the filter record's depth is
// 32-bit, handles and procedures are pointers, and every procedure uses the
// platform's one C calling convention. The filter record and the big-document
// block are packed to 4 bytes (a pointer may follow an int32 without a gap);
// every other record and table here has natural alignment. Our Linux build
// uses the same packing, so both builds share one layout.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// ---- Scalar types ----

typedef int16_t OSErr;
typedef int32_t SPErr;
typedef int32_t SPBoolean;
typedef uint8_t Boolean;
typedef int32_t Fixed;  // 16.16 fixed point
typedef uint32_t OSType;
typedef uint32_t DescriptorKeyID;
typedef uint32_t DescType;
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

// A table slot the module never calls: declared only to keep the slots after
// it at their places.
typedef void (*UncalledProc)();

// ---- Selectors, result codes and constants ----

enum : int16_t {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5,
};

enum : int16_t {
    noErr = 0,
    readErr = -19,  // descriptor key the module does not know
    paramErr = -50,
    memFullErr = -108,
    userCanceledErr = -128,
    errMissingParameter = -1715,  // descriptor procedures lack what is needed
    filterBadParameters = -30100,
    filterBadMode = -30101,
    errPlugInHostInsufficient = -30900,
};

// Results of the basic suite.
constexpr SPErr kSPNoError = 0;
constexpr SPErr kSPSuiteNotFoundError = 0x53214664;  // 'S!Fd'
constexpr SPErr kSPBadParameterError = 0x5061726D;   // 'Parm'

// Types of descriptor values.
constexpr DescType typeInteger = 0x6C6F6E67;  // 'long'
constexpr DescType typeFloat = 0x646F7562;    // 'doub'

// The host's signature in FilterRecord::hostSig.
constexpr OSType kPhotoshopSignature = 0x3842494D;  // '8BIM'

// Image modes (FilterRecord::imageMode, PSPixelMap::imageMode).
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

// Kinds of data being filtered (FilterRecord::filterCase).
enum : int16_t {
    filterCaseFlatImageNoSelection = 1,
    filterCaseFlatImageWithSelection = 2,
};

// Descriptor play information (PIDescriptorParameters::playInfo).
enum : int16_t {
    plugInDialogDontDisplay = 0,
    plugInDialogDisplay = 1,
    plugInDialogSilent = 2,
};

// Versions and slot counts of the procedure tables as the host fills them.
constexpr int16_t kCurrentHandleProcsVersion = 1;
constexpr int16_t kCurrentHandleProcsCount = 8;
constexpr int16_t kCurrentBufferProcsVersion = 2;
constexpr int16_t kCurrentBufferProcsCount = 5;
constexpr int16_t kCurrentDescriptorParametersVersion = 0;
constexpr int16_t kCurrentReadDescriptorProcsVersion = 0;
constexpr int16_t kCurrentWriteDescriptorProcsVersion = 0;

// ---- Points, rectangles and colours ----

struct Point {
    int16_t v, h;
};

struct Rect {
    int16_t top, left, bottom, right;
};

struct VPoint {
    int32_t v, h;
};

struct VRect {
    int32_t top, left, bottom, right;
};

struct PSRGBColor {
    uint16_t red, green, blue;
};

typedef uint8_t FilterColor[4];

struct PlugInMonitor {
    Fixed gamma;
    Fixed redX, redY;
    Fixed greenX, greenY;
    Fixed blueX, blueY;
    Fixed whiteX, whiteY;
    Fixed ambient;
};

// What FilterRecord::platformData and AboutRecord::platformData point to:
// the host's window for dialogs (an HWND on Windows).
struct PlatformData {
    intptr_t hwnd;
};

// ---- Direct callbacks ----

typedef Boolean (*TestAbortProc)();
typedef void (*ProgressProc)(int32_t done, int32_t total);
typedef OSErr (*AdvanceStateProc)();

// ---- Handle and buffer procedures ----

typedef Handle (*NewPIHandleProc)(int32_t size);
typedef void (*DisposePIHandleProc)(Handle h);
typedef int32_t (*GetPIHandleSizeProc)(Handle h);
typedef OSErr (*SetPIHandleSizeProc)(Handle h, int32_t newSize);
typedef Ptr (*LockPIHandleProc)(Handle h, Boolean moveHigh);
typedef void (*UnlockPIHandleProc)(Handle h);
typedef void (*RecoverSpaceProc)(int32_t size);
typedef void (*DisposeRegularHandlePIHandleProc)(Handle h);

struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
};

typedef OSErr (*AllocateBufferProc)(int32_t size, BufferID* bufferID);
typedef Ptr (*LockBufferProc)(BufferID bufferID, Boolean moveHigh);
typedef void (*UnlockBufferProc)(BufferID bufferID);
typedef void (*FreeBufferProc)(BufferID bufferID);
typedef int32_t (*BufferSpaceProc)();

struct BufferProcs {
    int16_t bufferProcsVersion;
    int16_t numBufferProcs;
    AllocateBufferProc allocateProc;
    LockBufferProc lockProc;
    UnlockBufferProc unlockProc;
    FreeBufferProc freeProc;
    BufferSpaceProc spaceProc;
};

// ---- Display of an 8-bit planar picture ----

struct PSPixelMask;

// The fields of version 1, which is the version the module hands over.
struct PSPixelMap {
    int32_t version;
    VRect bounds;
    int32_t imageMode;
    int32_t rowBytes;
    int32_t colBytes;
    int32_t planeBytes;
    void* baseAddr;
    PSPixelMask* mat;
    PSPixelMask* masks;
    int32_t maskPhaseRow;
    int32_t maskPhaseCol;
};

// platformContext is the device context (HDC) to paint into on Windows.
typedef OSErr (*DisplayPixelsProc)(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow,
                                   int32_t dstCol, void* platformContext);

// ---- Scripting: the descriptor of a recorded action ----

typedef PIReadDescriptor (*OpenReadDescriptorProc)(PIDescriptorHandle descriptor, const DescriptorKeyID* keyArray);
typedef OSErr (*CloseReadDescriptorProc)(PIReadDescriptor token);
typedef Boolean (*GetKeyProc)(PIReadDescriptor token, DescriptorKeyID* key, DescType* type, int32_t* flags);
typedef OSErr (*GetIntegerProc)(PIReadDescriptor token, int32_t* value);
typedef OSErr (*GetFloatProc)(PIReadDescriptor token, double* value);

// The table up to the last slot the module calls; the host's own goes on.
struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    OpenReadDescriptorProc openReadDescriptorProc;
    CloseReadDescriptorProc closeReadDescriptorProc;
    GetKeyProc getKeyProc;
    GetIntegerProc getIntegerProc;
    GetFloatProc getFloatProc;
};

typedef PIWriteDescriptor (*OpenWriteDescriptorProc)();
typedef OSErr (*CloseWriteDescriptorProc)(PIWriteDescriptor token, PIDescriptorHandle* newDescriptor);
typedef OSErr (*PutIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key, int32_t value);
typedef OSErr (*PutFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, const double* value);

// The table up to the last slot the module calls; the host's own goes on.
struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    OpenWriteDescriptorProc openWriteDescriptorProc;
    CloseWriteDescriptorProc closeWriteDescriptorProc;
    PutIntegerProc putIntegerProc;
    PutFloatProc putFloatProc;
};

struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;
    int16_t recordInfo;
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

// ---- Suites acquired by name ----

// The host's basic suite, through which further suites are acquired.
struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newBlock);
    SPErr (*Undefined)();
};

// Descriptor registry suite: values kept by the host from one of its runs to the next.
#define kPSDescriptorRegistrySuite "61e608b0-40fd-11d1-8da3-00c04fd5f7ee"
constexpr int32_t kPSDescriptorRegistrySuiteVersion1 = 1;

struct PSDescriptorRegistryProcs {
    OSErr (*Register)(const char* key, PIActionDescriptor descriptor, Boolean isPersistent);
    OSErr (*Erase)(const char* key);
    OSErr (*Get)(const char* key, PIActionDescriptor* descriptor);
};

// Action descriptor suite: builds and reads the descriptors stored in the registry.
#define kPSActionDescriptorSuite "df135115-c769-11d0-8079-00c04fd7ec47"
constexpr int32_t kPSActionDescriptorSuiteVersion3 = 3;

// The suite up to GetFloat, the last slot the module calls; the host's own goes on.
struct PSActionDescriptorProcs {
    OSErr (*Make)(PIActionDescriptor* descriptor);
    OSErr (*Free)(PIActionDescriptor descriptor);
    UncalledProc GetType;
    UncalledProc GetKey;
    UncalledProc HasKey;
    UncalledProc GetCount;
    UncalledProc IsEqual;
    UncalledProc Erase;
    UncalledProc Clear;
    OSErr (*PutInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32_t value);
    OSErr (*PutFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double value);
    UncalledProc PutUnitFloat;
    UncalledProc PutString;
    UncalledProc PutBoolean;
    UncalledProc PutList;
    UncalledProc PutObject;
    UncalledProc PutGlobalObject;
    UncalledProc PutEnumerated;
    UncalledProc PutReference;
    UncalledProc PutClass;
    UncalledProc PutGlobalClass;
    UncalledProc PutAlias;
    OSErr (*GetInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32_t* value);
    OSErr (*GetFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double* value);
};

// ---- The records handed to PluginMain ----

#pragma pack(push, 4)

// 32-bit coordinates for documents larger than the int16 rectangles can describe.
struct BigDocumentStruct {
    int32_t PluginUsing32BitCoordinates;
    VPoint imageSize32;
    VRect filterRect32;
    VRect inRect32;
    VRect outRect32;
    VRect maskRect32;
    VPoint floatCoord32;
    VPoint wholeSize32;
};

// The record handed to every selector except about, complete to its
// documented end. Pointers the module never follows are plain void*.
struct FilterRecord {
    int32_t serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;
    Point imageSize;
    int16_t planes;
    Rect filterRect;
    PSRGBColor background;
    PSRGBColor foreground;
    int32_t maxSpace;
    int32_t bufferSpace;
    Rect inRect;
    int16_t inLoPlane;
    int16_t inHiPlane;
    Rect outRect;
    int16_t outLoPlane;
    int16_t outHiPlane;
    void* inData;
    int32_t inRowBytes;
    void* outData;
    int32_t outRowBytes;
    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect maskRect;
    void* maskData;
    int32_t maskRowBytes;
    FilterColor backColor;
    FilterColor foreColor;
    OSType hostSig;
    void* hostProc;
    int16_t imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point floatCoord;
    Point wholeSize;
    PlugInMonitor monitor;
    void* platformData;  // PlatformData*
    BufferProcs* bufferProcs;
    void* resourceProcs;
    void* processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    int16_t wantLayout;
    int16_t filterCase;
    int16_t dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    void* getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    int16_t inputPadding;
    int16_t outputPadding;
    int16_t maskPadding;
    char samplingSupport;
    char reservedByte;
    Fixed inputRate;
    Fixed maskRate;
    void* colorServices;
    int16_t inLayerPlanes;
    int16_t inTransparencyMask;
    int16_t inLayerMasks;
    int16_t inInvertedLayerMasks;
    int16_t inNonLayerPlanes;
    int16_t outLayerPlanes;
    int16_t outTransparencyMask;
    int16_t outLayerMasks;
    int16_t outInvertedLayerMasks;
    int16_t outNonLayerPlanes;
    int16_t absLayerPlanes;
    int16_t absTransparencyMask;
    int16_t absLayerMasks;
    int16_t absInvertedLayerMasks;
    int16_t absNonLayerPlanes;
    int16_t inPreDummyPlanes;
    int16_t inPostDummyPlanes;
    int16_t outPreDummyPlanes;
    int16_t outPostDummyPlanes;
    int32_t inColumnBytes;
    int32_t inPlaneBytes;
    int32_t outColumnBytes;
    int32_t outPlaneBytes;
    void* imageServicesProcs;
    void* propertyProcs;
    int16_t inTileHeight;
    int16_t inTileWidth;
    Point inTileOrigin;
    int16_t absTileHeight;
    int16_t absTileWidth;
    Point absTileOrigin;
    int16_t outTileHeight;
    int16_t outTileWidth;
    Point outTileOrigin;
    int16_t maskTileHeight;
    int16_t maskTileWidth;
    Point maskTileOrigin;
    PIDescriptorParameters* descriptorParameters;
    void* errorString;
    void* channelPortProcs;
    void* documentInfo;
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    int32_t depth;
    Handle iCCprofileData;
    int32_t iCCprofileSize;
    int32_t canUseICCProfiles;
    int32_t hasImageScrap;
    BigDocumentStruct* bigDocumentData;
    void* input3DScene;
    void* output3DScene;
    Boolean createNewLayer;
    Handle iCCWorkingProfileData;
    int32_t iCCWorkingProfileSize;
    int64_t bufferSpace64;
    int64_t maxSpace64;  // the budget a current host reads; 0 from hosts that predate it
    char reserved[46];
};

#pragma pack(pop)

// The record handed to the about selector.
struct AboutRecord {
    void* platformData;  // PlatformData*
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    char reserved[244];
};

// The module's entry point, called once per selector.
typedef void (*PluginMainProc)(int16_t selector, void* pluginParamBlock, intptr_t* data, int16_t* result);

// Message boxes are routed through the host when it installs a handler (our
// own host does, so that no message box blocks a batch run or a test).
typedef void (*MessageBoxHandler)(const char* caption, const char* text);
typedef void (*SetMessageBoxHandlerProc)(MessageBoxHandler handler);

// Our own host's way to the 360-degree flag, which has no scripting key: it
// hands over the bytes of the `parameters` handle after prepare. The real host
// never calls it (its users tick the dialog's check box). Returns 0, or -30100
// for a block that is not the module's settings.
typedef int16_t (*SetPanoramaFlagProc)(void* parameters, int32_t size, int32_t is360);

// Our own host's way to learn why the last full run of an image failed, which
// the host's result codes cannot tell apart (an image without contrast and
// unusable parameters both end with -30100): it hands over the bytes of the
// globals handle in the data slot after start. The real host never calls it.
enum RunDetail : int32_t {
    kRunDetailNotOurs = -1,     // the block is not the module's globals
    kRunDetailNone = 0,         // nothing to add to the result code
    kRunDetailNoContrast = 1,   // the adapted luminance was flat: nothing to compress
    kRunDetailNoFiniteLuminance = 2,  // the adapted luminance held no finite value at all
};
typedef int32_t (*GetRunDetailProc)(const void* globals, int32_t size);

constexpr const char* kPluginMainName = "PluginMain";
constexpr const char* kSetMessageBoxHandlerName = "SetMessageBoxHandler";
constexpr const char* kSetPanoramaFlagName = "SetPanoramaFlag";
constexpr const char* kGetRunDetailName = "GetRunDetail";

// Our own extension for hosts without a dialog (our host, tonemap): the
// preview operations of the module's dialog, called like PluginMain with the
// filter record and the data slot, after prepare. A host that opens closes.
enum : int16_t {
    previewCommandOpen = 0,          // the dialog opening: settings, preview size 512, the buffers
    previewCommandSetSize = 1,       // PreviewExchange::size: 512, 768 or 1024
    previewCommandCompute = 2,       // a new preview from the settings
    previewCommandClose = 3,         // releases the preview's buffers
    previewCommandShowOriginal = 4,  // the "Show Original" button: toggles the source image
};

struct PreviewExchange {
    int32_t size;               // in: the longer side for previewCommandSetSize
    const int32_t* settings;    // in for open: the fifteen in settings-file order, or null to keep the record's
    int32_t width, height;      // out: the preview's size
    const uint8_t* picture;     // out after compute: three planes of width x height bytes, until the next command
    const int32_t* histogram;   // out after compute: the 256 counts shown beside the picture
    int32_t showingOriginal;    // out: 1 while "Show Original" is on
};

typedef void (*PreviewMainProc)(int16_t command, void* pluginParamBlock, intptr_t* data, int16_t* result,
                                PreviewExchange* exchange);
constexpr const char* kPreviewMainName = "PreviewMain";
