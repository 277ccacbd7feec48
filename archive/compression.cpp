#include "archive/compression.h"

#include <windows.h>

#include <bzlib.h>
#include <new>

#include "platform/file_handle.h"
#include "platform/text.h"

// Built without stdio, libbzip2 reports an internal inconsistency through this hook.
extern "C" void bz_internal_error(int errcode) {
    char text[kLineCapacity];
    FormatText(text, sizeof(text), "Internal error %d in the bzip2 library.", errcode);
    MessageBoxA(nullptr, text, "Install", MB_TOPMOST | MB_ICONERROR | MB_OK);
    ExitProcess(1);
}

// Whole buffers are limited so that sizes and offsets stay within the archive's 32-bit,
// signed-distance format and an absurd recorded size cannot ask for unbounded memory.
static const unsigned long long kBufferLimit = 0x7FFFFFFFull;

static void ShowCompressionError(const char* format, const char* first, const char* second) {
    char text[kLineCapacity];
    FormatText(text, sizeof(text), format, first, second);
    MessageBoxA(nullptr, text, "Install", MB_TOPMOST | MB_ICONERROR | MB_OK);
}

bool CompressFile(const char* source, const char* destination, bool report,
                  uint32_t* uncompressedSize) {
    *uncompressedSize = 0;
    bool done = false, writeFailed = false, readFailed = false;
    FileHandle in(source, GENERIC_READ, OPEN_EXISTING, false, true);
    if (in.IsOpen()) {
        FileHandle out(destination, GENERIC_WRITE, CREATE_ALWAYS, false, true);
        if (out.IsOpen()) {
            unsigned long long n = in.Size();
            *uncompressedSize = static_cast<uint32_t>(n);
            unsigned long long capacity = n * 101 / 100 + 600;
            char* input = nullptr;
            char* output = nullptr;
            if ((n >> 32) != 0 || capacity > kBufferLimit) {
                readFailed = true;
            } else {
                input = new (std::nothrow) char[n ? n : 1];
                output = new (std::nothrow) char[capacity];
                if (input == nullptr || output == nullptr) {
                    readFailed = true;
                } else if (in.Read(input, static_cast<DWORD>(n), AtCurrent) != n) {
                    readFailed = true;
                } else {
                    unsigned int produced = static_cast<unsigned int>(capacity);
                    int result = BZ2_bzBuffToBuffCompress(output, &produced, input,
                                                          static_cast<unsigned int>(n), 9, 0, 30);
                    if (result != BZ_OK || !out.Write(output, produced, AtCurrent)) {
                        writeFailed = true;
                    }
                    done = true;
                }
            }
            delete[] input;
            delete[] output;
        }
    }
    if (report && (!done || writeFailed || readFailed)) {
        if (writeFailed) {
            ShowCompressionError("Error whilst compressing '%s', unable to write to '%s'",
                                 destination, destination);
        } else {
            ShowCompressionError("Error whilst compressing '%s', unable to read from '%s'",
                                 destination, source);
        }
    }
    return done;
}

static bool CreateEmptyFile(const char* path) {
    FileHandle out(path, GENERIC_WRITE, CREATE_ALWAYS, false, true);
    return out.IsOpen();
}

bool DecompressFile(const char* source, const char* destination, bool report,
                    uint32_t uncompressedSize) {
    if (FileSizeOfPath(source) == 0) {
        CreateEmptyFile(destination);
        return true;
    }
    bool done = false, writeFailed = false, readFailed = false;
    FileHandle in(source, GENERIC_READ, OPEN_EXISTING, false, true);
    if (in.IsOpen()) {
        FileHandle out(destination, GENERIC_WRITE, CREATE_ALWAYS, false, true);
        if (out.IsOpen()) {
            if (uncompressedSize == 0) {
                done = true;
            } else {
                unsigned long long size = in.Size();
                unsigned long long capacity =
                    static_cast<unsigned long long>(uncompressedSize) + 5000;
                char* input = nullptr;
                char* output = nullptr;
                if ((size >> 32) != 0 || size > kBufferLimit || capacity > kBufferLimit) {
                    readFailed = true;
                } else {
                    input = new (std::nothrow) char[size ? size : 1];
                    output = new (std::nothrow) char[capacity];
                    if (input == nullptr || output == nullptr) {
                        readFailed = true;
                    } else if (in.Read(input, static_cast<DWORD>(size), AtCurrent) != size) {
                        readFailed = true;
                    } else {
                        unsigned int produced = static_cast<unsigned int>(capacity);
                        int result = BZ2_bzBuffToBuffDecompress(
                            output, &produced, input, static_cast<unsigned int>(size), 0, 0);
                        if (result != BZ_OK || !out.Write(output, produced, AtCurrent)) {
                            writeFailed = true;
                        }
                        done = true;
                    }
                }
                delete[] input;
                delete[] output;
            }
        }
    }
    if (report && (!done || writeFailed || readFailed)) {
        if (writeFailed) {
            ShowCompressionError("Error whilst uncompressing '%s', unable to write to '%s'",
                                 destination, destination);
        } else {
            ShowCompressionError("Error whilst uncompressing '%s', unable to read from '%s'",
                                 destination, source);
        }
    }
    return done;
}
