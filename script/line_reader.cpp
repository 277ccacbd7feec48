#include "script/line_reader.h"

#include "platform/file_handle.h"

bool ReadLine(FileHandle& file, char* buffer, size_t capacity) {
    size_t stored = 0;
    bool readAny = false;
    char byte;
    while (file.ReadByte(&byte)) {
        readAny = true;
        if (byte == '\r') {
            // The LF of the pair, taken unseen.
            file.ReadByte(&byte);
            break;
        }
        // Past capacity - 1 the rest of the line is dropped up to its CR.
        if (stored + 1 < capacity) {
            buffer[stored++] = byte;
        }
    }
    if (capacity > 0) {
        buffer[stored] = '\0';
    }
    return readAny;
}

void ExpandNewlineEscapes(char* text) {
    for (char* p = text; *p != '\0'; ++p) {
        if (p[0] == '\\' && p[1] == 'n') {
            p[0] = '\r';
            p[1] = '\n';
        }
    }
}
