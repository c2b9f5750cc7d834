// CIMOMHandle: forwarding to a host back end, the no-host failure and the unload hints.
#include <Pegasus/Provider/CIMOMHandle.h>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <Pegasus/Provider/CIMOMHandleBackend.h>

PEGASUS_USING_PEGASUS;

namespace {

// Answers every operation from one instance and counts the unload transitions.
class FakeBackend : public CIMOMHandleBackend {
  public:
    CIMInstance getInstance(const OperationContext&, const CIMNamespaceName&, const CIMObjectPath&,
                            Boolean, Boolean, Boolean, const CIMPropertyList&) override {
        throw CIMException(CIM_ERR_NOT_FOUND, "gone");
    }
    Array<CIMInstance> enumerateInstances(const OperationContext&, const CIMNamespaceName&,
                                          const CIMName& className, Boolean, Boolean, Boolean,
                                          Boolean, const CIMPropertyList&) override {
        return Array<CIMInstance>(1, CIMInstance(className));
    }
    Array<CIMObjectPath> enumerateInstanceNames(const OperationContext&,
                                                const CIMNamespaceName& nameSpace,
                                                const CIMName& className) override {
        return Array<CIMObjectPath>(1, CIMObjectPath("", nameSpace, className));
    }
    CIMValue invokeMethod(const OperationContext&, const CIMNamespaceName&, const CIMObjectPath&,
                          const CIMName&, const Array<CIMParamValue>& in,
                          Array<CIMParamValue>& out) override {
        out.append(CIMParamValue("Echo", CIMValue(Uint32(in.size()))));
        return CIMValue(Uint32(0));
    }
    void disallowProviderUnload() override { disallowCalls++; }
    void allowProviderUnload() override { allowCalls++; }

    int disallowCalls = 0;
    int allowCalls = 0;
};

}  // namespace

TEST(CIMOMHandle, WithoutHostOperationsFail) {
    CIMOMHandle handle;
    OperationContext context;
    try {
        handle.enumerateInstanceNames(context, "root/korva", "VLK_Thing");
        FAIL();
    } catch (const CIMException&) {
        FAIL() << "a CIM status for a server that cannot be reached";
    } catch (const Exception& e) {
        EXPECT_EQ(e.getMessage(), String("Cannot connect to local CIM server. Connection failed."));
    }
    EXPECT_THROW(handle.getInstance(context, "root", CIMObjectPath("C"), false, false, false,
                                    CIMPropertyList()),
                 Exception);
    EXPECT_THROW(handle.enumerateInstances(context, "root", "C", true, false, false, false,
                                           CIMPropertyList()),
                 Exception);
    Array<CIMParamValue> out;
    EXPECT_THROW(
        handle.invokeMethod(context, "root", CIMObjectPath("C"), "M", Array<CIMParamValue>(), out),
        Exception);
}

TEST(CIMOMHandle, UnloadHintsCountAndNeverGoBelowZero) {
    CIMOMHandle handle;
    handle.allowProviderUnload();
    EXPECT_EQ(CIMOMHandleBackend::getUnloadHintCount(handle), 0u);
    handle.disallowProviderUnload();
    handle.disallowProviderUnload();
    CIMOMHandle copy(handle);  // copies share the counter
    EXPECT_EQ(CIMOMHandleBackend::getUnloadHintCount(copy), 2u);
    copy.allowProviderUnload();
    copy.allowProviderUnload();
    copy.allowProviderUnload();
    EXPECT_EQ(CIMOMHandleBackend::getUnloadHintCount(handle), 0u);
}

TEST(CIMOMHandle, CopiesReachTheBackend) {
    auto backend = std::make_shared<FakeBackend>();
    CIMOMHandle copy;
    copy = CIMOMHandle(backend);
    OperationContext context;
    Array<CIMObjectPath> names = copy.enumerateInstanceNames(context, "root/korva", "VLK_Thing");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].getNameSpace() == CIMNamespaceName("root/korva"));
    try {
        copy.getInstance(context, "root", names[0], false, false, false, CIMPropertyList());
        FAIL();
    } catch (const CIMException& e) {
        EXPECT_EQ(e.getCode(), CIM_ERR_NOT_FOUND);  // the back end's error comes through
    }
    Array<CIMParamValue> in(2, CIMParamValue("X", CIMValue(true))), out;
    EXPECT_TRUE(copy.invokeMethod(context, "root", names[0], "Run", in, out) ==
                CIMValue(Uint32(0)));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].getValue() == CIMValue(Uint32(2)));
}

TEST(CIMOMHandle, BackendSeesOnlyBalancedUnloadTransitions) {
    auto backend = std::make_shared<FakeBackend>();
    CIMOMHandle handle(backend);
    handle.allowProviderUnload();  // nothing outstanding: ignored
    handle.disallowProviderUnload();
    handle.disallowProviderUnload();
    EXPECT_EQ(backend->disallowCalls, 1);
    handle.allowProviderUnload();
    EXPECT_EQ(backend->allowCalls, 0);
    handle.allowProviderUnload();
    EXPECT_EQ(backend->allowCalls, 1);
    EXPECT_EQ(CIMOMHandleBackend::getUnloadHintCount(handle), 0u);
}

TEST(CIMOMHandle, HintsFromManyThreadsBalance) {
    CIMOMHandle handle;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([handle]() mutable {
            for (int i = 0; i < 1000; i++) {
                handle.disallowProviderUnload();
                handle.allowProviderUnload();
            }
            handle.disallowProviderUnload();
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(CIMOMHandleBackend::getUnloadHintCount(handle), 4u);
}
