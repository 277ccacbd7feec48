// Payload benchmark driver, run under Wine by tools/bench-payload (not a test).
//   bench_payload.exe generate FOLDER        writes the fixed data set
//   bench_payload.exe pack FOLDER ARCHIVE    packs every file, prints seconds and bytes
//   bench_payload.exe extract ARCHIVE FOLDER OUT
//                                            extracts every entry, checks it, prints seconds
//   bench_payload.exe pack-one FILE ARCHIVE / extract-one ARCHIVE NAME OUT
//                                            one operation, then this process's peak memory

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "archive/packing.h"
#include "archive/payload_archive.h"
#include "tests/support/test_files.h"

namespace {

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& name : ListFolder(folder)) {
        names.push_back(name);
    }
    return names;
}

void PrintPeak(const char* what) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    // Wine keeps the peak working set; its peak pagefile figure does not follow the heap.
    printf("%s: peak working set %.1f MB\n", what, counters.PeakWorkingSetSize / 1048576.0);
}

// Text that compresses like documentation and logs, and noise that does not compress at all.
void Generate(const std::string& folder) {
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteBytes(folder + "\\large-text.txt", TextBytes(24 << 20, 101));
    WriteBytes(folder + "\\large-binary.bin", RandomBytes(16 << 20, 102));
    std::string mixed;
    for (int i = 0; i < 40; ++i) {
        mixed += TextBytes(128 << 10, 200 + i) + RandomBytes(128 << 10, 300 + i);
    }
    WriteBytes(folder + "\\mixed.dat", mixed);
    for (int i = 0; i < 200; ++i) {
        char name[64];
        snprintf(name, sizeof(name), "\\small-%03d.%s", i, i % 3 ? "txt" : "bin");
        size_t size = 512 + (i * 977) % 7680;
        WriteBytes(folder + name, i % 3 ? TextBytes(size, 1000 + i) : RandomBytes(size, 1000 + i));
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate" && argc == 3) {
        Generate(argv[2]);
        return 0;
    }
    if (command == "pack" && argc == 4) {
        std::string folder = argv[2];
        unsigned long long bytes = 0;
        LARGE_INTEGER start = Now();
        for (const auto& name : Files(folder)) {
            std::string path = folder + "\\" + name;
            bytes += ReadBytes(path).size();
            char entry[260];
            if (!RunPackMode(path.c_str(), argv[3], entry)) {
                fprintf(stderr, "pack failed: %s\n", path.c_str());
                return 1;
            }
        }
        printf("pack seconds %.3f bytes %llu\n", Seconds(start, Now()), bytes);
        return 0;
    }
    if (command == "extract" && argc == 5) {
        std::string folder = argv[3], out = argv[4];
        CreateDirectoryA(out.c_str(), nullptr);
        PayloadArchive archive(argv[2], false);
        unsigned long long bytes = 0;
        LARGE_INTEGER start = Now();
        for (int i = 0; i < archive.EntryCount(); ++i) {
            std::string destination = out + "\\" + archive.Entry(i).name;
            if (!archive.Extract(archive.Entry(i).name, destination.c_str())) {
                fprintf(stderr, "extract failed: %s\n", archive.Entry(i).name);
                return 1;
            }
            bytes += archive.Entry(i).uncompressedSize;
        }
        double seconds = Seconds(start, Now());
        for (int i = 0; i < archive.EntryCount(); ++i) {
            std::string name = archive.Entry(i).name;
            if (ReadBytes(out + "\\" + name) != ReadBytes(folder + "\\" + name)) {
                fprintf(stderr, "extracted %s differs from its source\n", name.c_str());
                return 1;
            }
        }
        printf("extract seconds %.3f bytes %llu\n", seconds, bytes);
        return 0;
    }
    if (command == "pack-one" && argc == 4) {
        char entry[260];
        bool ok = RunPackMode(argv[2], argv[3], entry);
        PrintPeak("pack-one");
        return ok ? 0 : 1;
    }
    if (command == "extract-one" && argc == 5) {
        PayloadArchive archive(argv[2], false);
        bool ok = archive.Extract(argv[3], argv[4]);
        PrintPeak("extract-one");
        return ok ? 0 : 1;
    }
    fprintf(stderr, "usage: see the comment at the top of bench_payload.cpp\n");
    return 2;
}
