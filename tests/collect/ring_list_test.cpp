// The ring list: order, unlinking, searches that unlink, and the all-zero head.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "collect/ring_list.h"

namespace {

struct item {
    ring_node links;
    char key;
    int serial;
};

item make(char key, int serial = 0)
{
    item i;
    std::memset(&i.links, 0, sizeof i.links);
    i.key = key;
    i.serial = serial;
    return i;
}

item *as_item(ring_node *n)
{
    return reinterpret_cast<item *>(n);
}

// The keys from head.next to the head, checking every link on the way.
std::string keys(ring_node *head)
{
    std::string out;
    for (ring_node *n = head->next; n != head; n = n->next) {
        EXPECT_EQ(n->next->prev, n);
        EXPECT_EQ(n->prev->next, n);
        EXPECT_EQ(n->owner, head);
        out += as_item(n)->key;
    }
    return out;
}

int by_key(ring_node *a, ring_node *b)
{
    return as_item(a)->key - as_item(b)->key;
}

int key_is(ring_node *n, intptr_t key)
{
    return as_item(n)->key == static_cast<char>(key) ? 0 : 1;
}

int visits = 0;
std::string visited;
int visit(ring_node *n)
{
    visits++;
    visited += as_item(n)->key;
    return 1;
}

int unlink_and_match_none(ring_node *n, intptr_t)
{
    ring_unlink(n);
    return 1;
}

} // namespace

TEST(RingList, EmptyAndAllZeroHeads)
{
    ring_node head;
    EXPECT_EQ(ring_init(&head), &head);
    EXPECT_EQ(head.next, &head);
    EXPECT_EQ(head.prev, &head);
    EXPECT_EQ(head.owner, &head);
    EXPECT_EQ(ring_count(&head), 0);
    EXPECT_EQ(ring_pop_first(&head), nullptr);
    EXPECT_EQ(ring_pop_last(&head), nullptr);
    EXPECT_EQ(ring_unlink(&head), nullptr);
    EXPECT_EQ(ring_find(&head, key_is, 'a'), nullptr);
    EXPECT_EQ(ring_find_last(&head, key_is, 'a'), nullptr);
    visits = 0;
    EXPECT_EQ(ring_for_each(&head, visit), &head);
    EXPECT_EQ(visits, 0);

    ring_node zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(ring_count(&zero), 0);
    EXPECT_EQ(ring_find(&zero, key_is, 'a'), nullptr);
    EXPECT_EQ(ring_find_next(&zero, key_is, 'a'), nullptr);
    EXPECT_EQ(ring_find_last(&zero, key_is, 'a'), nullptr);
    EXPECT_EQ(ring_pop_first(&zero), nullptr);
    EXPECT_EQ(ring_pop_last(&zero), nullptr);
    EXPECT_EQ(ring_unlink(&zero), nullptr);
    EXPECT_EQ(ring_for_each(&zero, visit), nullptr);
    EXPECT_EQ(visits, 0);
    // Nothing was written into the zero head.
    EXPECT_EQ(zero.next, nullptr);
    EXPECT_EQ(zero.prev, nullptr);
    EXPECT_EQ(zero.owner, nullptr);
}

TEST(RingList, InsertBeforeAndAfter)
{
    ring_node head;
    ring_init(&head);
    item a = make('a'), b = make('b'), c = make('c'), x = make('x'), y = make('y'), z = make('z');
    ring_insert_before(&head, &a.links);
    ring_insert_before(&head, &b.links);
    ring_insert_before(&head, &c.links);
    EXPECT_EQ(keys(&head), "abc");
    EXPECT_EQ(ring_count(&head), 3);
    ring_insert_after(&head, &x.links); // becomes the first
    ring_insert_after(&b.links, &y.links);
    ring_insert_before(&a.links, &z.links);
    EXPECT_EQ(keys(&head), "xzabyc");
    EXPECT_EQ(head.prev, &c.links);
    EXPECT_EQ(ring_count(&head), 6);
}

