// The two families of intrusive list operations. The secondary family is the
// same code on the secondary links; both print their own names in messages.
#include "core/lists.h"

#include "core/messages.h"

namespace {

// Link accessors let one template serve both families.
struct Primary {
    using Node = ListNode;
    static Node*& prev(Node* n) { return n->prev; }
    static Node*& next(Node* n) { return n->next; }
    static std::uint8_t& id(Node* n) { return n->listid; }
};

struct Secondary {
    using Node = ListNode2;
    static Node*& prev(Node* n) { return n->prev2; }
    static Node*& next(Node* n) { return n->next2; }
    static std::uint8_t& id(Node* n) { return n->listid2; }
};

int nullObject(const char* routine) {
    userMsg((std::string("Internal error: ") + routine + " called for NULL object.").c_str());
    return 1;
}

template <class L>
int initList(typename L::Node* n, const char* name) {
    if (!n) return nullObject(name);
    L::prev(n) = L::next(n) = nullptr;
    L::id(n) = kLinked;
    return 0;
}

template <class L>
typename L::Node* firstOf(typename L::Node* n) {
    if (!n) return nullptr;
    while (L::prev(n)) n = L::prev(n);
    return n;
}

template <class L>
typename L::Node* lastOf(typename L::Node* n) {
    if (!n) return nullptr;
    while (L::next(n)) n = L::next(n);
    return n;
}

template <class L>
int countOf(typename L::Node* n) {
    int count = 0;
    for (n = firstOf<L>(n); n; n = L::next(n)) ++count;
    return count;
}

template <class L>
int placePrev(typename L::Node* anchor, typename L::Node* n, const char* name) {
    if (!anchor) return nullObject(name);
    L::prev(n) = L::prev(anchor);
    L::next(n) = anchor;
    if (L::prev(anchor)) L::next(L::prev(anchor)) = n;
    L::prev(anchor) = n;
    L::id(n) = kLinked;
    return 0;
}

template <class L>
int placeNext(typename L::Node* anchor, typename L::Node* n, const char* name) {
    if (!anchor) return nullObject(name);
    L::next(n) = L::next(anchor);
    L::prev(n) = anchor;
    if (L::next(anchor)) L::prev(L::next(anchor)) = n;
    L::next(anchor) = n;
    L::id(n) = kLinked;
    return 0;
}

template <class L>
int removeAt(typename L::Node* n, const char* name) {
    if (!n) return nullObject(name);
    if (L::prev(n)) L::next(L::prev(n)) = L::next(n);
    if (L::next(n)) L::prev(L::next(n)) = L::prev(n);
    L::prev(n) = L::next(n) = nullptr;
    L::id(n) = 0;
    return 0;
}

}  // namespace

int init_list(ListNode* n) { return initList<Primary>(n, "init_list"); }
ListNode* first(ListNode* n) { return firstOf<Primary>(n); }
ListNode* last(ListNode* n) { return lastOf<Primary>(n); }
int count_object(ListNode* n) { return countOf<Primary>(n); }
int place_prev(ListNode* a, ListNode* n) { return placePrev<Primary>(a, n, "place_prev"); }
int place_next(ListNode* a, ListNode* n) { return placeNext<Primary>(a, n, "place_next"); }
int remove_at(ListNode* n) { return removeAt<Primary>(n, "remove_at"); }

int init_list2(ListNode2* n) { return initList<Secondary>(n, "init_list2"); }
ListNode2* first2(ListNode2* n) { return firstOf<Secondary>(n); }
ListNode2* last2(ListNode2* n) { return lastOf<Secondary>(n); }
int count_object2(ListNode2* n) { return countOf<Secondary>(n); }
int place_prev2(ListNode2* a, ListNode2* n) { return placePrev<Secondary>(a, n, "place_prev2"); }
int place_next2(ListNode2* a, ListNode2* n) { return placeNext<Secondary>(a, n, "place_next2"); }
int remove_at2(ListNode2* n) { return removeAt<Secondary>(n, "remove_at2"); }
