#include "platform/record_list.h"

#include <new>
#include <string.h>

static char emptyText[1] = {'\0'};

// Without memory a record holds the shared empty text with capacity 1, so it stays usable.
void TextRecord::Allocate(int size) {
    text = new (std::nothrow) char[size];
    capacity = size;
    if (text == nullptr) {
        text = emptyText;
        capacity = 1;
    }
    text[0] = '\0';
}

TextRecord::TextRecord() {
    Allocate(1);
}

TextRecord::TextRecord(const char* source) {
    Allocate(static_cast<int>(strlen(source)) + 1);
    if (capacity > 1) {
        strcpy(text, source);
    }
}

TextRecord::TextRecord(const TextRecord& other) {
    Allocate(other.capacity);
    if (capacity >= other.capacity) {
        strcpy(text, other.text);
    }
}

TextRecord::~TextRecord() {
    if (text != emptyText) {
        delete[] text;
    }
}

void TextRecord::Assign(const TextRecord& other) {
    if (capacity < other.capacity) {
        if (text != emptyText) {
            delete[] text;
        }
        Allocate(other.capacity);
    }
    int length = static_cast<int>(strlen(other.text));
    if (length < capacity) {
        memcpy(text, other.text, length + 1);
    }
}

void RecordList::Add(const TextRecord& record) {
    TextRecord* copy = new (std::nothrow) TextRecord();
    if (copy == nullptr) {
        return;
    }
    copy->Assign(record);
    if (!records.Append(copy)) {
        delete copy;
    }
}

void RecordList::Clear() {
    for (int i = 0; i < records.Count(); ++i) {
        delete static_cast<TextRecord*>(records[i]);
    }
    records.Clear();
}
