// Compile-time proof that the host contract's declarations have the host's
// binary layout on 64-bit Windows: the offset and size of every member the
// module or our host uses, and the size of every record and table, as the
// host's published interface gives them (the sources are listed in
// HostContract.h). The Linux build uses the same packing and shares the
// layout, so the checks hold in every 64-bit build.
#include <cstddef>

#include "HostContract.h"

#define TM_CHECK_MEMBER(type, member, offset, size)                                      \
    static_assert(offsetof(type, member) == (offset), #type "::" #member " offset");    \
    static_assert(sizeof(type::member) == (size), #type "::" #member " size")

#define TM_CHECK_SIZE(type, size) static_assert(sizeof(type) == (size), #type " size")

static_assert(sizeof(Boolean) == 1 && sizeof(OSErr) == 2 && sizeof(Fixed) == 4, "scalar sizes");
static_assert(sizeof(DescriptorKeyID) == 4 && sizeof(DescType) == 4 && sizeof(SPErr) == 4, "code sizes");

#if UINTPTR_MAX == UINT64_MAX

TM_CHECK_SIZE(Point, 4);
TM_CHECK_SIZE(Rect, 8);
TM_CHECK_SIZE(VPoint, 8);
TM_CHECK_SIZE(VRect, 16);
TM_CHECK_SIZE(PSRGBColor, 6);
TM_CHECK_SIZE(PlugInMonitor, 40);
TM_CHECK_MEMBER(Rect, top, 0, 2);
TM_CHECK_MEMBER(Rect, left, 2, 2);
TM_CHECK_MEMBER(Rect, bottom, 4, 2);
TM_CHECK_MEMBER(Rect, right, 6, 2);
TM_CHECK_MEMBER(VRect, top, 0, 4);
TM_CHECK_MEMBER(VRect, left, 4, 4);
TM_CHECK_MEMBER(VRect, bottom, 8, 4);
TM_CHECK_MEMBER(VRect, right, 12, 4);
TM_CHECK_MEMBER(Point, v, 0, 2);
TM_CHECK_MEMBER(Point, h, 2, 2);
TM_CHECK_MEMBER(VPoint, v, 0, 4);
TM_CHECK_MEMBER(VPoint, h, 4, 4);

TM_CHECK_SIZE(PlatformData, 8);
TM_CHECK_MEMBER(PlatformData, hwnd, 0, 8);

// The filter record: 4-byte packing puts pointers at offsets that are
// multiples of 4 only (abortProc at 4, inData at 88, getPropertyObsolete at 292).
TM_CHECK_MEMBER(FilterRecord, serialNumber, 0, 4);
TM_CHECK_MEMBER(FilterRecord, abortProc, 4, 8);
TM_CHECK_MEMBER(FilterRecord, progressProc, 12, 8);
TM_CHECK_MEMBER(FilterRecord, parameters, 20, 8);
TM_CHECK_MEMBER(FilterRecord, imageSize, 28, 4);
TM_CHECK_MEMBER(FilterRecord, planes, 32, 2);
TM_CHECK_MEMBER(FilterRecord, filterRect, 34, 8);
TM_CHECK_MEMBER(FilterRecord, background, 42, 6);
TM_CHECK_MEMBER(FilterRecord, foreground, 48, 6);
TM_CHECK_MEMBER(FilterRecord, maxSpace, 56, 4);
TM_CHECK_MEMBER(FilterRecord, bufferSpace, 60, 4);
TM_CHECK_MEMBER(FilterRecord, inRect, 64, 8);
TM_CHECK_MEMBER(FilterRecord, inLoPlane, 72, 2);
TM_CHECK_MEMBER(FilterRecord, inHiPlane, 74, 2);
TM_CHECK_MEMBER(FilterRecord, outRect, 76, 8);
TM_CHECK_MEMBER(FilterRecord, outLoPlane, 84, 2);
TM_CHECK_MEMBER(FilterRecord, outHiPlane, 86, 2);
TM_CHECK_MEMBER(FilterRecord, inData, 88, 8);
TM_CHECK_MEMBER(FilterRecord, inRowBytes, 96, 4);
TM_CHECK_MEMBER(FilterRecord, outData, 100, 8);
TM_CHECK_MEMBER(FilterRecord, outRowBytes, 108, 4);
TM_CHECK_MEMBER(FilterRecord, isFloating, 112, 1);
TM_CHECK_MEMBER(FilterRecord, haveMask, 113, 1);
TM_CHECK_MEMBER(FilterRecord, autoMask, 114, 1);
TM_CHECK_MEMBER(FilterRecord, maskRect, 116, 8);
TM_CHECK_MEMBER(FilterRecord, maskData, 124, 8);
TM_CHECK_MEMBER(FilterRecord, maskRowBytes, 132, 4);
TM_CHECK_MEMBER(FilterRecord, backColor, 136, 4);
TM_CHECK_MEMBER(FilterRecord, foreColor, 140, 4);
TM_CHECK_MEMBER(FilterRecord, hostSig, 144, 4);
TM_CHECK_MEMBER(FilterRecord, hostProc, 148, 8);
TM_CHECK_MEMBER(FilterRecord, imageMode, 156, 2);
TM_CHECK_MEMBER(FilterRecord, imageHRes, 160, 4);
TM_CHECK_MEMBER(FilterRecord, imageVRes, 164, 4);
TM_CHECK_MEMBER(FilterRecord, floatCoord, 168, 4);
TM_CHECK_MEMBER(FilterRecord, wholeSize, 172, 4);
TM_CHECK_MEMBER(FilterRecord, monitor, 176, 40);
TM_CHECK_MEMBER(FilterRecord, platformData, 216, 8);
TM_CHECK_MEMBER(FilterRecord, bufferProcs, 224, 8);
TM_CHECK_MEMBER(FilterRecord, resourceProcs, 232, 8);
TM_CHECK_MEMBER(FilterRecord, processEvent, 240, 8);
TM_CHECK_MEMBER(FilterRecord, displayPixels, 248, 8);
TM_CHECK_MEMBER(FilterRecord, handleProcs, 256, 8);
TM_CHECK_MEMBER(FilterRecord, supportsDummyChannels, 264, 1);
TM_CHECK_MEMBER(FilterRecord, wantLayout, 266, 2);
TM_CHECK_MEMBER(FilterRecord, filterCase, 268, 2);
TM_CHECK_MEMBER(FilterRecord, dummyPlaneValue, 270, 2);
TM_CHECK_MEMBER(FilterRecord, premiereHook, 272, 8);
TM_CHECK_MEMBER(FilterRecord, advanceState, 280, 8);
TM_CHECK_MEMBER(FilterRecord, supportsAbsolute, 288, 1);
TM_CHECK_MEMBER(FilterRecord, getPropertyObsolete, 292, 8);
TM_CHECK_MEMBER(FilterRecord, cannotUndo, 300, 1);
TM_CHECK_MEMBER(FilterRecord, supportsPadding, 301, 1);
TM_CHECK_MEMBER(FilterRecord, inputPadding, 302, 2);
TM_CHECK_MEMBER(FilterRecord, outputPadding, 304, 2);
TM_CHECK_MEMBER(FilterRecord, maskPadding, 306, 2);
TM_CHECK_MEMBER(FilterRecord, samplingSupport, 308, 1);
TM_CHECK_MEMBER(FilterRecord, inputRate, 312, 4);
TM_CHECK_MEMBER(FilterRecord, maskRate, 316, 4);
TM_CHECK_MEMBER(FilterRecord, colorServices, 320, 8);
TM_CHECK_MEMBER(FilterRecord, inLayerPlanes, 328, 2);
TM_CHECK_MEMBER(FilterRecord, outPostDummyPlanes, 364, 2);
TM_CHECK_MEMBER(FilterRecord, inColumnBytes, 368, 4);
TM_CHECK_MEMBER(FilterRecord, outPlaneBytes, 380, 4);
TM_CHECK_MEMBER(FilterRecord, imageServicesProcs, 384, 8);
TM_CHECK_MEMBER(FilterRecord, propertyProcs, 392, 8);
TM_CHECK_MEMBER(FilterRecord, inTileHeight, 400, 2);
TM_CHECK_MEMBER(FilterRecord, maskTileOrigin, 428, 4);
TM_CHECK_MEMBER(FilterRecord, descriptorParameters, 432, 8);
TM_CHECK_MEMBER(FilterRecord, errorString, 440, 8);
TM_CHECK_MEMBER(FilterRecord, channelPortProcs, 448, 8);
TM_CHECK_MEMBER(FilterRecord, documentInfo, 456, 8);
TM_CHECK_MEMBER(FilterRecord, sSPBasic, 464, 8);
TM_CHECK_MEMBER(FilterRecord, plugInRef, 472, 8);
TM_CHECK_MEMBER(FilterRecord, depth, 480, 4);
TM_CHECK_MEMBER(FilterRecord, iCCprofileData, 484, 8);
TM_CHECK_MEMBER(FilterRecord, iCCprofileSize, 492, 4);
TM_CHECK_MEMBER(FilterRecord, canUseICCProfiles, 496, 4);
TM_CHECK_MEMBER(FilterRecord, hasImageScrap, 500, 4);
TM_CHECK_MEMBER(FilterRecord, bigDocumentData, 504, 8);
TM_CHECK_MEMBER(FilterRecord, input3DScene, 512, 8);
TM_CHECK_MEMBER(FilterRecord, output3DScene, 520, 8);
TM_CHECK_MEMBER(FilterRecord, createNewLayer, 528, 1);
TM_CHECK_MEMBER(FilterRecord, iCCWorkingProfileData, 532, 8);
TM_CHECK_MEMBER(FilterRecord, iCCWorkingProfileSize, 540, 4);
TM_CHECK_MEMBER(FilterRecord, bufferSpace64, 544, 8);
TM_CHECK_MEMBER(FilterRecord, maxSpace64, 552, 8);
TM_CHECK_MEMBER(FilterRecord, reserved, 560, 46);
TM_CHECK_SIZE(FilterRecord, 608);

TM_CHECK_MEMBER(BigDocumentStruct, PluginUsing32BitCoordinates, 0, 4);
TM_CHECK_MEMBER(BigDocumentStruct, imageSize32, 4, 8);
TM_CHECK_MEMBER(BigDocumentStruct, filterRect32, 12, 16);
TM_CHECK_MEMBER(BigDocumentStruct, inRect32, 28, 16);
TM_CHECK_MEMBER(BigDocumentStruct, outRect32, 44, 16);
TM_CHECK_MEMBER(BigDocumentStruct, maskRect32, 60, 16);
TM_CHECK_MEMBER(BigDocumentStruct, floatCoord32, 76, 8);
TM_CHECK_MEMBER(BigDocumentStruct, wholeSize32, 84, 8);
TM_CHECK_SIZE(BigDocumentStruct, 92);

TM_CHECK_MEMBER(AboutRecord, platformData, 0, 8);
TM_CHECK_MEMBER(AboutRecord, sSPBasic, 8, 8);
TM_CHECK_MEMBER(AboutRecord, plugInRef, 16, 8);
TM_CHECK_SIZE(AboutRecord, 272);

// The procedure tables have natural alignment: the first procedure follows
// the two int16 counts after four bytes of padding.
TM_CHECK_MEMBER(HandleProcs, handleProcsVersion, 0, 2);
TM_CHECK_MEMBER(HandleProcs, numHandleProcs, 2, 2);
TM_CHECK_MEMBER(HandleProcs, newProc, 8, 8);
TM_CHECK_MEMBER(HandleProcs, disposeProc, 16, 8);
TM_CHECK_MEMBER(HandleProcs, getSizeProc, 24, 8);
TM_CHECK_MEMBER(HandleProcs, setSizeProc, 32, 8);
TM_CHECK_MEMBER(HandleProcs, lockProc, 40, 8);
TM_CHECK_MEMBER(HandleProcs, unlockProc, 48, 8);
TM_CHECK_MEMBER(HandleProcs, recoverSpaceProc, 56, 8);
TM_CHECK_MEMBER(HandleProcs, disposeRegularHandleProc, 64, 8);
TM_CHECK_SIZE(HandleProcs, 72);

TM_CHECK_MEMBER(BufferProcs, bufferProcsVersion, 0, 2);
TM_CHECK_MEMBER(BufferProcs, numBufferProcs, 2, 2);
TM_CHECK_MEMBER(BufferProcs, allocateProc, 8, 8);
TM_CHECK_MEMBER(BufferProcs, lockProc, 16, 8);
TM_CHECK_MEMBER(BufferProcs, unlockProc, 24, 8);
TM_CHECK_MEMBER(BufferProcs, freeProc, 32, 8);
TM_CHECK_MEMBER(BufferProcs, spaceProc, 40, 8);
TM_CHECK_SIZE(BufferProcs, 48);

TM_CHECK_MEMBER(PSPixelMap, version, 0, 4);
TM_CHECK_MEMBER(PSPixelMap, bounds, 4, 16);
TM_CHECK_MEMBER(PSPixelMap, imageMode, 20, 4);
TM_CHECK_MEMBER(PSPixelMap, rowBytes, 24, 4);
TM_CHECK_MEMBER(PSPixelMap, colBytes, 28, 4);
TM_CHECK_MEMBER(PSPixelMap, planeBytes, 32, 4);
TM_CHECK_MEMBER(PSPixelMap, baseAddr, 40, 8);
TM_CHECK_MEMBER(PSPixelMap, mat, 48, 8);
TM_CHECK_MEMBER(PSPixelMap, masks, 56, 8);
TM_CHECK_MEMBER(PSPixelMap, maskPhaseRow, 64, 4);
TM_CHECK_MEMBER(PSPixelMap, maskPhaseCol, 68, 4);
TM_CHECK_SIZE(PSPixelMap, 72);

TM_CHECK_MEMBER(ReadDescriptorProcs, readDescriptorProcsVersion, 0, 2);
TM_CHECK_MEMBER(ReadDescriptorProcs, numReadDescriptorProcs, 2, 2);
TM_CHECK_MEMBER(ReadDescriptorProcs, openReadDescriptorProc, 8, 8);
TM_CHECK_MEMBER(ReadDescriptorProcs, closeReadDescriptorProc, 16, 8);
TM_CHECK_MEMBER(ReadDescriptorProcs, getKeyProc, 24, 8);
TM_CHECK_MEMBER(ReadDescriptorProcs, getIntegerProc, 32, 8);
TM_CHECK_MEMBER(ReadDescriptorProcs, getFloatProc, 40, 8);

TM_CHECK_MEMBER(WriteDescriptorProcs, writeDescriptorProcsVersion, 0, 2);
TM_CHECK_MEMBER(WriteDescriptorProcs, numWriteDescriptorProcs, 2, 2);
TM_CHECK_MEMBER(WriteDescriptorProcs, openWriteDescriptorProc, 8, 8);
TM_CHECK_MEMBER(WriteDescriptorProcs, closeWriteDescriptorProc, 16, 8);
TM_CHECK_MEMBER(WriteDescriptorProcs, putIntegerProc, 24, 8);
TM_CHECK_MEMBER(WriteDescriptorProcs, putFloatProc, 32, 8);

TM_CHECK_MEMBER(PIDescriptorParameters, descriptorParametersVersion, 0, 2);
TM_CHECK_MEMBER(PIDescriptorParameters, playInfo, 2, 2);
TM_CHECK_MEMBER(PIDescriptorParameters, recordInfo, 4, 2);
TM_CHECK_MEMBER(PIDescriptorParameters, descriptor, 8, 8);
TM_CHECK_MEMBER(PIDescriptorParameters, writeDescriptorProcs, 16, 8);
TM_CHECK_MEMBER(PIDescriptorParameters, readDescriptorProcs, 24, 8);
TM_CHECK_SIZE(PIDescriptorParameters, 32);

TM_CHECK_MEMBER(SPBasicSuite, AcquireSuite, 0, 8);
TM_CHECK_MEMBER(SPBasicSuite, ReleaseSuite, 8, 8);
TM_CHECK_MEMBER(SPBasicSuite, Undefined, 48, 8);
TM_CHECK_SIZE(SPBasicSuite, 56);

TM_CHECK_MEMBER(PSDescriptorRegistryProcs, Register, 0, 8);
TM_CHECK_MEMBER(PSDescriptorRegistryProcs, Erase, 8, 8);
TM_CHECK_MEMBER(PSDescriptorRegistryProcs, Get, 16, 8);
TM_CHECK_SIZE(PSDescriptorRegistryProcs, 24);

// Nine slots come before PutInteger, thirteen puts before GetInteger.
TM_CHECK_MEMBER(PSActionDescriptorProcs, Make, 0, 8);
TM_CHECK_MEMBER(PSActionDescriptorProcs, Free, 8, 8);
TM_CHECK_MEMBER(PSActionDescriptorProcs, PutInteger, 72, 8);
TM_CHECK_MEMBER(PSActionDescriptorProcs, PutFloat, 80, 8);
TM_CHECK_MEMBER(PSActionDescriptorProcs, GetInteger, 176, 8);
TM_CHECK_MEMBER(PSActionDescriptorProcs, GetFloat, 184, 8);
TM_CHECK_SIZE(PSActionDescriptorProcs, 192);

#endif
