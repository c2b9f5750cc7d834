// CIMOMHandle: forwarding to a host back end, the no-host failure and the unload hints.
#include <Pegasus/Provider/CIMOMHandle.h>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <Pegasus/Provider/CIMOMHandleBackend.h>

PEGASUS_USING_PEGASUS;

namespace {

// Records the calls and answers from a small in-memory set of instances.
class FakeBackend : public CIMOMHandleBackend {
  public:
    CIMInstance getInstance(const OperationContext&, const CIMNamespaceName& nameSpace,
                            const CIMObjectPath& instanceName, Boolean, Boolean, Boolean,
                            const CIMPropertyList&) override {
        lastNameSpace = nameSpace;
        for (Uint32 i = 0; i < instances.size(); i++) {
            if (instances[i].getPath() == instanceName)
                return instances[i];
        }
        throw CIMException(CIM_ERR_NOT_FOUND, instanceName.toString());
    }
    Array<CIMInstance> enumerateInstances(const OperationContext&, const CIMNamespaceName&,
                                          const CIMName& className, Boolean deepInheritance,
                                          Boolean, Boolean, Boolean,
                                          const CIMPropertyList&) override {
        lastDeep = deepInheritance;
        Array<CIMInstance> result;
        for (Uint32 i = 0; i < instances.size(); i++) {
            if (instances[i].getClassName() == className)
                result.append(instances[i]);
        }
        return result;
    }
    Array<CIMObjectPath> enumerateInstanceNames(const OperationContext& context,
                                                const CIMNamespaceName& nameSpace,
                                                const CIMName& className) override {
        Array<CIMInstance> found = enumerateInstances(context, nameSpace, className, true, false,
                                                      false, false, CIMPropertyList());
        Array<CIMObjectPath> paths;
        for (Uint32 i = 0; i < found.size(); i++)
            paths.append(found[i].getPath());
        return paths;
    }
    CIMValue invokeMethod(const OperationContext&, const CIMNamespaceName&, const CIMObjectPath&,
                          const CIMName& methodName, const Array<CIMParamValue>& in,
                          Array<CIMParamValue>& out) override {
        lastMethod = methodName;
        out.append(CIMParamValue("Echo", CIMValue(Uint32(in.size()))));
        return CIMValue(Uint32(0));
    }
    void disallowProviderUnload() override { disallowCalls++; }
    void allowProviderUnload() override { allowCalls++; }

    Array<CIMInstance> instances;
    CIMNamespaceName lastNameSpace;
    CIMName lastMethod;
    bool lastDeep = false;
    int disallowCalls = 0;
    int allowCalls = 0;
};

CIMInstance makeInstance(const char* id) {
    CIMInstance instance("VLK_Thing");
    instance.addProperty(CIMProperty("Id", String(id)));
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding("Id", id, CIMKeyBinding::STRING));
    instance.setPath(CIMObjectPath("", CIMNamespaceName(), "VLK_Thing", keys));
    return instance;
}

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

TEST(CIMOMHandle, ForwardsToTheBackend) {
    auto backend = std::make_shared<FakeBackend>();
    backend->instances.append(makeInstance("a"));
    backend->instances.append(makeInstance("b"));
    CIMOMHandle handle(backend);
    CIMOMHandle copy;
    copy = handle;
    OperationContext context;

    Array<CIMObjectPath> names = copy.enumerateInstanceNames(context, "root/korva", "vlk_thing");
    ASSERT_EQ(names.size(), 2u);
    CIMInstance b =
        copy.getInstance(context, "root/korva", names[1], false, false, false, CIMPropertyList());
    EXPECT_TRUE(b.identical(backend->instances[1]));
    EXPECT_TRUE(backend->lastNameSpace == CIMNamespaceName("root/korva"));
    EXPECT_EQ(handle
                  .enumerateInstances(context, "root", "VLK_Thing", false, false, false, false,
                                      CIMPropertyList())
                  .size(),
              2u);
    EXPECT_FALSE(backend->lastDeep);
    try {
        handle.getInstance(context, "root", CIMObjectPath("VLK_Thing.Id=\"zz\""), false, false,
                           false, CIMPropertyList());
        FAIL();
    } catch (const CIMException& e) {
        EXPECT_EQ(e.getCode(), CIM_ERR_NOT_FOUND);  // the back end's error comes through
    }
    Array<CIMParamValue> in, out;
    in.append(CIMParamValue("X", CIMValue(true)));
    in.append(CIMParamValue("Y", CIMValue(true)));
    CIMValue result = handle.invokeMethod(context, "root", names[0], "Run", in, out);
    EXPECT_TRUE(result == CIMValue(Uint32(0)));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].getValue() == CIMValue(Uint32(2)));
    EXPECT_TRUE(backend->lastMethod == CIMName("Run"));
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
