#include "platform/path_text.h"

#include <string.h>

#include "platform/text.h"

// The dot that starts an extension: the last one, when it lies in the file name part.
static const char* ExtensionDot(const char* path) {
    const char* dot = strrchr(path, '.');
    const char* slash = strrchr(path, '\\');
    return (dot != nullptr && (slash == nullptr || dot > slash)) ? dot : nullptr;
}

void FileNamePart(const char* path, char* output) {
    const char* slash = strrchr(path, '\\');
    CopyText(output, kPathCapacity, slash ? slash + 1 : path);
}

void FolderPart(const char* path, char* output) {
    CopyText(output, kPathCapacity, path);
    const char* slash = strrchr(path, '\\');
    size_t cut = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    if (slash && cut < kPathCapacity) {
        output[cut] = '\0';
    }
}

void ExtensionPart(const char* path, char* output) {
    const char* dot = ExtensionDot(path);
    CopyText(output, kPathCapacity, dot ? dot : ".");
}

void StripExtension(const char* path, char* output) {
    CopyText(output, kPathCapacity, path);
    const char* dot = ExtensionDot(path);
    size_t cut = dot ? static_cast<size_t>(dot - path) : 0;
    if (dot && cut < kPathCapacity) {
        output[cut] = '\0';
    }
}

void FileTitle(const char* path, char* output) {
    char stripped[kPathCapacity];
    StripExtension(path, stripped);
    FileNamePart(stripped, output);
}

void AppendBackslash(char* path) {
    size_t length = strlen(path);
    if (length > 0 && path[length - 1] != '\\') {
        AppendText(path, kPathCapacity, "\\");
    }
}
