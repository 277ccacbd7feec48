#include "archive/payload_archive.h"

#include <new>
#include <string.h>

#include "platform/text.h"

static uint32_t ReadU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

static void WriteU32(unsigned char* p, uint32_t value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

int32_t TrailerChecksum(const unsigned char* bytes) {
    int32_t sum = 0;
    for (int i = 0; i < 16; ++i) {
        sum += static_cast<signed char>(bytes[i]);
    }
    return sum;
}

uint32_t StoredChecksum(const unsigned char* bytes, uint32_t count, uint32_t start) {
    uint32_t sum = start;
    for (uint32_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return sum;
}

void EncodeTrailer(const ArchiveTrailer& trailer, unsigned char out[20]) {
    WriteU32(out + 4, trailer.directoryOffset);
    WriteU32(out + 8, trailer.entryCount);
    WriteU32(out + 12, trailer.magic1);
    WriteU32(out + 16, trailer.magic2);
    WriteU32(out, static_cast<uint32_t>(TrailerChecksum(out + 4)));
}

void EncodeRecordHeader(const ArchiveEntry& entry, unsigned char out[17]) {
    WriteU32(out, entry.dataOffset);
    WriteU32(out + 4, entry.storedSize);
    WriteU32(out + 8, entry.uncompressedSize);
    WriteU32(out + 12, entry.checksum);
    out[16] = entry.nameLength;
}

PayloadArchive::PayloadArchive(const char* path, bool writable)
    : file(path, writable ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ, OPEN_ALWAYS, true,
           true) {
    Open();
}

PayloadArchive::~PayloadArchive() {
    Close();
}

void PayloadArchive::Open() {
    if (!file.IsOpen()) {
        return;
    }
    unsigned long long size = file.Size();
    directoryOffset = static_cast<uint32_t>(size);
    if (size >= kArchiveSizeLimit) {
        tooLarge = true;
        return;
    }
    if (size < kTrailerSize) {
        return;
    }
    unsigned char raw[kTrailerSize];
    file.Seek(static_cast<LONG>(size - kTrailerSize), FILE_BEGIN);
    if (file.Read(raw, kTrailerSize, AtCurrent) != kTrailerSize) {
        return;
    }
    uint32_t offset = ReadU32(raw + 4);
    uint32_t count = ReadU32(raw + 8);
    if (ReadU32(raw + 12) != kTrailerMagic1 || ReadU32(raw + 16) != kTrailerMagic2 ||
        static_cast<int32_t>(ReadU32(raw)) != TrailerChecksum(raw + 4)) {
        return;
    }
    // A directory that would start inside or past the trailer cannot be ours; treat the file
    // as holding no archive instead of appending entries beyond its end.
    if (offset > size - kTrailerSize) {
        return;
    }
    directoryOffset = offset;
    file.Seek(static_cast<LONG>(offset), FILE_BEGIN);
    // The loop ends at the end of the file whatever entryCount claims: once a read comes up
    // short every later read would too.
    for (uint32_t i = 0; i < count; ++i) {
        unsigned char header[kRecordHeaderSize];
        if (file.Read(header, kRecordHeaderSize, AtCurrent) != kRecordHeaderSize) {
            break;
        }
        ArchiveEntry* entry = new (std::nothrow) ArchiveEntry;
        if (entry == nullptr) {
            break;
        }
        memset(entry, 0, sizeof(*entry));
        entry->dataOffset = ReadU32(header);
        entry->storedSize = ReadU32(header + 4);
        entry->uncompressedSize = ReadU32(header + 8);
        entry->checksum = ReadU32(header + 12);
        entry->nameLength = header[16];
        if (file.Read(entry->name, entry->nameLength, AtCurrent) != entry->nameLength) {
            delete entry;
            break;
        }
        entry->name[sizeof(entry->name) - 1] = '\0';
        if (!entries.Append(entry)) {
            delete entry;
            break;
        }
    }
}

bool PayloadArchive::Find(const char* name) const {
    for (int i = 0; i < entries.Count(); ++i) {
        if (EqualIgnoringAsciiCase(Entry(i).name, name)) {
            return true;
        }
    }
    return false;
}

void PayloadArchive::CopyStub(const char* destination) {
    uint32_t end = static_cast<uint32_t>(file.Size());
    for (int i = 0; i < entries.Count(); ++i) {
        if (Entry(i).dataOffset < end) {
            end = Entry(i).dataOffset;
        }
    }
    file.Seek(0, FILE_BEGIN);
    FileHandle out(destination, GENERIC_WRITE, CREATE_ALWAYS, false, true);
    if (!out.IsOpen()) {
        return;
    }
    enum { kChunk = 64 * 1024 };
    unsigned char* buffer = new (std::nothrow) unsigned char[kChunk];
    if (buffer == nullptr) {
        return;
    }
    uint32_t left = end;
    while (left > 0) {
        DWORD want = left < DWORD(kChunk) ? left : DWORD(kChunk);
        DWORD got = file.Read(buffer, want, AtCurrent);
        if (got == 0) {
            break;
        }
        out.Write(buffer, got, AtCurrent);
        left -= got;
    }
    delete[] buffer;
}

void PayloadArchive::Close() {
    if (modified && file.IsOpen()) {
        file.Seek(static_cast<LONG>(directoryOffset), FILE_BEGIN);
        for (int i = 0; i < entries.Count(); ++i) {
            ArchiveEntry& entry = *static_cast<ArchiveEntry*>(entries[i]);
            // A foreign record may hold 255 name bytes without a NUL; cut it so that the
            // length with its NUL still fits the one byte.
            if (strlen(entry.name) > 254) {
                entry.name[254] = '\0';
            }
            entry.nameLength = static_cast<uint8_t>(strlen(entry.name) + 1);
            unsigned char header[kRecordHeaderSize];
            EncodeRecordHeader(entry, header);
            file.Write(header, kRecordHeaderSize, AtCurrent);
            file.Write(entry.name, entry.nameLength, AtCurrent);
        }
        ArchiveTrailer trailer = {0, directoryOffset, static_cast<uint32_t>(entries.Count()),
                                  kTrailerMagic1, kTrailerMagic2};
        unsigned char raw[kTrailerSize];
        EncodeTrailer(trailer, raw);
        file.Write(raw, kTrailerSize, AtCurrent);
        modified = false;
    }
    file.Close();
    ReleaseEntries();
}

void PayloadArchive::ReleaseEntries() {
    for (int i = 0; i < entries.Count(); ++i) {
        delete static_cast<ArchiveEntry*>(entries[i]);
    }
    entries.Clear();
}
