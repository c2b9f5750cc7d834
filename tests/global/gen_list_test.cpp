// CGenList: construction, order, erase (including the end
// iterator), ownership of data with and without a destructor, find, the
// iterator and the out-of-memory path of PushBack.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gen-list.h"
#include "test-common.h"

namespace {

std::vector<std::string> g_destroyed;

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

std::vector<std::string> Contents(const CGenList* list) {
    std::vector<std::string> texts;
    CGenListIter it;
    for (CGenListIterInit(&it, list); !CGenListIterAtEnd(&it); CGenListIterAdv(&it)) {
        texts.emplace_back(static_cast<const char*>(CGenListIterGetData(&it)));
    }
    return texts;
}

class GenListTest : public ::testing::Test {
  protected:
    void SetUp() override { g_destroyed.clear(); }
    void TearDown() override { VelkInjectAllocFailure(-1); }
};

TEST_F(GenListTest, ConstructedListIsEmptyAndLinked) {
    CGenList list;
    ASSERT_EQ(1u, CGenListConstruct(&list, 0, nullptr));
    EXPECT_EQ(0u, CGenListGetCount(&list));
    EXPECT_EQ(&list.head, list.pHead);
    EXPECT_EQ(&list.tail, list.pTail);
    EXPECT_EQ(&list.tail, list.head.pNext);
    EXPECT_EQ(&list.head, list.tail.pPrev);
    EXPECT_EQ(nullptr, list.head.pPrev);
    EXPECT_EQ(nullptr, list.tail.pNext);
    EXPECT_EQ(1u, list.bZeroFillNodes);
    CGenListIter it;
    CGenListIterInit(&it, &list);
    EXPECT_EQ(&list.tail, it);
    EXPECT_EQ(1u, CGenListIterAtEnd(&it));
    CGenListDestruct(&list);
}

TEST_F(GenListTest, MemTracingFormDoesNotZeroFillNodes) {
    CGenList list;
    ASSERT_EQ(1u, CGenListConstructForMemTracing(&list, 1, nullptr));
    EXPECT_EQ(0u, list.bZeroFillNodes);
    EXPECT_EQ(1u, list.bOwnsData);
    ASSERT_EQ(1u, CGenListPushBack(&list, HeapText("x")));
    EXPECT_EQ(1u, CGenListGetCount(&list));
    CGenListDestruct(&list);
    EXPECT_EQ(0u, CGenListGetCount(&list));
}

TEST_F(GenListTest, ZeroedListHasCountZero) {
    CGenList list{};
    EXPECT_EQ(0u, CGenListGetCount(&list));
    CGenListClear(&list);  // harmless
    EXPECT_EQ(0u, CGenListPushBack(&list, nullptr));
}

TEST_F(GenListTest, PushBackKeepsOrder) {
    CGenList list;
    CGenListConstruct(&list, 0, nullptr);
    char a[] = "a", b[] = "b", c[] = "c";
    ASSERT_EQ(1u, CGenListPushBack(&list, a));
    ASSERT_EQ(1u, CGenListPushBack(&list, b));
    ASSERT_EQ(1u, CGenListPushBack(&list, c));
    EXPECT_EQ(3u, CGenListGetCount(&list));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), Contents(&list));
    EXPECT_EQ(&list.tail, list.tail.pPrev->pNext);
    EXPECT_EQ(c, list.tail.pPrev->pData);
    CGenListDestruct(&list);
}

TEST_F(GenListTest, EraseReturnsTheFollowingNode) {
    CGenList list;
    CGenListConstruct(&list, 0, nullptr);
    char a[] = "a", b[] = "b", c[] = "c";
    CGenListPushBack(&list, a);
    CGenListPushBack(&list, b);
    CGenListPushBack(&list, c);
    CGenListIter it;
    CGenListIterInit(&it, &list);
    CGenListIterAdv(&it);  // on "b"
    it = CGenListErase(&list, it);
    EXPECT_EQ(c, CGenListIterGetData(&it));
    EXPECT_EQ(2u, CGenListGetCount(&list));
    EXPECT_EQ((std::vector<std::string>{"a", "c"}), Contents(&list));
    it = CGenListErase(&list, it);  // the last element
    EXPECT_EQ(1u, CGenListIterAtEnd(&it));
    EXPECT_EQ((std::vector<std::string>{"a"}), Contents(&list));
    CGenListDestruct(&list);
}

TEST_F(GenListTest, ErasingTheEndIteratorChangesNothing) {
    CGenList list;
    CGenListConstruct(&list, 1, RecordDestruction);
    CGenListPushBack(&list, HeapText("only"));
    CGenListIter end = list.pTail;
    CGenListIter result = CGenListErase(&list, end);
    EXPECT_EQ(end, result);
    EXPECT_EQ(1u, CGenListGetCount(&list));
    EXPECT_TRUE(g_destroyed.empty());
    EXPECT_EQ((std::vector<std::string>{"only"}), Contents(&list));
    EXPECT_EQ(&list.head, list.tail.pPrev->pPrev);
    CGenListDestruct(&list);
}

