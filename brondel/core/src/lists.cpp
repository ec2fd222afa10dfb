// Doubly linked lists (the head overlays two nodes) and simple lists with back links.
#include "fwstate.h"

void BrNewList(br_list *list)
{
    list->_null = nullptr;
    list->head = (br_node *)&list->_null;
    list->tail = (br_node *)&list->head;
}

void BrAddHead(br_list *list, br_node *node)
{
    node->next = list->head;
    node->prev = (br_node *)&list->head;
    list->head->prev = node;
    list->head = node;
}

void BrAddTail(br_list *list, br_node *node)
{
    node->next = (br_node *)&list->_null;
    node->prev = list->tail;
    list->tail->next = node;
    list->tail = node;
}

br_node *BrRemHead(br_list *list)
{
    br_node *node = list->head;
    if (node->next == nullptr)
        return nullptr;
    return BrRemove(node);
}

br_node *BrRemTail(br_list *list)
{
    br_node *node = list->tail;
    if (node->prev == nullptr)
        return nullptr;
    return BrRemove(node);
}

void BrInsert(br_list *list, br_node *here, br_node *node)
{
    node->prev = here;
    node->next = here->next;
    here->next->prev = node;
    here->next = node;
}

br_node *BrRemove(br_node *node)
{
    node->next->prev = node->prev;
    node->prev->next = node->next;
    return node;
}

void BrSimpleNewList(br_simple_list *list)
{
    list->head = nullptr;
}

void BrSimpleAddHead(br_simple_list *list, br_simple_node *node)
{
    node->next = list->head;
    node->prev = &list->head;
    if (node->next != nullptr)
        node->next->prev = &node->next;
    list->head = node;
}

br_simple_node *BrSimpleRemHead(br_simple_list *list)
{
    br_simple_node *node = list->head;
    if (node != nullptr)
        BrSimpleRemove(node);
    return node;
}

void BrSimpleInsert(br_simple_list *list, br_simple_node *here, br_simple_node *node)
{
    node->next = here->next;
    node->prev = &here->next;
    if (node->next != nullptr)
        node->next->prev = &node->next;
    here->next = node;
}

br_simple_node *BrSimpleRemove(br_simple_node *node)
{
    *node->prev = node->next;
    if (node->next != nullptr)
        node->next->prev = node->prev;
    node->next = nullptr;
    node->prev = nullptr;
    return node;
}
