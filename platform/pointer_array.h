#pragma once
// A growable array of untyped pointers; it owns its slots, never what they point to.

class PointerArray {
public:
    PointerArray() = default;
    ~PointerArray() { Clear(); }
    PointerArray(const PointerArray&) = delete;
    PointerArray& operator=(const PointerArray&) = delete;

    // False when no memory was left for a growth; the array is then unchanged.
    bool Append(void* pointer);
    void Clear();
    int Count() const { return count; }
    int Capacity() const { return capacity; }
    void* operator[](int index) const { return items[index]; }

private:
    int growBy = 8;
    int capacity = 0;
    int count = 0;
    void** items = nullptr;
};
