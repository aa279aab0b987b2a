#include "util/ordered_list.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// A list searched this often will be searched again; a single search walks
// cheaper than an index is built.
constexpr int32_t kWalksBeforeIndex = 4;
// Where an element starts in its link's block: aligned for any type.
constexpr size_t kElementOffset = (sizeof(ListNode) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
                                  alignof(std::max_align_t);

}  // namespace

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
        std::free(node);
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

int32_t OrderedListBase::Position() const {
    if (position_ >= 0) return position_;
    position_ = 0;
    if (cursor_ == &sentinel_) return position_;
    for (const ListNode* node = cursor_; node != &sentinel_; node = node->prev) ++position_;
    return position_;
}

void* OrderedListBase::Next() {
    cursor_ = cursor_->next;
    if (cursor_ == &sentinel_) position_ = 0;
    else if (position_ >= 0) ++position_;
    return cursor_->element;
}

void* OrderedListBase::Prev() {
    cursor_ = cursor_->prev;
    if (cursor_ == &sentinel_) position_ = 0;
    else if (position_ == 0) position_ = count_;  // stepping back from the sentinel lands on the last
    else if (position_ > 0) --position_;
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
    // The element lives in its link's block: one allocation per element.
    void* block = std::malloc(kElementOffset + elementSize_);
    if (!block) return -1;
    ListNode* node = new (block) ListNode;
    node->element = static_cast<char*>(block) + kElementOffset;
    std::memcpy(node->element, element, elementSize_);
    node->prev = cursor_;
    node->next = cursor_->next;
    cursor_->next->prev = node;
    cursor_->next = node;
    ++count_;
    if (position_ >= 0) ++position_;
    cursor_ = node;
    atNode_ = nullptr;
    IndexAdd(node);
    return 0;
}

void* OrderedListBase::Find(const void* probe) {
    if (!compare_) return nullptr;
    ListNode* node = Search(probe);
    cursor_ = node;  // where a walk would stop: on the first match, or past the end
    position_ = node == &sentinel_ ? 0 : -1;
    return node->element;
}

const void* OrderedListBase::Peek(const void* probe) const {
    if (!compare_) return nullptr;
    return Search(probe)->element;
}

ListNode* OrderedListBase::Search(const void* probe) const {
    KeySlot* slot = nullptr;
    if (keyOf_ && !indexed_ && ++walks_ > kWalksBeforeIndex) IndexBuild();
    if (indexed_) {
        auto found = index_.find(keyOf_(probe));
        if (found == index_.end()) return const_cast<ListNode*>(&sentinel_);
        slot = &found->second;
        if (slot->node && compare_(slot->node->element, probe) == 0) return slot->node;
    }
    for (ListNode* node = sentinel_.next; node != &sentinel_; node = node->next) {
        if (compare_(node->element, probe) != 0) continue;
        if (slot && slot->count == 1) slot->node = node;
        return node;
    }
    return const_cast<ListNode*>(&sentinel_);
}

int OrderedListBase::RemoveCurrent() {
    if (cursor_ == &sentinel_) return -1;
    ListNode* removed = cursor_;
    IndexRemove(removed);
    atNode_ = nullptr;
    --count_;
    removed->prev->next = removed->next;
    removed->next->prev = removed->prev;
    cursor_ = removed->next;
    std::free(removed);
    // The next element takes the removed one's position.
    if (cursor_ == &sentinel_) Last();
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
    ListNode* node = sentinel_.next;
    int32_t at = 0;
    if (atNode_ && atIndex_ <= index) {
        node = atNode_;
        at = atIndex_;
    }
    for (; at < index; ++at) node = node->next;
    cursor_ = atNode_ = node;
    position_ = index + 1;
    atIndex_ = index;
    return node->element;
}

void OrderedListBase::IndexBy(KeyFn key) {
    keyOf_ = key;
    walks_ = 0;
    indexed_ = false;
    index_.clear();
}

void OrderedListBase::IndexBuild() const {
    indexed_ = true;
    index_.reserve(static_cast<size_t>(count_));
    for (ListNode* node = sentinel_.next; node != &sentinel_; node = node->next) IndexAdd(node);
}

void OrderedListBase::IndexAdd(ListNode* node) const {
    if (!indexed_) return;
    KeySlot& slot = index_[keyOf_(node->element)];
    slot.node = ++slot.count == 1 ? node : nullptr;
}

void OrderedListBase::IndexRemove(ListNode* node) const {
    if (!indexed_) return;
    auto slot = index_.find(keyOf_(node->element));
    if (slot == index_.end()) return;
    if (--slot->second.count == 0) index_.erase(slot);
    else slot->second.node = nullptr;  // the one left is found by the next walk
}
