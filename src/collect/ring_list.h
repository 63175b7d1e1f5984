// The program's one container: an intrusive, circular, doubly linked list with a
// sentinel head. Every element begins with a ring_node; every node also points to the
// head of the list it is on. The list never allocates or frees.
#ifndef TELINV_RING_LIST_H
#define TELINV_RING_LIST_H

#include <cstdint>

struct ring_node {
    ring_node *next;
    ring_node *prev;
    ring_node *owner;
};

// A search callback reports a match with 0; user is the caller's value.
typedef int (*ring_match_fn)(ring_node *element, intptr_t user);
// A comparison: negative when a sorts before b.
typedef int (*ring_compare_fn)(ring_node *a, ring_node *b);
typedef int (*ring_visit_fn)(ring_node *element);

ring_node *ring_init(ring_node *head);
void ring_insert_before(ring_node *position, ring_node *element);
void ring_insert_after(ring_node *position, ring_node *element);
void ring_insert_sorted(ring_node *head, ring_node *element, ring_compare_fn compare);
ring_node *ring_unlink(ring_node *element);
ring_node *ring_pop_first(ring_node *head);
ring_node *ring_pop_last(ring_node *head);
int ring_count(const ring_node *head);
ring_node *ring_find(ring_node *head, ring_match_fn match, intptr_t user);
ring_node *ring_find_next(ring_node *element, ring_match_fn match, intptr_t user);
ring_node *ring_find_last(ring_node *head, ring_match_fn match, intptr_t user);
ring_node *ring_for_each(ring_node *head, ring_visit_fn visit);

#endif
