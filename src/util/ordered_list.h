// The container of the upload log, the .sfv and ACL lists and the ini
// entries: a doubly linked ring of fixed-size element copies around a
// sentinel, with a built-in cursor that the editing operations move and
// report through, a compare callback for searches, and Head/End/Peek to read
// without moving the cursor.
#ifndef CREVIK_ORDERED_LIST_H
#define CREVIK_ORDERED_LIST_H

#include <cstddef>
#include <cstdint>

// 0 means equal; negative a before b, positive a after b.
using CompareFn = int (*)(const void* a, const void* b);

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
    int32_t Position() const { return position_; }
    void* Current() const { return cursor_->element; }

    int Append(const void* element);              // 0, or -1 out of memory
    int InsertAfterCurrent(const void* element);  // 0, or -1 out of memory
    void* Find(const void* probe);                // first from the head that compares 0
    int RemoveCurrent();                          // 0, or -1 with no element under the cursor
    int ReplaceCurrent(const void* element);      // 0, or -1
    void* GetAt(int32_t index);                   // 0-based

    // Reading without the cursor: the elements in order, and a search.
    const ListNode* Head() const { return sentinel_.next; }
    const ListNode* End() const { return &sentinel_; }
    const void* Peek(const void* probe) const;    // first from the head that compares 0

protected:
    CompareFn compare_;
    int32_t position_;
    int32_t count_;
    uint32_t elementSize_;
    ListNode* cursor_;
    ListNode sentinel_;
};

// Owns its elements: destruction frees every element and link.
class OrderedList : public OrderedListBase {
public:
    OrderedList(uint32_t elementSize, CompareFn compare) : OrderedListBase(elementSize, compare) {}
    ~OrderedList() override;
};

#endif
