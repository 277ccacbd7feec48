#pragma once
// The catalogue of a payload archive: bzip2 entries, a directory of records and a 20-byte
// trailer at the very end of a file (an installer's executable, or a file of its own).

#include <stdint.h>

#include "platform/file_handle.h"
#include "platform/pointer_array.h"

enum : uint32_t {
    kTrailerSize = 20,
    kRecordHeaderSize = 17,
    kTrailerMagic1 = 0x03345283u,
    kTrailerMagic2 = 0x0EFFF343u,
    // Offsets are 32-bit and the file is positioned with signed distances.
    kArchiveSizeLimit = 0x80000000u,
};

struct ArchiveEntry {
    uint32_t dataOffset;
    uint32_t storedSize;
    uint32_t uncompressedSize;
    uint32_t checksum;
    uint8_t nameLength;
    char name[260];
};

struct ArchiveTrailer {
    int32_t checksum;
    uint32_t directoryOffset;
    uint32_t entryCount;
    uint32_t magic1;
    uint32_t magic2;
};

// Sum of the trailer's bytes 4 to 19, each taken as a signed byte.
int32_t TrailerChecksum(const unsigned char* bytes4to19);
// Sum of stored bytes taken as unsigned bytes, wrapping at 32 bits.
uint32_t StoredChecksum(const unsigned char* bytes, uint32_t count, uint32_t start = 0);

void EncodeTrailer(const ArchiveTrailer& trailer, unsigned char out[20]);
void EncodeRecordHeader(const ArchiveEntry& entry, unsigned char out[17]);

class PayloadArchive {
public:
    PayloadArchive(const char* path, bool writable);
    ~PayloadArchive();
    PayloadArchive(const PayloadArchive&) = delete;
    PayloadArchive& operator=(const PayloadArchive&) = delete;

    bool Find(const char* name) const;
    bool Extract(const char* name, const char* destination);
    // True when the source was appended as a new entry.
    bool Add(const char* source, char* entryName);
    void CopyStub(const char* destination);
    void Close();

    int EntryCount() const { return entries.Count(); }
    const ArchiveEntry& Entry(int index) const {
        return *static_cast<const ArchiveEntry*>(entries[index]);
    }
    uint32_t DirectoryOffset() const { return directoryOffset; }
    bool IsOpen() const { return file.IsOpen(); }

private:
    void Open();
    void ReleaseEntries();

    PointerArray entries;
    FileHandle file;
    bool modified = false;
    uint32_t directoryOffset = 0;
    bool tooLarge = false;
};
