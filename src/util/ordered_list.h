// The container of the upload log, the .sfv and ACL lists and the ini
// entries: a doubly linked ring of fixed-size element copies around a
// sentinel, with a built-in cursor that the editing operations move and
// report through, a compare callback for searches, and Head/End/Peek to read
// without moving the cursor. A list searched once per element of another can
// be indexed by a key, and GetAt remembers where it was: a release of
// thousands of files then costs its size, not its square.
#ifndef CREVIK_ORDERED_LIST_H
#define CREVIK_ORDERED_LIST_H

#include <cstddef>
#include <cstdint>
#include <unordered_map>

// 0 means equal; negative a before b, positive a after b.
using CompareFn = int (*)(const void* a, const void* b);
// The key of an element for the index: elements the compare calls equal must
// have equal keys; unequal ones may share a key.
using KeyFn = uint64_t (*)(const void* element);

struct ListNode {
    ListNode* prev;
    ListNode* next;
    void* element;  // the list's own copy; null on the sentinel
};

// All operations; its destructor frees nothing.
class OrderedListBase {
public:
    OrderedListBase(uint32_t elementSize, CompareFn compare);
    virtual ~OrderedListBase();
    OrderedListBase(const OrderedListBase&) = delete;
    OrderedListBase& operator=(const OrderedListBase&) = delete;

    void* First();
    void* Last();
    void* Next();
    void* Prev();
    void Rewind();
    int32_t Count() const { return count_; }
    int32_t Position() const;
    void* Current() const { return cursor_->element; }

    int Append(const void* element);              // 0, or -1 out of memory
    int InsertAfterCurrent(const void* element);  // 0, or -1 out of memory
    void* Find(const void* probe);                // first from the head that compares 0
    int RemoveCurrent();                          // 0, or -1 with no element under the cursor
    int ReplaceCurrent(const void* element);      // 0, or -1
    void* GetAt(int32_t index);                   // 0-based; stepping up from the last index is one step

    // Reading without the cursor: the elements in order, and a search.
    const ListNode* Head() const { return sentinel_.next; }
    const ListNode* End() const { return &sentinel_; }
    const void* Peek(const void* probe) const;    // first from the head that compares 0

    // Find and Peek answer from an index on `key` instead of a walk, as the
    // walk would, once a few walks showed that the list is searched more than
    // a run's one or two times.
    void IndexBy(KeyFn key);

protected:
    // The index: how many elements have a key, and the element when that is
    // one and it is known (null: walk).
    struct KeySlot {
        int32_t count;
        ListNode* node;
    };
    ListNode* Search(const void* probe) const;  // the node Find and Peek answer, or the sentinel
    void IndexBuild() const;
    void IndexAdd(ListNode* node) const;
    void IndexRemove(ListNode* node) const;

    CompareFn compare_;
    mutable int32_t position_;  // -1: not known until asked (after an indexed Find)
    int32_t count_;
    uint32_t elementSize_;
    ListNode* cursor_;
    ListNode sentinel_;
    KeyFn keyOf_ = nullptr;
    mutable int32_t walks_ = 0;     // searches that walked while keyed, before the index was built
    mutable bool indexed_ = false;  // index_ holds every element
    mutable std::unordered_map<uint64_t, KeySlot> index_;
    ListNode* atNode_ = nullptr;  // GetAt's last answer and its index, until the list changes
    int32_t atIndex_ = -1;
};

// Owns its elements: destruction frees every element and link.
class OrderedList : public OrderedListBase {
public:
    OrderedList(uint32_t elementSize, CompareFn compare) : OrderedListBase(elementSize, compare) {}
    ~OrderedList() override;
};

#endif
