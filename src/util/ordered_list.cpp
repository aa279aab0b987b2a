#include "util/ordered_list.h"

#include <cstdlib>
#include <cstring>
#include <new>

OrderedListBase::OrderedListBase(uint32_t elementSize, CompareFn compare)
    : compare_(compare), position_(0), count_(0), elementSize_(elementSize), cursor_(&sentinel_) {
    sentinel_.prev = &sentinel_;
    sentinel_.next = &sentinel_;
    sentinel_.element = nullptr;
}

OrderedListBase::~OrderedListBase() {}

OrderedList::~OrderedList() {
    ListNode* node = sentinel_.next;
    while (node != &sentinel_) {
        ListNode* next = node->next;
        std::free(node->element);
        delete node;
        node = next;
    }
}

void* OrderedListBase::First() {
    cursor_ = sentinel_.next;
    position_ = count_ > 0 ? 1 : 0;
    return cursor_->element;
}

void* OrderedListBase::Last() {
    cursor_ = sentinel_.prev;
    position_ = count_;
    return cursor_->element;
}

void* OrderedListBase::Next() {
    cursor_ = cursor_->next;
    position_ = cursor_ == &sentinel_ ? 0 : position_ + 1;
    return cursor_->element;
}

void* OrderedListBase::Prev() {
    cursor_ = cursor_->prev;
    if (cursor_ == &sentinel_) position_ = 0;
    else if (position_ == 0) position_ = count_;  // stepping back from the sentinel lands on the last
    else --position_;
    return cursor_->element;
}

void OrderedListBase::Rewind() {
    cursor_ = &sentinel_;
    position_ = 0;
}

int OrderedListBase::Append(const void* element) {
    Last();
    return InsertAfterCurrent(element);
}

int OrderedListBase::InsertAfterCurrent(const void* element) {
    ListNode* node = new (std::nothrow) ListNode;
    if (!node) return -1;
    node->element = std::malloc(elementSize_);
    if (!node->element) {
        delete node;
        return -1;
    }
    std::memcpy(node->element, element, elementSize_);
    node->prev = cursor_;
    node->next = cursor_->next;
    cursor_->next->prev = node;
    cursor_->next = node;
    ++count_;
    ++position_;
    cursor_ = node;
    return 0;
}

void* OrderedListBase::Find(const void* probe) {
    if (!compare_) return nullptr;
    for (void* element = First(); element; element = Next())
        if (compare_(element, probe) == 0) return element;
    return nullptr;
}

const void* OrderedListBase::Peek(const void* probe) const {
    if (!compare_) return nullptr;
    for (const ListNode* node = sentinel_.next; node != &sentinel_; node = node->next)
        if (compare_(node->element, probe) == 0) return node->element;
    return nullptr;
}

int OrderedListBase::RemoveCurrent() {
    if (cursor_ == &sentinel_) return -1;
    ListNode* removed = cursor_;
    --count_;
    removed->prev->next = removed->next;
    removed->next->prev = removed->prev;
    cursor_ = removed->next;
    std::free(removed->element);
    delete removed;
    if (cursor_ == &sentinel_) {
        Last();
        return 0;
    }
    ListNode* target = cursor_;
    for (First(); cursor_ != target && cursor_ != &sentinel_; Next()) {
    }
    return 0;
}

int OrderedListBase::ReplaceCurrent(const void* element) {
    if (count_ <= 0 || cursor_ == &sentinel_) return -1;
    RemoveCurrent();
    // Stepping back puts the replacement in the removed element's place,
    // except after the second-to-last, where it lands at the end.
    if (cursor_->next != &sentinel_) Prev();
    return InsertAfterCurrent(element);
}

void* OrderedListBase::GetAt(int32_t index) {
    if (index < 0 || index >= count_) return nullptr;
    void* element = First();
    while (position_ - 1 != index) element = Next();
    return element;
}
