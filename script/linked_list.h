// The list shape every record list of the uninstall database uses: a doubly linked list with a
// sentinel node and an element count. Lists are values: copying a list copies every element.
//
// The nodes are the only free-store allocations of the database; when memory for a node cannot be
// obtained the process ends at once with exit code 1.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

template <class T>
class CLinkedList {
    struct Link {
        Link* prev;
        Link* next;
    };
    struct Node : Link {
        T value;
    };

public:
    template <class V, class L, class N>
    class Iter {
    public:
        explicit Iter(L* link = nullptr) : link_(link) {}
        V& operator*() const { return static_cast<N*>(link_)->value; }
        V* operator->() const { return &static_cast<N*>(link_)->value; }
        Iter& operator++() {
            link_ = link_->next;
            return *this;
        }
        Iter& operator--() {
            link_ = link_->prev;
            return *this;
        }
        bool operator==(const Iter& o) const { return link_ == o.link_; }
        bool operator!=(const Iter& o) const { return link_ != o.link_; }

    private:
        friend class CLinkedList;
        L* link_;
    };
    typedef Iter<T, Link, Node> iterator;
    typedef Iter<const T, const Link, const Node> const_iterator;

    CLinkedList() { head_.prev = head_.next = &head_; }
    CLinkedList(const CLinkedList& other) : CLinkedList() { Append(other); }
    CLinkedList& operator=(const CLinkedList& other) {
        if (this != &other) {
            Clear();
            Append(other);
        }
        return *this;
    }
    // Moving takes the other list's elements over, without copying them; the other list ends empty.
    CLinkedList(CLinkedList&& other) noexcept : CLinkedList() { TakeAll(other); }
    CLinkedList& operator=(CLinkedList&& other) noexcept {
        if (this != &other) {
            Clear();
            TakeAll(other);
        }
        return *this;
    }
    ~CLinkedList() { Clear(); }

