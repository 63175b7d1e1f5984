#include "collect/ring_list.h"

#include <cstddef>

ring_node *ring_init(ring_node *head)
{
    head->next = head;
    head->prev = head;
    head->owner = head;
    return head;
}
