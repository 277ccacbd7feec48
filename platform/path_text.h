#pragma once
// Splitting path texts. Outputs are caller buffers of 260 bytes, separate from the source;
// the only separator is the backslash.

void FileNamePart(const char* path, char* output);
void FolderPart(const char* path, char* output);
void ExtensionPart(const char* path, char* output);
void StripExtension(const char* path, char* output);
void FileTitle(const char* path, char* output);
// In place, on a buffer of 260 bytes: adds a trailing backslash to a non-empty path.
void AppendBackslash(char* path);
