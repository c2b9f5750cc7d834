// CIMInstance, CIMProperty, CIMObject, CIMParamValue and CIMPropertyList: validation, shared
// representation, clone and filtering.
#include <Pegasus/Common/CIMInstance.h>

#include <gtest/gtest.h>

#include <Pegasus/Common/CIMObject.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMPropertyList.h>

PEGASUS_USING_PEGASUS;

namespace {

String stringProperty(const CIMConstInstance& instance, const char* name) {
    Uint32 index = instance.findProperty(name);
    EXPECT_NE(index, PEG_NOT_FOUND) << name;
    String value;
    instance.getProperty(index).getValue().get(value);
    return value;
}

CIMInstance diskInstance() {
    CIMInstance instance("VLK_Disk");
    instance.addProperty(CIMProperty("DeviceID", String("sda")))
        .addProperty(CIMProperty("Size", Uint64(1024)))
        .addProperty(CIMProperty("Removable", false));
    return instance;
}

}  // namespace

TEST(CIMProperty, Validation) {
    EXPECT_THROW(CIMProperty(CIMName(), String("x")), UninitializedObjectException);
    Array<Uint8> three(3);
    EXPECT_NO_THROW(CIMProperty("A", CIMValue(three), 3));
    EXPECT_THROW(CIMProperty("A", CIMValue(three), 2), TypeMismatchException);
    EXPECT_THROW(CIMProperty("A", Uint8(1), 1), TypeMismatchException);
    Array<CIMObjectPath> refs;
    refs.append(CIMObjectPath("A"));
    EXPECT_THROW(CIMProperty("R", CIMValue(refs)), TypeMismatchException);
    EXPECT_THROW(CIMProperty("S", String("x"), 0, "A"), TypeMismatchException);

    CIMProperty p("N", Uint32(1));
    EXPECT_THROW(p.setValue(CIMValue(Uint64(2))), TypeMismatchException);
    EXPECT_THROW(p.setValue(CIMValue(String("2"))), TypeMismatchException);
    Array<Uint32> arr;
    EXPECT_THROW(p.setValue(CIMValue(arr)), TypeMismatchException);
    p.setValue(CIMValue(CIMTYPE_UINT32, false));  // a typed null is compatible
    EXPECT_TRUE(p.getValue().isNull());
    p.setValue(CIMValue(Uint32(9)));
    Uint32 x = 0;
    p.getValue().get(x);
    EXPECT_EQ(x, 9u);
}

TEST(CIMProperty, CopiesShareAndCloneSeparates) {
    CIMProperty a("N", Uint32(1));
    CIMProperty b(a);
    b.setValue(CIMValue(Uint32(2)));
    EXPECT_TRUE(a.getValue() == CIMValue(Uint32(2)));
    CIMConstProperty view(a);
    CIMProperty c = a.clone();
    c.setValue(CIMValue(Uint32(3)));
    EXPECT_TRUE(view.getValue() == CIMValue(Uint32(2)));
    EXPECT_TRUE(a.identical(view));
    EXPECT_FALSE(a.identical(c));
    EXPECT_TRUE(view.clone().identical(a));
}

TEST(CIMInstance, BuildAndFind) {
    CIMInstance instance = diskInstance();
    EXPECT_EQ(instance.getClassName().getString(), String("VLK_Disk"));
    EXPECT_EQ(instance.getPropertyCount(), 3u);
    EXPECT_EQ(instance.findProperty("size"), 1u);  // case-insensitive
    EXPECT_EQ(instance.findProperty("DEVICEID"), 0u);
    EXPECT_EQ(instance.findProperty("Missing"), PEG_NOT_FOUND);
    EXPECT_EQ(stringProperty(instance, "DeviceID"), String("sda"));
    EXPECT_THROW(instance.getProperty(3), IndexOutOfBoundsException);
    EXPECT_THROW(instance.removeProperty(3), IndexOutOfBoundsException);
    instance.removeProperty(1);
    EXPECT_EQ(instance.findProperty("Removable"), 1u);
}

TEST(CIMInstance, DuplicateAndUninitializedProperties) {
    CIMInstance instance = diskInstance();
    try {
        instance.addProperty(CIMProperty("deviceid", String("sdb")));
        FAIL();
    } catch (const AlreadyExistsException& e) {
        EXPECT_EQ(e.getMessage(), String("already exists: deviceid"));
    }
    EXPECT_THROW(instance.addProperty(CIMProperty()), UninitializedObjectException);
    EXPECT_EQ(instance.getPropertyCount(), 3u);
}

TEST(CIMInstance, UninitializedThrows) {
    CIMProperty p;
    EXPECT_THROW(p.getName(), UninitializedObjectException);
    EXPECT_THROW(p.setValue(CIMValue(true)), UninitializedObjectException);
    CIMInstance instance;
    EXPECT_TRUE(instance.isUninitialized());
    EXPECT_THROW(instance.getClassName(), UninitializedObjectException);
    EXPECT_THROW(instance.addProperty(CIMProperty("A", true)), UninitializedObjectException);
    EXPECT_TRUE(instance.clone().isUninitialized());
    const CIMName nullName;
    EXPECT_THROW(CIMInstance{nullName}, UninitializedObjectException);
}

TEST(CIMInstance, GetPropertyIsAHandleOntoTheInstance) {
    CIMInstance instance = diskInstance();
    instance.getProperty(instance.findProperty("DeviceID")).setValue(CIMValue(String("sdz")));
    EXPECT_EQ(stringProperty(instance, "DeviceID"), String("sdz"));
    // A property added to an instance stays shared with the caller's handle.
    CIMProperty added("Extra", String("1"));
    instance.addProperty(added);
    added.setValue(CIMValue(String("2")));
    EXPECT_EQ(stringProperty(instance, "Extra"), String("2"));
    // ...and cannot be renamed while it is there.
    EXPECT_THROW(added.setName("Other"), Exception);
    instance.removeProperty(instance.findProperty("Extra"));
    added.setName("Other");
    EXPECT_EQ(added.getName().getString(), String("Other"));
}

