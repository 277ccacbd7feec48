// Lines per second of ReadLine over a generated 5 MB script, beside the same rule read with
// one system call per byte, in one run. Usage: bench_script [megabytes]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "platform/file_handle.h"
#include "script/line_reader.h"

namespace {

std::string GeneratedScript(size_t size) {
    static const char* const lines[] = {"[CopyFile]",
                                        "program%u.exe",
                                        "<Destination>\\bin\\program%u.exe",
                                        "[Action]",
                                        "Installing component %u",
                                        "[CreateIcon]",
                                        "<Destination>\\bin\\program%u.exe",
                                        "<Start Programs>\\Sample Suite\\Program %u.lnk",
                                        "",
                                        "[Registry]",
                                        "HKCU",
                                        "Software\\Sample Suite\\Component%u",
                                        "DWORD",
                                        "Count",
                                        "%u"};
    std::string script;
    script.reserve(size + 100);
    char line[200];
    for (unsigned i = 0; script.size() < size; ++i) {
        snprintf(line, sizeof(line), lines[i % (sizeof(lines) / sizeof(lines[0]))], i);
        script += line;
        script += "\r\n";
    }
    return script;
}

// The reading rule with one system read per byte.
bool ReadLineByteByByte(FileHandle& file, char* buffer, size_t capacity) {
    size_t stored = 0;
    bool readAny = false;
    char byte;
    while (file.Read(&byte, 1, AtCurrent) == 1) {
        readAny = true;
        if (byte == '\r') {
            file.Read(&byte, 1, AtCurrent);
            break;
        }
        if (stored + 1 < capacity) {
            buffer[stored++] = byte;
        }
    }
    buffer[stored] = '\0';
    return readAny;
}

struct Run {
    unsigned long lines = 0;
    unsigned long checksum = 0;
    double seconds = 0;
};

Run Measure(const char* path, bool (*reader)(FileHandle&, char*, size_t)) {
    FileHandle file(path, GENERIC_READ, OPEN_EXISTING, false, true);
    Run run;
    if (!file.IsOpen()) {
        return run;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    char line[1000];
    while (reader(file, line, sizeof(line))) {
        ++run.lines;
        for (const char* p = line; *p; ++p) {
            run.checksum = run.checksum * 31 + static_cast<unsigned char>(*p);
        }
    }
    QueryPerformanceCounter(&end);
    run.seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    double megabytes = argc > 1 ? atof(argv[1]) : 5.0;
    if (megabytes <= 0) {
        megabytes = 5.0;
    }
    char folder[MAX_PATH];
    char path[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    GetTempFileNameA(folder, "bsc", 0, path);
    std::string script = GeneratedScript(static_cast<size_t>(megabytes * 1024 * 1024));
    {
        FileHandle out(path, GENERIC_WRITE, CREATE_ALWAYS, false, false);
        if (!out.Write(script.data(), static_cast<DWORD>(script.size()), AtStart)) {
            fprintf(stderr, "bench_script: cannot write %s\n", path);
            return 1;
        }
    }
    Run buffered = Measure(path, ReadLine);
    Run byteByByte = Measure(path, ReadLineByteByByte);
    DeleteFileA(path);

    printf("script: %lu bytes, %lu lines\n", static_cast<unsigned long>(script.size()),
           buffered.lines);
    printf("ReadLine (read-ahead):    %10.0f lines/s  (%.3f s)\n",
           buffered.lines / buffered.seconds, buffered.seconds);
    printf("one system read per byte: %10.0f lines/s  (%.3f s)\n",
           byteByByte.lines / byteByByte.seconds, byteByByte.seconds);
    printf("ratio: %.1fx\n", byteByByte.seconds / buffered.seconds);
    if (buffered.lines != byteByByte.lines || buffered.checksum != byteByByte.checksum ||
        buffered.lines == 0) {
        printf("MISMATCH: the two readers returned different lines\n");
        return 1;
    }
    printf("both readers returned the same %lu lines\n", buffered.lines);
    return 0;
}
