#pragma once

// Appends the source file to the archive as a new entry; true when it was added.
bool RunPackMode(const char* source, const char* archive, char* entryName);
