#pragma once
// Whole-file bzip2 compression and decompression in memory.

#include <stdint.h>

bool CompressFile(const char* source, const char* destination, bool reportErrors,
                  uint32_t* uncompressedSize);
bool DecompressFile(const char* source, const char* destination, bool reportErrors,
                    uint32_t uncompressedSize);