    size_t Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }

    iterator begin() { return iterator(head_.next); }
    iterator end() { return iterator(&head_); }
    const_iterator begin() const { return const_iterator(head_.next); }
    const_iterator end() const { return const_iterator(&head_); }
    T& Front() { return static_cast<Node*>(head_.next)->value; }
    const T& Front() const { return static_cast<const Node*>(head_.next)->value; }
    T& Back() { return static_cast<Node*>(head_.prev)->value; }
    const T& Back() const { return static_cast<const Node*>(head_.prev)->value; }

    // The element at a position (0 first), or nullptr past the end.
    T* At(size_t index) {
        for (T& value : *this)
            if (index-- == 0) return &value;
        return nullptr;
    }
    const T* At(size_t index) const { return const_cast<CLinkedList*>(this)->At(index); }

    // Appends a default element at the end and returns it.
    T& AddNew() {
        Node* node = new (std::nothrow) Node();
        if (!node) std::exit(1);
        LinkBefore(&head_, node);
        return node->value;
    }
    T& AddCopy(const T& value) {
        T& added = AddNew();
        added = value;
        return added;
    }
    // Appends value, moved into the new element.
    T& AddMoved(T&& value) {
        T& added = AddNew();
        added = std::move(value);
        return added;
    }
    // Appends a copy of every element of other.
    void Append(const CLinkedList& other) {
        for (const T& value : other) AddCopy(value);
    }
    // Removes the element at it; returns the element after it.
    iterator Erase(iterator it) {
        Link* next = it.link_->next;
        Unlink(it.link_);
        delete static_cast<Node*>(it.link_);
        return iterator(next);
    }
    void Clear() {
        while (head_.next != &head_) Erase(begin());
    }
    // Moves every element of other to the end of this list; other is left empty. The elements are relinked
    // as one chain, not one by one.
    void TakeAll(CLinkedList& other) {
        if (&other == this || other.head_.next == &other.head_) return;
        Link* first = other.head_.next;
        Link* last = other.head_.prev;
        first->prev = head_.prev;
        head_.prev->next = first;
        last->next = &head_;
        head_.prev = last;
        count_ += other.count_;
        other.head_.next = other.head_.prev = &other.head_;
        other.count_ = 0;
    }

    // Stable ascending merge sort: equal elements keep their order.
    template <class Less>
    void SortBy(Less less) {
        if (count_ < 2) return;
        head_.prev->next = nullptr;
        Link* first = MergeSort(head_.next, count_, less);
        Link* prev = &head_;
        for (Link* p = first; p; p = p->next) {
            p->prev = prev;
            prev->next = p;
            prev = p;
        }
        prev->next = &head_;
        head_.prev = prev;
    }
    // Whether no element is less than the one before it (what SortBy would leave unchanged).
    template <class Less>
    bool IsSortedBy(Less less) const {
        for (const Link* p = head_.next; p != &head_ && p->next != &head_; p = p->next)
            if (less(static_cast<const Node*>(p->next)->value, static_cast<const Node*>(p)->value)) return false;
        return true;
    }
    // Removes every element that equals its predecessor; of a run of equal elements the first stays.
    template <class Equal>
    void UniqueBy(Equal equal) {
        if (count_ < 2) return;
        iterator kept = begin();
        for (iterator it = iterator(head_.next->next); it != end();) {
            if (equal(*kept, *it)) {
                it = Erase(it);
            } else {
                kept = it;
                ++it;
            }
        }
    }
    // Moves every element of other into this list so that the result is ordered when both were; where an
    // element of this list and one of other are equal, the one of this list comes first. other ends empty.
    template <class Less>
    void MergeBy(CLinkedList& other, Less less) {
        if (&other == this) return;
        Link* at = head_.next;
        while (other.head_.next != &other.head_) {
            Link* link = other.head_.next;
            const T& value = static_cast<Node*>(link)->value;
            while (at != &head_ && !less(value, static_cast<Node*>(at)->value)) at = at->next;
            other.Unlink(link);
            LinkBefore(at, link);
        }
    }
    // Removes every element for which some element of other is equal; the rest keep their order.
    template <class Equal>
    void SubtractBy(const CLinkedList& other, Equal equal) {
        if (&other == this) {
            Clear();
            return;
        }
        for (iterator it = begin(); it != end();) {
            bool found = false;
            for (const T& o : other)
                if (equal(*it, o)) {
                    found = true;
                    break;
                }
            it = found ? Erase(it) : ++it;
        }
    }
    void Reverse() {
        Link* link = &head_;
        do {
            std::swap(link->prev, link->next);
            link = link->prev;
        } while (link != &head_);
    }

private:
    void LinkBefore(Link* at, Link* link) {
        link->next = at;
        link->prev = at->prev;
        at->prev->next = link;
        at->prev = link;
        ++count_;
    }
    void Unlink(Link* link) {
        link->prev->next = link->next;
        link->next->prev = link->prev;
        --count_;
    }
    // Sorts the null-terminated chain of n links starting at first; returns the new first link.
    template <class Less>
    static Link* MergeSort(Link* first, size_t n, Less& less) {
        if (n < 2) {
            first->next = nullptr;
            return first;
        }
        size_t half = n / 2;
        Link* mid = first;
        for (size_t i = 1; i < half; ++i) mid = mid->next;
        Link* second = mid->next;
        mid->next = nullptr;
        Link* a = MergeSort(first, half, less);
        Link* b = MergeSort(second, n - half, less);
        Link result{nullptr, nullptr};
        Link* tail = &result;
        while (a && b) {
            if (less(static_cast<Node*>(b)->value, static_cast<Node*>(a)->value)) {
                tail->next = b;
                b = b->next;
            } else {
                tail->next = a;
                a = a->next;
            }
            tail = tail->next;
        }
        tail->next = a ? a : b;
        return result.next;
    }

    Link head_;
    size_t count_ = 0;
};