TEST(RingList, SortedInsertKeepsEqualElementsInOrder)
{
    ring_node head;
    ring_init(&head);
    item b1 = make('b', 1), a = make('a'), b2 = make('b', 2), c = make('c'), d = make('d'), a0 = make('a', 9);
    ring_insert_sorted(&head, &b1.links, by_key);
    ring_insert_sorted(&head, &a.links, by_key);
    ring_insert_sorted(&head, &b2.links, by_key);
    ring_insert_sorted(&head, &c.links, by_key);
    EXPECT_EQ(keys(&head), "abbc");
    EXPECT_EQ(as_item(a.links.next)->serial, 1);
    EXPECT_EQ(as_item(b1.links.next)->serial, 2);
    ring_insert_sorted(&head, &d.links, by_key);  // greater than all: last
    ring_insert_sorted(&head, &a0.links, by_key); // equal to the first: behind it
    EXPECT_EQ(keys(&head), "aabbcd");
    EXPECT_EQ(head.next, &a.links);
    EXPECT_EQ(a.links.next, &a0.links);
}

TEST(RingList, UnlinkAndPop)
{
    ring_node head;
    ring_init(&head);
    item a = make('a'), b = make('b'), c = make('c');
    ring_insert_before(&head, &a.links);
    ring_insert_before(&head, &b.links);
    ring_insert_before(&head, &c.links);

    EXPECT_EQ(ring_unlink(&b.links), &b.links);
    EXPECT_EQ(keys(&head), "ac");
    EXPECT_EQ(a.links.next, &c.links);
    EXPECT_EQ(c.links.prev, &a.links);
    // Only next is reset; prev and owner keep their values.
    EXPECT_EQ(b.links.next, &b.links);
    EXPECT_EQ(b.links.prev, &a.links);
    EXPECT_EQ(b.links.owner, &head);
    EXPECT_EQ(ring_unlink(&b.links), nullptr);
    EXPECT_EQ(keys(&head), "ac");

    ring_insert_before(&head, &b.links);
    EXPECT_EQ(keys(&head), "acb");
    EXPECT_EQ(ring_pop_first(&head), &a.links);
    EXPECT_EQ(keys(&head), "cb");
    EXPECT_EQ(ring_pop_last(&head), &b.links);
    EXPECT_EQ(keys(&head), "c");
    EXPECT_EQ(ring_pop_last(&head), &c.links);
    EXPECT_EQ(ring_count(&head), 0);
    EXPECT_EQ(head.next, &head);
    EXPECT_EQ(head.prev, &head);
    EXPECT_EQ(ring_pop_first(&head), nullptr);

    // Draining as the users do: unlink the first while there is one.
    ring_insert_before(&head, &a.links);
    ring_insert_before(&head, &b.links);
    std::string drained;
    while (head.next != &head)
        drained += as_item(ring_unlink(head.next))->key;
    EXPECT_EQ(drained, "ab");
}

TEST(RingList, SearchesAndWalks)
{
    ring_node head;
    ring_init(&head);
    item a1 = make('a', 1), b = make('b'), a2 = make('a', 2), c = make('c'), a3 = make('a', 3);
    for (item *i : {&a1, &b, &a2, &c, &a3})
        ring_insert_before(&head, &i->links);

    EXPECT_EQ(ring_find(&head, key_is, 'a'), &a1.links);
    EXPECT_EQ(ring_find(&head, key_is, 'c'), &c.links);
    EXPECT_EQ(ring_find(&head, key_is, 'q'), nullptr);
    EXPECT_EQ(ring_find_next(&a1.links, key_is, 'a'), &a2.links);
    EXPECT_EQ(ring_find_next(&a2.links, key_is, 'a'), &a3.links);
    EXPECT_EQ(ring_find_next(&a3.links, key_is, 'a'), nullptr); // stops at the owner
    EXPECT_EQ(ring_find_last(&head, key_is, 'a'), &a3.links);
    EXPECT_EQ(ring_find_last(&head, key_is, 'b'), &b.links);
    EXPECT_EQ(ring_find_last(&head, key_is, 'q'), nullptr);

    visits = 0;
    visited.clear();
    EXPECT_EQ(ring_for_each(&head, visit), &head);
    EXPECT_EQ(visited, "abaca");

    // A callback that unlinks every element it is given does not break the walk.
    EXPECT_EQ(ring_find(&head, unlink_and_match_none, 0), nullptr);
    EXPECT_EQ(ring_count(&head), 0);
    EXPECT_EQ(head.next, &head);
}
