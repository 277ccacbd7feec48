#pragma once
// Reading the run mode and the pack request from the executable's command line.

enum class RunMode { Install, Uninstall, Pack };

// Case-sensitive token search: "<uninstall>" first, then "<packthis>", else install.
RunMode SelectRunMode(const char* commandLine);

// Splits <packthis>"source"<packto>"archive" into two 260-byte buffers. On a request the
// executable cannot handle, returns false with a message for the user in problem.
bool ParsePackCommandLine(const char* commandLine, char* source, char* archive,
                          const char** problem);
