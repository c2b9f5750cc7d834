// CGenList: order, erase (including the end iterator), ownership of data
// with and without a destructor, find, the iterator and the out-of-memory
// path of PushBack.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gen-list.h"
#include "test-common.h"

namespace {

using Texts = std::vector<std::string>;

Texts g_destroyed;

void RecordDestruction(void* data) {
    g_destroyed.emplace_back(static_cast<const char*>(data));
}

char* HeapText(const char* text) {
    char* copy = static_cast<char*>(std::malloc(std::strlen(text) + 1));
    std::strcpy(copy, text);
    return copy;
}

int CompareText(const void* data, const void* key) {
    return std::strcmp(static_cast<const char*>(data), static_cast<const char*>(key));
}

Texts Contents(const CGenList* list) {
    Texts texts;
    CGenListIter it;
    for (CGenListIterInit(&it, list); !CGenListIterAtEnd(&it); CGenListIterAdv(&it)) {
        texts.emplace_back(static_cast<const char*>(CGenListIterGetData(&it)));
    }
    return texts;
}

// A list of "a", "b", "c" that does not own its data.
class GenListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_destroyed.clear();
        ASSERT_EQ(1u, CGenListConstruct(&list, 0, nullptr));
        for (char* text : {a, b, c}) {
            ASSERT_EQ(1u, CGenListPushBack(&list, text));
        }
    }
    void TearDown() override {
        VelkInjectAllocFailure(-1);
        CGenListDestruct(&list);
    }
    CGenList list;
    char a[2] = "a", b[2] = "b", c[2] = "c";
};

TEST_F(GenListTest, PushBackKeepsOrder) {
    EXPECT_EQ(3u, CGenListGetCount(&list));
    EXPECT_EQ((Texts{"a", "b", "c"}), Contents(&list));
    EXPECT_EQ(&list.tail, list.tail.pPrev->pNext);
    EXPECT_EQ(c, list.tail.pPrev->pData);
    CGenList empty{};  // a zeroed list counts 0 and refuses to grow
    EXPECT_EQ(0u, CGenListGetCount(&empty));
    EXPECT_EQ(0u, CGenListPushBack(&empty, nullptr));
}

TEST_F(GenListTest, EraseReturnsTheFollowingNodeAndIgnoresTheEnd) {
    CGenListIter it;
    CGenListIterInit(&it, &list);
    CGenListIterAdv(&it);  // on "b"
    it = CGenListErase(&list, it);
    EXPECT_EQ(c, CGenListIterGetData(&it));
    EXPECT_EQ((Texts{"a", "c"}), Contents(&list));
    it = CGenListErase(&list, it);  // the last element
    EXPECT_EQ(1u, CGenListIterAtEnd(&it));
    CGenListIter end = list.pTail;
    EXPECT_EQ(end, CGenListErase(&list, end));
    EXPECT_EQ(1u, CGenListGetCount(&list));
    EXPECT_EQ((Texts{"a"}), Contents(&list));
    EXPECT_EQ(&list.head, list.tail.pPrev->pPrev);
}

TEST_F(GenListTest, OwnedDataIsDestroyedThenFreedOnClear) {
    CGenList owned;
    CGenListConstruct(&owned, 1, RecordDestruction);
    for (const char* text : {"one", "two", "three"}) {
        CGenListPushBack(&owned, HeapText(text));
    }
    CGenListClear(&owned);
    EXPECT_EQ(0u, CGenListGetCount(&owned));
    // The destructor sees each data pointer before it is freed (ASan checks
    // that every copy is freed exactly once).
    EXPECT_EQ((Texts{"one", "two", "three"}), g_destroyed);
    CGenListPushBack(&owned, HeapText("again"));  // the list stays usable
    CGenListDestruct(&owned);
    EXPECT_EQ(4u, g_destroyed.size());

    CGenList plain;  // owned without a destructor: just freed, NULL too
    CGenListConstructForMemTracing(&plain, 1, nullptr);
    CGenListPushBack(&plain, HeapText("freed by the list"));
    CGenListPushBack(&plain, nullptr);
    CGenListDestruct(&plain);
    EXPECT_EQ(0u, CGenListGetCount(&plain));
}

TEST_F(GenListTest, DataNotOwnedIsLeftUntouched) {
    CGenList borrowed;
    CGenListConstruct(&borrowed, 0, RecordDestruction);
    char stackText[] = "on the stack";  // freeing it would crash
    CGenListPushBack(&borrowed, stackText);
    CGenListPushBack(&borrowed, stackText);
    CGenListClear(&borrowed);
    EXPECT_EQ(0u, CGenListGetCount(&borrowed));
    EXPECT_TRUE(g_destroyed.empty());
}

TEST_F(GenListTest, FindReturnsTheFirstMatchOrTheEnd) {
    char second[] = "b";
    CGenListPushBack(&list, second);
    CGenListIter it = CGenListFind(&list, CompareText, "b");
    EXPECT_EQ(b, CGenListIterGetData(&it));  // the first of the two
    EXPECT_EQ(list.pTail, CGenListFind(&list, CompareText, "z"));
    CGenList empty;
    CGenListConstruct(&empty, 0, nullptr);
    EXPECT_EQ(empty.pTail, CGenListFind(&empty, CompareText, "a"));
}

TEST_F(GenListTest, IteratorDoesNotMovePastTheEnd) {
    CGenListIter it;
    CGenListIterInit(&it, &list);
    for (int i = 0; i < 5; ++i) {
        CGenListIterAdv(&it);
    }
    EXPECT_EQ(list.pTail, it);
    EXPECT_EQ(nullptr, CGenListIterGetData(&it));
}

TEST_F(GenListTest, PushBackFailureLeavesTheListUnchanged) {
    char d[] = "d";
    VelkInjectAllocFailure(0);
    EXPECT_EQ(0u, CGenListPushBack(&list, d));
    VelkInjectAllocFailure(-1);
    EXPECT_EQ(3u, CGenListGetCount(&list));
    EXPECT_EQ((Texts{"a", "b", "c"}), Contents(&list));
}

}  // namespace
