// Our host's side of the contract: it describes the document in the record
// as the real host does, offers the memory budget in both fields, and fails
// a selector call when the module reaches for a table slot it has no
// business calling. Stand-in modules here do exactly one thing each.
#include <cstring>

#include "HostTestSupport.h"

namespace {

FilterRecord gSeen{};
BigDocumentStruct gSeenBigDocument{};

// A module that only keeps a copy of what it was handed.
PluginModule RecordingModule() {
    PluginModule module;
    module.main = [](int16_t, void* block, intptr_t*, int16_t*) {
        gSeen = *static_cast<FilterRecord*>(block);
        if (gSeen.bigDocumentData != nullptr) gSeenBigDocument = *gSeen.bigDocumentData;
    };
    return module;
}

TEST(OurHost, DescribesTheDocumentAsTheRealHostDoes) {
    MiniHost host;
    host.document = MakeDocument(300, 200, 3, 32);
    ASSERT_EQ(CallSelector(host, RecordingModule(), filterSelectorPrepare), noErr);
    EXPECT_EQ(gSeen.hostSig, kPhotoshopSignature);
    EXPECT_EQ(gSeen.imageSize.v, 200);
    EXPECT_EQ(gSeen.imageSize.h, 300);
    EXPECT_EQ(gSeen.wholeSize.h, 300);
    EXPECT_EQ(gSeen.depth, 32);
    EXPECT_EQ(gSeen.imageMode, plugInModeRGB96);
    EXPECT_EQ(gSeen.filterCase, filterCaseFlatImageNoSelection);
    EXPECT_EQ(gSeenBigDocument.imageSize32.h, 300);
    EXPECT_EQ(gSeenBigDocument.wholeSize32.v, 200);
    EXPECT_EQ(gSeenBigDocument.filterRect32.right, 300);

    ASSERT_NE(gSeen.handleProcs, nullptr);
    EXPECT_EQ(gSeen.handleProcs->numHandleProcs, kCurrentHandleProcsCount);
    EXPECT_NE(gSeen.handleProcs->disposeRegularHandleProc, nullptr);  // every slot filled
    ASSERT_NE(gSeen.bufferProcs, nullptr);
    EXPECT_EQ(gSeen.bufferProcs->numBufferProcs, kCurrentBufferProcsCount);
    EXPECT_NE(gSeen.bufferProcs->spaceProc, nullptr);

    host.document.filterRect = VRect{10, 20, 100, 200};
    ASSERT_EQ(CallSelector(host, RecordingModule(), filterSelectorPrepare), noErr);
    EXPECT_EQ(gSeen.filterCase, filterCaseFlatImageWithSelection);
    EXPECT_EQ(gSeen.filterRect.left, 20);
}

TEST(OurHost, OffersItsBudgetInBothFieldsOrOnlyTheOldOne) {
    MiniHost current;
    current.document = MakeDocument(300, 200, 3, 32);
    current.maxSpace = int64_t(5) << 30;  // beyond the 32-bit field
    ASSERT_EQ(CallSelector(current, RecordingModule(), filterSelectorPrepare), noErr);
    EXPECT_EQ(gSeen.maxSpace, INT32_MAX);
    EXPECT_EQ(gSeen.maxSpace64, int64_t(5) << 30);

    MiniHost older;
    older.document = MakeDocument(300, 200, 3, 32);
    older.offerMaxSpace64 = false;
    ASSERT_EQ(CallSelector(older, RecordingModule(), filterSelectorPrepare), noErr);
    EXPECT_EQ(gSeen.maxSpace, 1 << 30);
    EXPECT_EQ(gSeen.maxSpace64, 0);
}

// Each stand-in module calls one slot that no module of this kind has
// business calling; the call fails whatever the module answers.
TEST(OurHost, FailsACallThatReachesForAForbiddenSlot) {
    using Main = void (*)(int16_t, void*, intptr_t*, int16_t*);
    const Main intruders[] = {
        [](int16_t, void* block, intptr_t*, int16_t*) {
            static_cast<FilterRecord*>(block)->handleProcs->getSizeProc(nullptr);
        },
        [](int16_t, void* block, intptr_t*, int16_t*) { static_cast<FilterRecord*>(block)->bufferProcs->spaceProc(); },
        [](int16_t, void* block, intptr_t*, int16_t*) {
            static_cast<FilterRecord*>(block)->sSPBasic->IsEqual("a", "a");
        },
        [](int16_t, void* block, intptr_t*, int16_t*) {
            SPBasicSuite* basic = static_cast<FilterRecord*>(block)->sSPBasic;
            const void* suite = nullptr;
            basic->AcquireSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion3, &suite);
            static_cast<const PSActionDescriptorProcs*>(suite)->Clear();
            basic->ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion3);
        },
        [](int16_t, void* block, intptr_t*, int16_t*) {
            SPBasicSuite* basic = static_cast<FilterRecord*>(block)->sSPBasic;
            const void* suite = nullptr;
            basic->AcquireSuite(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion1, &suite);
            static_cast<const PSDescriptorRegistryProcs*>(suite)->Erase("key");
            basic->ReleaseSuite(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion1);
        },
    };
    const char* slots[] = {"HandleProcs::getSizeProc", "BufferProcs::spaceProc", "SPBasicSuite::IsEqual",
                           "PSActionDescriptorProcs::Clear", "PSDescriptorRegistryProcs::Erase"};
    for (size_t i = 0; i < std::size(intruders); ++i) {
        MiniHost host;
        host.document = MakeDocument(300, 200, 3, 32);
        PluginModule module;
        module.main = intruders[i];
        EXPECT_EQ(CallSelector(host, module, filterSelectorStart), kForbiddenSlotCalled) << slots[i];
        EXPECT_EQ(host.forbiddenCalls, std::vector<std::string>{slots[i]});
        EXPECT_EQ(CallSelector(host, RecordingModule(), filterSelectorStart), noErr);  // the next call is clean
    }
}

}  // namespace
