// Intrusive doubly linked lists without a head record. A record that lives
// in a list derives from ListNode (primary links); a record that can stand
// in a second list at the same time also derives from ListNode2. The owner
// of a list keeps a pointer to its first node and moves it itself when it
// inserts in front of it. `listid` is 'Z' while a node is linked (or was
// initialised as a list) and 0 after removal; code elsewhere tests it to
// learn whether a node is still linked.
#pragma once
#include <cstdint>

inline constexpr std::uint8_t kLinked = 'Z';

struct ListNode {
    ListNode* prev = nullptr;
    ListNode* next = nullptr;
    std::uint8_t listid = 0;
};

struct ListNode2 {
    ListNode2* prev2 = nullptr;
    ListNode2* next2 = nullptr;
    std::uint8_t listid2 = 0;
};

int init_list(ListNode* node);
ListNode* first(ListNode* node);
ListNode* last(ListNode* node);
int count_object(ListNode* node);
int place_prev(ListNode* anchor, ListNode* node);
int place_next(ListNode* anchor, ListNode* node);
int remove_at(ListNode* node);

int init_list2(ListNode2* node);
ListNode2* first2(ListNode2* node);
ListNode2* last2(ListNode2* node);
int count_object2(ListNode2* node);
int place_prev2(ListNode2* anchor, ListNode2* node);
int place_next2(ListNode2* anchor, ListNode2* node);
int remove_at2(ListNode2* node);

// Typed helpers for records derived from the link structs.
template <class T>
T* nextOf(T* node) {
    return static_cast<T*>(static_cast<ListNode*>(node)->next);
}
template <class T>
T* prevOf(T* node) {
    return static_cast<T*>(static_cast<ListNode*>(node)->prev);
}
template <class T>
T* next2Of(T* node) {
    return static_cast<T*>(static_cast<ListNode2*>(node)->next2);
}
template <class T>
T* prev2Of(T* node) {
    return static_cast<T*>(static_cast<ListNode2*>(node)->prev2);
}
template <class T>
bool isLinked(const T* node) {
    return static_cast<const ListNode*>(node)->listid == kLinked;
}

// Appends `node` to the list whose first and last nodes are `head` and
// `tail` (both null for an empty list), updating both.
template <class T>
void appendTo(T*& head, T*& tail, T* node) {
    if (!head) {
        init_list(node);
        head = tail = node;
    } else {
        place_next(tail, node);
        tail = node;
    }
}

// Appends `node` after the last node of the list starting at `head`.
template <class T>
void appendTo(T*& head, T* node) {
    if (!head) {
        init_list(node);
        head = node;
    } else {
        place_next(last(static_cast<ListNode*>(head)), node);
    }
}

// Puts `node` in front of `head` and makes it the new head.
template <class T>
void pushFront(T*& head, T* node) {
    if (!head) {
        init_list(node);
    } else {
        place_prev(head, node);
    }
    head = node;
}

// Unlinks `node` from the list starting at `head`, moving `head` when the
// node was first.
template <class T>
void unlinkFrom(T*& head, T* node) {
    if (head == node) head = nextOf(node);
    remove_at(node);
}

template <class T>
void pushFront2(T*& head, T* node) {
    if (!head) {
        init_list2(node);
    } else {
        place_prev2(head, node);
    }
    head = node;
}

template <class T>
void unlinkFrom2(T*& head, T* node) {
    if (head == node) head = next2Of(node);
    remove_at2(node);
}
