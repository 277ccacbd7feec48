#pragma once
// Reading the install script and the uninstall record: one CR LF-terminated line at a time.

#include <stddef.h>

class FileHandle;

// Reads the next line into buffer (capacity bytes, zero-terminated) and consumes its CR and
// the one byte after it (the LF of the pair; a lone CR swallows whatever follows). True when a
// line was read, also an empty one or a last line without CR LF; false at the end of the file
// (or on a read error, or on a file that is not open) with the buffer left empty.
// A line of capacity characters or more keeps its first capacity - 1 characters; the rest, up
// to and including its CR LF, is skipped, so its tail can never be read as a line of its own.
// Bytes come through the handle's read-ahead (FileHandle::ReadByte): rewinding with Seek, a
// positioned Read or Write, or any use of Handle() makes the next call read from there.
bool ReadLine(FileHandle& file, char* buffer, size_t capacity);

// In place: every backslash followed by a lower-case n becomes CR LF (same length).
void ExpandNewlineEscapes(char* text);
