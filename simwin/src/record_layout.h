// Information structures as data: a level of a structure (DRIVER_INFO_3A, PORT_INFO_2A,
// QUERY_SERVICE_CONFIGA ...) is a table of its fields, each an offset, a kind and what it reports for an
// item, so that a new level is a row of the table and every level is laid out the same way: the records
// first, then the strings they point to, packed after the last record in field order, all within the size
// the size query reports (private to simwin's src/).
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "simwin/types.h"

namespace simwin {

// Writes strings after the records (or only measures them, with a null base).
class StringPacker {
public:
    StringPacker(BYTE* base, size_t start) : base_(base), pos_(start) {}
    // A NUL-terminated string; its address (nullptr while measuring).
    LPSTR put(const std::string& text) { return putBytes(text.c_str(), text.size() + 1); }
    // A double-NUL list: each item and its NUL, then one more NUL.
    LPSTR putList(const std::vector<std::string>& items) {
        std::string bytes;
        for (const std::string& i : items) bytes += i + '\0';
        return putBytes(bytes.c_str(), bytes.size() + 1);  // c_str() adds the closing NUL
    }
    // A block of bytes (a structure the record points to), placed at the next multiple of 8 as Windows aligns it.
    LPSTR putBlock(const std::string& bytes) {
        pos_ = (pos_ + 7) & ~static_cast<size_t>(7);
        return putBytes(bytes.data(), bytes.size());
    }
    size_t end() const { return pos_; }

private:
    LPSTR putBytes(const char* bytes, size_t n) {
        LPSTR p = nullptr;
        if (base_) {
            p = reinterpret_cast<LPSTR>(base_ + pos_);
            std::memcpy(p, bytes, n);
        }
        pos_ += n;
        return p;
    }
    BYTE* base_;
    size_t pos_;
};

template <typename Item>
struct Field {
    enum Kind {
        Number,      // a DWORD
        Text,        // a string, "" when there is none
        TextOrNull,  // a string, a null pointer when there is none
        List,        // a double-NUL list, an empty one when there are no items
        ListOrNull,  // a double-NUL list, a null pointer when there are no items
        Block,       // a pointer to bytes packed after the records (a structure), aligned
    };
    size_t offset;
    Kind kind;
    DWORD (*number)(const Item&);
    std::string (*text)(const Item&);
    std::vector<std::string> (*list)(const Item&);
    std::string (*block)(const Item&) = nullptr;
};

template <typename Item>
Field<Item> numberAt(size_t offset, DWORD (*f)(const Item&)) {
    return Field<Item>{offset, Field<Item>::Number, f, nullptr, nullptr};
}
template <typename Item>
Field<Item> textAt(size_t offset, std::string (*f)(const Item&)) {
    return Field<Item>{offset, Field<Item>::Text, nullptr, f, nullptr};
}
template <typename Item>
Field<Item> textOrNullAt(size_t offset, std::string (*f)(const Item&)) {
    return Field<Item>{offset, Field<Item>::TextOrNull, nullptr, f, nullptr};
}
template <typename Item>
Field<Item> listAt(size_t offset, std::vector<std::string> (*f)(const Item&)) {
    return Field<Item>{offset, Field<Item>::List, nullptr, nullptr, f};
}
template <typename Item>
Field<Item> listOrNullAt(size_t offset, std::vector<std::string> (*f)(const Item&)) {
    return Field<Item>{offset, Field<Item>::ListOrNull, nullptr, nullptr, f};
}

template <typename Item>
Field<Item> blockAt(size_t offset, std::string (*f)(const Item&)) {
    return Field<Item>{offset, Field<Item>::Block, nullptr, nullptr, nullptr, f};
}

// One level of a structure: its number, its size and its fields (the others stay zero).
template <typename Item>
struct Layout {
    DWORD level;
    size_t size;
    std::vector<Field<Item>> fields;
};

// The layout of a level in a table, or nullptr.
template <typename Item>
const Layout<Item>* layoutOf(const std::vector<Layout<Item>>& table, DWORD level) {
    for (const Layout<Item>& l : table)
        if (l.level == level) return &l;
    return nullptr;
}

// Fills one record at `record` (nothing is written while measuring: record null) and its strings.
template <typename Item>
void fillRecord(const Item& item, const Layout<Item>& layout, BYTE* record, StringPacker& strings) {
    if (record) std::memset(record, 0, layout.size);
    for (const Field<Item>& f : layout.fields) {
        LPSTR text = nullptr;
        switch (f.kind) {
        case Field<Item>::Number: {
            const DWORD v = f.number(item);
            if (record) std::memcpy(record + f.offset, &v, sizeof v);
            continue;
        }
        case Field<Item>::Text: text = strings.put(f.text(item)); break;
        case Field<Item>::TextOrNull: {
            const std::string t = f.text(item);
            if (!t.empty()) text = strings.put(t);
            break;
        }
        case Field<Item>::List: text = strings.putList(f.list(item)); break;
        case Field<Item>::Block: text = strings.putBlock(f.block(item)); break;
        case Field<Item>::ListOrNull: {
            const std::vector<std::string> l = f.list(item);
            if (!l.empty()) text = strings.putList(l);
            break;
        }
        }
        if (record) std::memcpy(record + f.offset, &text, sizeof text);
    }
}

// The bytes the records of the items and their strings take (0 for no items).
template <typename Item>
size_t measureRecords(const std::vector<const Item*>& items, const Layout<Item>& layout) {
    StringPacker measurer(nullptr, items.size() * layout.size);
    for (const Item* item : items) fillRecord(*item, layout, nullptr, measurer);
    return items.empty() ? 0 : measurer.end();
}

// Packs the records into a buffer of at least measureRecords() bytes.
template <typename Item>
void packRecords(const std::vector<const Item*>& items, const Layout<Item>& layout, BYTE* buffer) {
    StringPacker strings(buffer, items.size() * layout.size);
    for (size_t i = 0; i < items.size(); ++i) fillRecord(*items[i], layout, buffer + i * layout.size, strings);
}

}  // namespace simwin
