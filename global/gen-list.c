/* CGenList: the doubly linked list of untyped data pointers of the C layers.
 * Nodes come from the C library (never from the tracing allocator, whose
 * block list is itself a CGenList). */
#include "gen-list.h"

#include <stddef.h>
#include <stdlib.h>

#include "support-internal.h"

static uint32_t Construct(CGenList* list, uint32_t ownsData, CGenListDataDestructor destructor,
                          uint32_t zeroFill) {
    CGenListNodeInit(&list->head, NULL, &list->tail, NULL);
    CGenListNodeInit(&list->tail, &list->head, NULL, NULL);
    list->pHead = &list->head;
    list->pTail = &list->tail;
    list->bZeroFillNodes = zeroFill;
    list->uCount = 0;
    list->bOwnsData = ownsData;
    list->pfnDestructor = destructor;
    return 1;
}

uint32_t CGenListConstruct(CGenList* list, uint32_t ownsData, CGenListDataDestructor destructor) {
    return Construct(list, ownsData, destructor, 1);
}

uint32_t CGenListConstructForMemTracing(CGenList* list, uint32_t ownsData,
                                        CGenListDataDestructor destructor) {
    return Construct(list, ownsData, destructor, 0);
}

uint32_t CGenListPushBack(CGenList* list, void* data) {
    if (list->pHead == NULL) {
        return 0;
    }
    CGenListNode* node = list->bZeroFillNodes ? Velk_I_Calloc(1, sizeof(CGenListNode))
                                              : Velk_I_Malloc(sizeof(CGenListNode));
    if (node == NULL) {
        return 0;
    }
    CGenListNode* last = list->tail.pPrev;
    CGenListNodeInit(node, last, &list->tail, data);
    last->pNext = node;
    list->tail.pPrev = node;
    list->uCount++;
    return 1;
}

CGenListIter CGenListErase(CGenList* list, CGenListIter it) {
    if (it == NULL || it->pNext == NULL) {
        /* The end iterator (or none): nothing to erase. */
        return it;
    }
    if (it->pPrev == NULL) {
        /* The head sentinel is not an element either. */
        return it->pNext;
    }
    CGenListIter next = it->pNext;
    it->pPrev->pNext = next;
    next->pPrev = it->pPrev;
    if (list->bOwnsData) {
        if (list->pfnDestructor != NULL) {
            list->pfnDestructor(it->pData);
        }
        free(it->pData);
    }
    free(it);
    list->uCount--;
    return next;
}

void CGenListClear(CGenList* list) {
    if (list->pHead == NULL) {
        return;
    }
    while (list->uCount > 0 && list->head.pNext != &list->tail) {
        CGenListErase(list, list->head.pNext);
    }
}

void CGenListDestruct(CGenList* list) {
    CGenListClear(list);
}

uint32_t CGenListGetCount(const CGenList* list) {
    return list->pHead == NULL ? 0 : list->uCount;
}

CGenListIter CGenListFind(const CGenList* list, CGenListCompare compare, const void* key) {
    if (list->pHead == NULL) {
        return NULL;
    }
    CGenListIter it = list->head.pNext;
    while (it->pNext != NULL && compare(it->pData, key) != 0) {
        it = it->pNext;
    }
    return it;
}

void CGenListIterInit(CGenListIter* it, const CGenList* list) {
    *it = list->pHead == NULL ? NULL : list->head.pNext;
}

uint32_t CGenListIterAtEnd(const CGenListIter* it) {
    return *it == NULL || (*it)->pNext == NULL;
}

void* CGenListIterGetData(const CGenListIter* it) {
    return *it == NULL ? NULL : (*it)->pData;
}

void CGenListIterAdv(CGenListIter* it) {
    if (*it != NULL && (*it)->pNext != NULL) {
        *it = (*it)->pNext;
    }
}

void CGenListNodeInit(CGenListNode* node, CGenListNode* prev, CGenListNode* next, void* data) {
    node->pPrev = prev;
    node->pNext = next;
    node->pData = data;
}
