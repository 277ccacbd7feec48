#include "archive/packing.h"

#include <windows.h>

#include <new>
#include <string.h>

#include "app/temp_file.h"
#include "archive/compression.h"
#include "archive/payload_archive.h"
#include "platform/path_text.h"
#include "platform/text.h"

static void ShowPackError(const char* format, const char* first, const char* second) {
    char text[kLineCapacity];
    FormatText(text, sizeof(text), format, first, second);
    MessageBoxA(nullptr, text, "Install", MB_TOPMOST | MB_ICONERROR | MB_OK);
}

bool PayloadArchive::Add(const char* source, char* entryName) {
    FileNamePart(source, entryName);
    if (!file.IsOpen()) {
        return false;
    }
    // One byte holds the name's length plus its NUL.
    if (strlen(entryName) >= 255) {
        ShowPackError(
            "Unable to add '%s' to '%s': entry names must be shorter than 255 characters.", source,
            file.Path());
        return false;
    }
    if (tooLarge) {
        ShowPackError("Unable to add '%s' to '%s': archives must stay below 2 GiB.", source,
                      file.Path());
        return false;
    }
    TempFile temp("Ext");
    uint32_t uncompressedSize = 0;
    if (!CompressFile(source, temp.Path(), true, &uncompressedSize)) {
        return false;
    }
    ArchiveEntry* entry = new (std::nothrow) ArchiveEntry;
    if (entry == nullptr) {
        ShowPackError("Error whilst compressing '%s', unable to read from '%s'", source,
                      temp.Path());
        return false;
    }
    memset(entry, 0, sizeof(*entry));
    entry->dataOffset = directoryOffset;
    entry->uncompressedSize = uncompressedSize;
    CopyText(entry->name, sizeof(entry->name), entryName);

    bool complete = false;
    bool overLimit = false;
    FileHandle in(temp.Path(), GENERIC_READ, OPEN_EXISTING, false, true);
    if (in.IsOpen()) {
        unsigned long long storedSize = in.Size();
        // Data, directory and trailer must all end below the 2 GiB limit.
        unsigned long long end = static_cast<unsigned long long>(directoryOffset) + storedSize +
                                 (entries.Count() + 1) * (kRecordHeaderSize + 255ull) +
                                 kTrailerSize;
        if (end >= kArchiveSizeLimit) {
            overLimit = true;
        } else {
            entry->storedSize = static_cast<uint32_t>(storedSize);
            unsigned char* stored =
                new (std::nothrow) unsigned char[entry->storedSize ? entry->storedSize : 1];
            // Recorded before the data goes over the old directory, so that Close always
            // writes a directory behind it.
            if (stored != nullptr &&
                in.Read(stored, entry->storedSize, AtCurrent) == entry->storedSize &&
                entries.Append(entry)) {
                entry->checksum = StoredChecksum(stored, entry->storedSize);
                file.Seek(static_cast<LONG>(directoryOffset), FILE_BEGIN);
                file.Write(stored, entry->storedSize, AtCurrent);
                complete = true;
            }
            delete[] stored;
        }
    }
    if (!complete) {
        delete entry;
        if (overLimit) {
            ShowPackError("Unable to add '%s' to '%s': archives must stay below 2 GiB.", source,
                          file.Path());
        } else {
            ShowPackError("Error whilst compressing '%s', unable to read from '%s'", source,
                          temp.Path());
        }
        return false;
    }
    directoryOffset += entry->storedSize;
    modified = true;
    return true;
}

bool RunPackMode(const char* source, const char* archivePath, char* entryName) {
    PayloadArchive archive(archivePath, true);
    return archive.Add(source, entryName);
}
