#include "platform/text.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

bool CopyText(char* dst, size_t capacity, const char* src) {
    if (capacity == 0) {
        return false;
    }
    size_t length = strlen(src);
    bool fits = length < capacity;
    if (!fits) {
        length = capacity - 1;
    }
    memmove(dst, src, length);
    dst[length] = '\0';
    return fits;
}

bool AppendText(char* dst, size_t capacity, const char* src) {
    size_t used = strnlen(dst, capacity);
    if (used >= capacity) {
        return false;
    }
    return CopyText(dst + used, capacity - used, src);
}

bool FormatText(char* dst, size_t capacity, const char* format, ...) {
    if (capacity == 0) {
        return false;
    }
    va_list args;
    va_start(args, format);
    // msvcrt's _vsnprintf leaves the buffer unterminated when it overflows.
    int written = _vsnprintf(dst, capacity, format, args);
    va_end(args);
    dst[capacity - 1] = '\0';
    return written >= 0 && static_cast<size_t>(written) < capacity;
}

static unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = FoldAscii(static_cast<unsigned char>(*a));
        unsigned char y = FoldAscii(static_cast<unsigned char>(*b));
        if (x != y) {
            return false;
        }
        if (x == 0) {
            return true;
        }
    }
}