TEST(CIMInstance, CopiesShareAndCloneIsDeep) {
    CIMInstance original = diskInstance();
    CIMInstance alias = original;
    alias.getProperty(0).setValue(CIMValue(String("changed")));
    EXPECT_EQ(stringProperty(original, "DeviceID"), String("changed"));

    CIMInstance copy = original.clone();
    EXPECT_TRUE(copy.identical(original));
    copy.getProperty(0).setValue(CIMValue(String("clone")));
    copy.addProperty(CIMProperty("More", true));
    EXPECT_EQ(stringProperty(original, "DeviceID"), String("changed"));
    EXPECT_EQ(original.getPropertyCount(), 3u);
    EXPECT_FALSE(copy.identical(original));

    const CIMInstance& constView = original;
    CIMConstProperty p = constView.getProperty(0);
    EXPECT_EQ(p.getName().getString(), String("DeviceID"));
    CIMConstInstance readOnly(original);
    EXPECT_EQ(stringProperty(readOnly, "DeviceID"), String("changed"));
    EXPECT_TRUE(readOnly.clone().identical(original));
}

TEST(CIMInstance, IdenticalIgnoresPropertyOrder) {
    CIMInstance a("C"), b("c");
    a.addProperty(CIMProperty("X", Uint8(1))).addProperty(CIMProperty("Y", Uint8(2)));
    b.addProperty(CIMProperty("y", Uint8(2))).addProperty(CIMProperty("x", Uint8(1)));
    EXPECT_TRUE(a.identical(b));
    b.getProperty(0).setValue(CIMValue(Uint8(3)));
    EXPECT_FALSE(a.identical(b));
}

TEST(CIMInstance, PathRules) {
    CIMInstance instance("VLK_Disk");
    EXPECT_EQ(instance.getPath().toString(), String("VLK_Disk"));
    EXPECT_TRUE(instance.getPath().getKeyBindings().size() == 0);
    CIMObjectPath path("root/korva:vlk_disk.DeviceID=\"sda\"");
    instance.setPath(path);
    EXPECT_TRUE(instance.getPath() == path);
    EXPECT_EQ(instance.getPath().toString(), path.toString());  // stored as given
    EXPECT_THROW(instance.setPath(CIMObjectPath("Other.k=1")), TypeMismatchException);
    EXPECT_THROW(instance.setPath(CIMObjectPath()), UninitializedObjectException);
    // Keys are not derived from properties.
    CIMInstance keyed("K");
    keyed.addProperty(CIMProperty("Id", String("1")));
    EXPECT_EQ(keyed.getPath().getKeyBindings().size(), 0u);
}

TEST(CIMInstance, InstanceFilter) {
    CIMInstance instance = diskInstance();
    instance.getProperty(0).setClassOrigin("CIM_Base");
    Array<CIMName> names;
    names.append("deviceid");
    names.append("Removable");
    instance.instanceFilter(false, false, CIMPropertyList(names));
    EXPECT_EQ(instance.getPropertyCount(), 2u);
    EXPECT_EQ(instance.findProperty("Size"), PEG_NOT_FOUND);
    EXPECT_TRUE(instance.getProperty(0).getClassOrigin().isNull());
    instance.instanceFilter(false, true, CIMPropertyList());
    EXPECT_EQ(instance.getPropertyCount(), 2u);
    instance.instanceFilter(false, true, CIMPropertyList(Array<CIMName>()));
    EXPECT_EQ(instance.getPropertyCount(), 0u);
}

TEST(CIMObject, WrapsAnInstanceAndShares) {
    CIMInstance instance = diskInstance();
    CIMObject object(instance);
    EXPECT_TRUE(object.isInstance());
    EXPECT_FALSE(object.isClass());
    EXPECT_EQ(object.getClassName().getString(), String("VLK_Disk"));
    object.getProperty(0).setValue(CIMValue(String("viaObject")));
    EXPECT_EQ(stringProperty(instance, "DeviceID"), String("viaObject"));
    CIMInstance back(object);
    EXPECT_TRUE(back.identical(instance));
    EXPECT_EQ(object.toString(),
              String("instance of VLK_Disk { DeviceID = \"viaObject\"; Size = 1024; "
                     "Removable = FALSE; };"));
    CIMObject empty;
    EXPECT_TRUE(empty.isUninitialized());
    EXPECT_TRUE(CIMInstance(empty).isUninitialized());
    EXPECT_THROW(empty.getClassName(), UninitializedObjectException);
}

TEST(CIMPropertyList, NullEmptyAndMembership) {
    CIMPropertyList all;
    EXPECT_TRUE(all.isNull());
    EXPECT_TRUE(all.useThisProperty("Anything"));
    EXPECT_EQ(all.toString(), String("NULL"));
    Array<CIMName> names;
    names.append("A");
    names.append("b");
    CIMPropertyList some(names);
    EXPECT_TRUE(some.contains("a"));
    EXPECT_TRUE(some.useThisProperty("B"));
    EXPECT_FALSE(some.useThisProperty("C"));
    EXPECT_THROW(some[2], IndexOutOfBoundsException);
    EXPECT_EQ(some.toString(), String("A, b"));
    CIMPropertyList none{Array<CIMName>()};
    EXPECT_FALSE(none.isNull());
    EXPECT_FALSE(none.useThisProperty("A"));
    some.clear();
    EXPECT_TRUE(some.isNull());
}
