#pragma once
// Starting programs and documents for "[RunFile]" and "[RunAndWaitFile]", straight from the
// destination or out of the payload ("<TempInstall>" followed by an entry name).

// path: writable 260-byte text, rewritten in place (tokens expanded; a payload entry replaced by
// the path of its extracted copy). A program (".exe" in any case) or any path with arguments
// becomes a process, waited for when wait is set; anything else is opened by the shell and not
// waited for. Failures are reported here and never stop the install.
void LaunchProgram(char* path, const char* arguments, bool wait);

// CreateProcessA with the command line as it stands; waits for the process to end when wait is
// set. True when the process was created.
bool RunProcess(char* commandLine, bool wait);
