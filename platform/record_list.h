#pragma once
// Owned text copies and an ordered list of them.

#include "platform/pointer_array.h"

class TextRecord {
public:
    TextRecord();
    explicit TextRecord(const char* source);
    TextRecord(const TextRecord& other);
    ~TextRecord();
    TextRecord& operator=(const TextRecord&) = delete;

    // Copies the other record's text in, growing the buffer when needed; never shrinks.
    void Assign(const TextRecord& other);
    const char* Text() const { return text; }
    int Capacity() const { return capacity; }

private:
    void Allocate(int size);

    char* text;
    int capacity;
};

class RecordList {
public:
    RecordList() = default;
    ~RecordList() { Clear(); }
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    void Add(const TextRecord& record);
    int Count() const { return records.Count(); }
    const TextRecord& Item(int index) const {
        return *static_cast<const TextRecord*>(records[index]);
    }
    void Clear();

private:
    PointerArray records;
};
