#include "platform/pointer_array.h"

#include <new>
#include <string.h>

bool PointerArray::Append(void* pointer) {
    if (items == nullptr || count == capacity) {
        void** grown = new (std::nothrow) void*[capacity + growBy];
        if (grown == nullptr) {
            return false;
        }
        if (capacity > 0) {
            memcpy(grown, items, sizeof(void*) * capacity);
        }
        delete[] items;
        items = grown;
        capacity += growBy;
    }
    items[count++] = pointer;
    return true;
}

void PointerArray::Clear() {
    delete[] items;
    items = nullptr;
    capacity = 0;
    count = 0;
}
