#pragma once
// Bounded text operations for the fixed buffers the system keeps (paths of 260, lines of 1000).

#include <stddef.h>

enum : size_t { kPathCapacity = 260, kLineCapacity = 1000, kCaptionCapacity = 100 };

// Copies as much of src as fits, always terminating dst. False when src did not fit whole.
bool CopyText(char* dst, size_t capacity, const char* src);
// Appends as much of src as fits after dst's text. False when it did not fit whole.
bool AppendText(char* dst, size_t capacity, const char* src);
// printf-style formatting that never writes past capacity. False when the result was cut.
bool FormatText(char* dst, size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Byte comparison ignoring the case of the letters A to Z only.
bool EqualIgnoringAsciiCase(const char* a, const char* b);
