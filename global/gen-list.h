/* CGenList: a doubly linked list of untyped data pointers with a C interface.
 *
 * The head and tail sentinels live inside the structure, so a list must not be
 * copied or moved once constructed.  When the list owns its data, erasing an
 * element calls the optional destructor and then frees the data pointer. */
#ifndef VELK_GEN_LIST_H
#define VELK_GEN_LIST_H

#include <stdint.h>

#include "velk-export.h"

VELK_BEGIN_DECLS

typedef struct CGenListNode {
    struct CGenListNode* pPrev;
    struct CGenListNode* pNext;
    void* pData;
} CGenListNode;

typedef void (*CGenListDataDestructor)(void* data);
/* Returns 0 when data matches key. */
typedef int (*CGenListCompare)(const void* data, const void* key);

typedef struct CGenList {
    CGenListNode head;   /* sentinel before the first element */
    CGenListNode tail;   /* sentinel after the last element (the end iterator) */
    CGenListNode* pHead; /* &head once constructed; NULL in a zeroed list */
    CGenListNode* pTail; /* &tail once constructed */
    uint32_t bZeroFillNodes;
    uint32_t uCount;
    uint32_t bOwnsData;
    CGenListDataDestructor pfnDestructor;
} CGenList;

/* An iterator is one word: the node it stands on. */
typedef CGenListNode* CGenListIter;

uint32_t CGenListConstruct(CGenList* list, uint32_t ownsData, CGenListDataDestructor destructor);
uint32_t CGenListConstructForMemTracing(CGenList* list, uint32_t ownsData,
                                        CGenListDataDestructor destructor);
uint32_t CGenListPushBack(CGenList* list, void* data);
CGenListIter CGenListErase(CGenList* list, CGenListIter it);
void CGenListClear(CGenList* list);
void CGenListDestruct(CGenList* list);
uint32_t CGenListGetCount(const CGenList* list);
CGenListIter CGenListFind(const CGenList* list, CGenListCompare compare, const void* key);

void CGenListIterInit(CGenListIter* it, const CGenList* list);
uint32_t CGenListIterAtEnd(const CGenListIter* it);
void* CGenListIterGetData(const CGenListIter* it);
void CGenListIterAdv(CGenListIter* it);
void CGenListNodeInit(CGenListNode* node, CGenListNode* prev, CGenListNode* next, void* data);

VELK_END_DECLS

#endif
