#include "collect/ring_list.h"

#include <cstddef>

ring_node *ring_init(ring_node *head)
{
    head->next = head;
    head->prev = head;
    head->owner = head;
    return head;
}

void ring_insert_before(ring_node *position, ring_node *element)
{
    element->next = position;
    element->prev = position->prev;
    element->owner = position->owner;
    position->prev->next = element;
    position->prev = element;
}

void ring_insert_after(ring_node *position, ring_node *element)
{
    element->next = position->next;
    element->prev = position;
    element->owner = position->owner;
    position->next->prev = element;
    position->next = element;
}

void ring_insert_sorted(ring_node *head, ring_node *element, ring_compare_fn compare)
{
    ring_node *current = head->next;
    // Equal elements go behind those already there, so they keep the insertion order.
    while (current != head && compare(element, current) >= 0)
        current = current->next;
    ring_insert_before(current, element);
}

ring_node *ring_unlink(ring_node *element)
{
    if (element->next == nullptr || element->next == element)
        return nullptr;
    element->prev->next = element->next;
    element->next->prev = element->prev;
    element->next = element;
    return element;
}

ring_node *ring_pop_first(ring_node *head)
{
    ring_node *first = head->next;
    if (first == nullptr || first == head)
        return nullptr;
    head->next = first->next;
    first->next->prev = head;
    return first;
}

ring_node *ring_pop_last(ring_node *head)
{
    ring_node *last = head->prev;
    if (head->next == nullptr || last == nullptr || last == head)
        return nullptr;
    head->prev = last->prev;
    last->prev->next = head;
    return last;
}

int ring_count(const ring_node *head)
{
    if (head->next == nullptr)
        return 0;
    int n = 0;
    for (const ring_node *e = head->next; e != head; e = e->next)
        n++;
    return n;
}

// Walks from first along next until stop, reading each element's next before the
// callback runs, so the callback may unlink the element it is given.
static ring_node *find_forward(ring_node *first, ring_node *stop, ring_match_fn match, intptr_t user)
{
    for (ring_node *e = first; e != nullptr && e != stop;) {
        ring_node *following = e->next;
        if (match(e, user) == 0)
            return e;
        e = following;
    }
    return nullptr;
}

ring_node *ring_find(ring_node *head, ring_match_fn match, intptr_t user)
{
    if (head->next == nullptr)
        return nullptr;
    return find_forward(head->next, head, match, user);
}

ring_node *ring_find_next(ring_node *element, ring_match_fn match, intptr_t user)
{
    if (element->next == nullptr)
        return nullptr;
    return find_forward(element->next, element->owner, match, user);
}

ring_node *ring_find_last(ring_node *head, ring_match_fn match, intptr_t user)
{
    if (head->next == nullptr || head->prev == nullptr)
        return nullptr;
    for (ring_node *e = head->prev; e != head;) {
        ring_node *preceding = e->prev;
        if (match(e, user) == 0)
            return e;
        e = preceding;
    }
    return nullptr;
}

ring_node *ring_for_each(ring_node *head, ring_visit_fn visit)
{
    if (head->next == nullptr)
        return nullptr;
    for (ring_node *e = head->next; e != head;) {
        ring_node *following = e->next;
        visit(e);
        e = following;
    }
    return head;
}
