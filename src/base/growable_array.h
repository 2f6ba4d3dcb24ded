// The one growable buffer of the plug-in: an array that remembers the
// allocator it was made with, so whoever frees it uses the same one. Failure
// to grow is a value (false or null), never an exception. Elements are
// trivially copyable records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <source_location>
#include <type_traits>

#include "src/base/allocators.h"

// Whether a signed index (as the state record keeps them) names one of
// `length` elements.
inline bool index_in_range(std::int64_t index, std::size_t length) {
    return index >= 0 && static_cast<std::uint64_t>(index) < length;
}

template <class T>
struct GrowableArray {
    static_assert(std::is_trivially_copyable_v<T>);
    T* data;
    std::size_t length;
    std::size_t capacity;
    Allocator allocator;  // set by the first growth

    T& operator[](std::size_t i) { return data[i]; }
    const T& operator[](std::size_t i) const { return data[i]; }
    T* begin() { return data; }
    T* end() { return data + length; }
    const T* begin() const { return data; }
    const T* end() const { return data + length; }
};

// Makes room for at least `capacity` elements. An array without storage takes
// `allocator` as its own.
template <class T>
bool array_reserve(GrowableArray<T>& a, const Allocator& allocator, std::size_t capacity,
                   const std::source_location& where = std::source_location::current()) {
    if (capacity <= a.capacity) return true;
    if (!a.data) a.allocator = allocator;
    T* grown = allocate_array<T>(a.allocator, capacity, where);
    if (!grown) return false;
    if (a.length) std::memcpy(static_cast<void*>(grown), a.data, a.length * sizeof(T));
    free_array(a.allocator, a.data, a.capacity);
    a.data = grown;
    a.capacity = capacity;
    return true;
}

// How a full array grows. The state's arrays live as long as the run and grow
// by half again, from 8; a working stack that is freed as soon as its task is
// done doubles, from 64, for fewer copies (the JSON5 reader's stacks).
enum class ArrayGrowth : bool { by_half, doubling };

// Room for one more element at the end, uninitialised; null when the array
// cannot grow.
template <class T>
T* array_push(GrowableArray<T>& a, const Allocator& allocator, ArrayGrowth growth = ArrayGrowth::by_half,
              const std::source_location& where = std::source_location::current()) {
    if (a.length == a.capacity) {
        std::size_t grown;
        if (growth == ArrayGrowth::doubling) grown = a.capacity ? a.capacity * 2 : 64;
        else grown = a.capacity < 8 ? 8 : a.capacity + a.capacity / 2;
        if (!array_reserve(a, allocator, grown, where)) return nullptr;
    }
    return &a.data[a.length++];
}

template <class T>
bool array_append(GrowableArray<T>& a, const Allocator& allocator, const T& value,
                  const std::source_location& where = std::source_location::current()) {
    T* slot = array_push(a, allocator, ArrayGrowth::by_half, where);
    if (!slot) return false;
    *slot = value;
    return true;
}

// Removes element `index`, moving the later ones down (order kept).
template <class T>
void array_remove_ordered(GrowableArray<T>& a, std::size_t index) {
    if (index >= a.length) return;
    std::memmove(static_cast<void*>(a.data + index), a.data + index + 1, (a.length - index - 1) * sizeof(T));
    --a.length;
}

template <class T>
void array_free(GrowableArray<T>& a) {
    if (a.data) free_array(a.allocator, a.data, a.capacity);
    a = GrowableArray<T>{};
}
