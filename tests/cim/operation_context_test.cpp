// OperationContext, IdentityContainer and the ResponseHandler base.
#include <Pegasus/Common/OperationContext.h>

#include <gtest/gtest.h>

#include <Pegasus/Common/ResponseHandler.h>

#include "TestHandlers.h"

PEGASUS_USING_PEGASUS;

namespace {

// A container of another kind, to check lookups by name and failed casts.
class TagContainer : virtual public OperationContext::Container {
  public:
    explicit TagContainer(const String& tag) : _tag(tag) {}
    String getName() const override { return "TagContainer"; }
    OperationContext::Container* clone() const override { return new TagContainer(_tag); }
    void destroy() override { delete this; }
    String tag() const { return _tag; }

  private:
    String _tag;
};

}  // namespace

TEST(OperationContext, GetSetInsertRemove) {
    OperationContext context;
    EXPECT_FALSE(context.contains(IdentityContainer::NAME));
    try {
        context.get(IdentityContainer::NAME);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.getMessage(), String("object not found"));
    }
    context.insert(IdentityContainer("alice"));
    EXPECT_THROW(context.insert(IdentityContainer("bob")), AlreadyExistsException);
    EXPECT_EQ(IdentityContainer(context.get(IdentityContainer::NAME)).getUserName(),
              String("alice"));
    context.set(IdentityContainer("bob"));
    context.set(TagContainer("t1"));
    EXPECT_EQ(IdentityContainer(context.get(IdentityContainer::NAME)).getUserName(), String("bob"));
    EXPECT_THROW(IdentityContainer(context.get("TagContainer")), DynamicCastFailedException);
    context.remove("TagContainer");
    EXPECT_FALSE(context.contains("TagContainer"));
    EXPECT_THROW(context.remove("TagContainer"), Exception);
    OperationContext copy;
    copy = context;  // copies hold their own containers
    context.clear();
    EXPECT_FALSE(context.contains(IdentityContainer::NAME));
    EXPECT_EQ(IdentityContainer(copy.get(IdentityContainer::NAME)).getUserName(), String("bob"));
}

TEST(ResponseHandler, ContextIsStoredAndHandlersShareOneBase) {
    velk_test::TestInstanceHandler handler;
    OperationContext context;
    context.insert(IdentityContainer("carol"));
    handler.setContext(context);
    OperationContext stored = handler.context();
    EXPECT_EQ(IdentityContainer(stored.get(IdentityContainer::NAME)).getUserName(),
              String("carol"));
    // Both base paths lead to the same ResponseHandler subobject.
    ResponseHandler* viaInterface = static_cast<InstanceResponseHandler*>(&handler);
    ResponseHandler* viaProtocol = static_cast<velk_test::HandlerProtocol*>(&handler);
    EXPECT_EQ(viaInterface, viaProtocol);
}

TEST(ResponseHandler, TestHandlersEnforceTheProtocol) {
    velk_test::TestInstanceHandler one(1);
    CIMInstance instance("C");
    EXPECT_THROW(one.deliver(instance), CIMException);  // before processing()
    one.processing();
    EXPECT_THROW(one.deliver(CIMInstance()), CIMException);
    one.deliver(instance);
    EXPECT_THROW(one.deliver(instance), CIMException);  // too many
    one.complete();
    EXPECT_THROW(one.deliver(instance), CIMException);  // after complete()

    velk_test::TestInstanceHandler none(1);
    none.processing();
    EXPECT_THROW(none.complete(), CIMException);  // too few

    velk_test::TestMethodResultHandler method;
    method.processing();
    EXPECT_THROW(method.deliver(CIMValue()), CIMException);
    EXPECT_THROW(method.deliverParamValue(CIMParamValue()), CIMException);
    method.deliver(CIMValue(Uint32(0)));
    method.complete();
    EXPECT_EQ(method.returnValues.size(), 1u);
}
