// A growable array of slots, grown on demand by the index that is accessed.
// The owner keeps `count` itself: it appends by writing at index `count` and
// raising it, and reads only below it. New string slots are empty strings,
// new pointer slots are left uninitialised.
#pragma once

#include <cstdint>
#include <new>

template <typename T>
class Array {
public:
    T* items;
    uint32_t capacity;  // slots in `items`; 1 after construction, a power of two
    uint32_t count;     // slots in use, maintained by the owner

    Array() : items(new T[1]), capacity(1), count(0) {}

    virtual ~Array() {
        delete[] items;
        items = nullptr;
        capacity = 0;
    }

    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;

    // A reference to slot i, valid until the next growth. Indexes of 2^31 and
    // above are outside the array's range and raise std::bad_alloc, as does a
    // block whose size in bytes would not fit 32 bits; the old block stays.
    T& operator[](uint32_t i) {
        if (capacity > i) return items[i];
        if (i >= (uint32_t(1) << 31)) throw std::bad_alloc();
        uint32_t size = 1;
        while (size < i + 1) size *= 2;
        if (capacity < size) setCapacity(size);
        return items[i];
    }

    // Replaces the block by one of exactly n slots, keeping the first
    // min(n, capacity) elements.
    void setCapacity(uint32_t n) {
        if (uint64_t(n) * sizeof(T) > UINT32_MAX) throw std::bad_alloc();
        T* block = new T[n];
        for (uint32_t k = 0; k < n && k < capacity; ++k) block[k] = items[k];
        delete[] items;
        items = block;
        capacity = n;
    }
};
