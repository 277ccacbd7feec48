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

namespace {

enum Outcome { kNotDone, kDone, kDoneWriteFailed, kReadFailed };

// The shared body of both directions: the whole open source into one buffer, the one-shot
// bzip2 call into an output buffer of `capacity` bytes, and what it produced to the destination.
template <typename Call>
Outcome Transform(FileHandle& in, FileHandle& out, unsigned long long capacity, Call call) {
    unsigned long long size = in.Size();
    if ((size >> 32) != 0 || size > kBufferLimit || capacity > kBufferLimit) {
        return kReadFailed;
    }
    char* input = new (std::nothrow) char[size ? size : 1];
    char* output = new (std::nothrow) char[capacity];
    Outcome outcome;
    if (input == nullptr || output == nullptr) {
        outcome = kReadFailed;
    } else if (in.Read(input, static_cast<DWORD>(size), AtCurrent) != size) {
        outcome = kReadFailed;
    } else {
        unsigned int produced = static_cast<unsigned int>(capacity);
        bool ok = call(output, &produced, input, static_cast<unsigned int>(size)) == BZ_OK &&
                  out.Write(output, produced, AtCurrent);
        outcome = ok ? kDone : kDoneWriteFailed;
    }
    delete[] input;
    delete[] output;
    return outcome;
}

// verb is "compressing" or "uncompressing"; the write message names the destination twice.
void Report(Outcome outcome, const char* verb, const char* source, const char* destination) {
    if (outcome == kDone) {
        return;
    }
    char text[kLineCapacity];
    if (outcome == kDoneWriteFailed) {
        FormatText(text, sizeof(text), "Error whilst %s '%s', unable to write to '%s'", verb,
                   destination, destination);
    } else {
        FormatText(text, sizeof(text), "Error whilst %s '%s', unable to read from '%s'", verb,
                   destination, source);
    }
    MessageBoxA(nullptr, text, "Install", MB_TOPMOST | MB_ICONERROR | MB_OK);
}

bool IsDone(Outcome outcome) {
    return outcome == kDone || outcome == kDoneWriteFailed;
}

}  // namespace

bool CompressFile(const char* source, const char* destination, bool report,
                  uint32_t* uncompressedSize) {
    *uncompressedSize = 0;
    Outcome outcome = kNotDone;
    FileHandle in(source, GENERIC_READ, OPEN_EXISTING, false, true);
    if (in.IsOpen()) {
        FileHandle out(destination, GENERIC_WRITE, CREATE_ALWAYS, false, true);
        if (out.IsOpen()) {
            unsigned long long n = in.Size();
            *uncompressedSize = static_cast<uint32_t>(n);
            outcome = Transform(in, out, n * 101 / 100 + 600,
                                [](char* o, unsigned int* length, char* i, unsigned int count) {
                                    return BZ2_bzBuffToBuffCompress(o, length, i, count, 9, 0, 30);
                                });
        }
    }
    if (report) {
        Report(outcome, "compressing", source, destination);
    }
    return IsDone(outcome);
}

bool DecompressFile(const char* source, const char* destination, bool report,
                    uint32_t uncompressedSize) {
    if (FileSizeOfPath(source) == 0) {
        FileHandle empty(destination, GENERIC_WRITE, CREATE_ALWAYS, false, true);
        return true;
    }
    Outcome outcome = kNotDone;
    FileHandle in(source, GENERIC_READ, OPEN_EXISTING, false, true);
    if (in.IsOpen()) {
        FileHandle out(destination, GENERIC_WRITE, CREATE_ALWAYS, false, true);
        if (out.IsOpen()) {
            if (uncompressedSize == 0) {
                outcome = kDone;
            } else {
                outcome =
                    Transform(in, out, static_cast<unsigned long long>(uncompressedSize) + 5000,
                              [](char* o, unsigned int* length, char* i, unsigned int count) {
                                  return BZ2_bzBuffToBuffDecompress(o, length, i, count, 0, 0);
                              });
            }
        }
    }
    if (report) {
        Report(outcome, "uncompressing", source, destination);
    }
    return IsDone(outcome);
}
