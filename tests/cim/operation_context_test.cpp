// OperationContext and IdentityContainer.
#include <Pegasus/Common/OperationContext.h>

#include <gtest/gtest.h>

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