TEST_F(GenListTest, OwnedDataIsDestroyedThenFreedOnClear) {
    CGenList list;
    CGenListConstruct(&list, 1, RecordDestruction);
    CGenListPushBack(&list, HeapText("one"));
    CGenListPushBack(&list, HeapText("two"));
    CGenListPushBack(&list, HeapText("three"));
    CGenListClear(&list);
    EXPECT_EQ(0u, CGenListGetCount(&list));
    // The destructor sees each data pointer before it is freed (ASan checks
    // that every copy is freed exactly once).
    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), g_destroyed);
    // The list stays usable.
    CGenListPushBack(&list, HeapText("again"));
    EXPECT_EQ(1u, CGenListGetCount(&list));
    CGenListDestruct(&list);
    EXPECT_EQ(4u, g_destroyed.size());
}

TEST_F(GenListTest, OwnedDataWithoutDestructorIsFreed) {
    CGenList list;
    CGenListConstruct(&list, 1, nullptr);
    CGenListPushBack(&list, HeapText("freed by the list"));
    CGenListPushBack(&list, nullptr);  // free(NULL) is fine
    CGenListDestruct(&list);
    EXPECT_EQ(0u, CGenListGetCount(&list));
}

TEST_F(GenListTest, DataNotOwnedIsLeftUntouched) {
    CGenList list;
    CGenListConstruct(&list, 0, RecordDestruction);
    char stackText[] = "on the stack";  // freeing it would crash
    CGenListPushBack(&list, stackText);
    CGenListPushBack(&list, stackText);
    CGenListClear(&list);
    EXPECT_EQ(0u, CGenListGetCount(&list));
    EXPECT_TRUE(g_destroyed.empty());
    EXPECT_STREQ("on the stack", stackText);
}

TEST_F(GenListTest, FindReturnsTheFirstMatchOrTheEnd) {
    CGenList list;
    CGenListConstruct(&list, 1, nullptr);
    CGenListPushBack(&list, HeapText("alpha"));
    CGenListPushBack(&list, HeapText("beta"));
    CGenListPushBack(&list, HeapText("beta"));
    CGenListIter it = CGenListFind(&list, CompareText, "beta");
    ASSERT_EQ(0u, CGenListIterAtEnd(&it));
    EXPECT_STREQ("beta", static_cast<const char*>(CGenListIterGetData(&it)));
    EXPECT_EQ(list.head.pNext->pNext, it);  // the first of the two
    it = CGenListFind(&list, CompareText, "gamma");
    EXPECT_EQ(list.pTail, it);
    EXPECT_EQ(1u, CGenListIterAtEnd(&it));
    CGenList empty;
    CGenListConstruct(&empty, 0, nullptr);
    EXPECT_EQ(empty.pTail, CGenListFind(&empty, CompareText, "alpha"));
    CGenListDestruct(&list);
}

TEST_F(GenListTest, IteratorDoesNotMovePastTheEnd) {
    CGenList list;
    CGenListConstruct(&list, 0, nullptr);
    char a[] = "a";
    CGenListPushBack(&list, a);
    CGenListIter it;
    CGenListIterInit(&it, &list);
    CGenListIterAdv(&it);
    EXPECT_EQ(1u, CGenListIterAtEnd(&it));
    CGenListIterAdv(&it);
    CGenListIterAdv(&it);
    EXPECT_EQ(list.pTail, it);
    EXPECT_EQ(nullptr, CGenListIterGetData(&it));
    CGenListDestruct(&list);
}

TEST_F(GenListTest, PushBackFailureLeavesTheListUnchanged) {
    CGenList list;
    CGenListConstruct(&list, 0, nullptr);
    char a[] = "a", b[] = "b";
    ASSERT_EQ(1u, CGenListPushBack(&list, a));
    VelkInjectAllocFailure(0);
    EXPECT_EQ(0u, CGenListPushBack(&list, b));
    VelkInjectAllocFailure(-1);
    EXPECT_EQ(1u, CGenListGetCount(&list));
    EXPECT_EQ((std::vector<std::string>{"a"}), Contents(&list));
    CGenListDestruct(&list);
}

TEST_F(GenListTest, NodeInitFillsThreeWords) {
    CGenListNode node;
    CGenListNode prev;
    CGenListNode next;
    int data = 0;
    CGenListNodeInit(&node, &prev, &next, &data);
    EXPECT_EQ(&prev, node.pPrev);
    EXPECT_EQ(&next, node.pNext);
    EXPECT_EQ(&data, node.pData);
}

}  // namespace
