// Allocation for the product without the C++ runtime's exception machinery: a failed
// allocation yields null, which every caller tests.

#include <new>
#include <stdlib.h>

void* operator new(size_t size) {
    return malloc(size ? size : 1);
}
void* operator new[](size_t size) {
    return malloc(size ? size : 1);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return malloc(size ? size : 1);
}
void operator delete(void* p) noexcept {
    free(p);
}
void operator delete[](void* p) noexcept {
    free(p);
}
void operator delete(void* p, size_t) noexcept {
    free(p);
}
void operator delete[](void* p, size_t) noexcept {
    free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    free(p);
}
