#include <new>

#include "app/temp_file.h"
#include "archive/compression.h"
#include "archive/payload_archive.h"
#include "platform/text.h"

bool PayloadArchive::Extract(const char* name, const char* destination) {
    bool result = false;
    unsigned long long fileSize = file.Size();
    for (int i = 0; i < entries.Count(); ++i) {
        const ArchiveEntry& entry = Entry(i);
        if (!EqualIgnoringAsciiCase(entry.name, name)) {
            continue;
        }
        // Stored bytes that would run past the end of the file cannot all arrive; skip the
        // entry as a short read would, without asking for that much memory first.
        if (static_cast<unsigned long long>(entry.dataOffset) + entry.storedSize > fileSize) {
            continue;
        }
        file.Seek(static_cast<LONG>(entry.dataOffset), FILE_BEGIN);
        TempFile temp("Ext");
        FileHandle out(temp.Path(), GENERIC_WRITE, CREATE_ALWAYS, false, true);
        if (!out.IsOpen()) {
            continue;
        }
        unsigned char* stored =
            new (std::nothrow) unsigned char[entry.storedSize ? entry.storedSize : 1];
        if (stored == nullptr) {
            continue;
        }
        if (file.Read(stored, entry.storedSize, AtCurrent) == entry.storedSize &&
            out.Write(stored, entry.storedSize, AtCurrent) &&
            StoredChecksum(stored, entry.storedSize) == entry.checksum) {
            out.Close();
            if (DecompressFile(temp.Path(), destination, true, entry.uncompressedSize)) {
                result = true;
            }
        }
        delete[] stored;
    }
    return result;
}
