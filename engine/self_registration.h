#pragma once
// Components that declare "OLESelfRegister" in their version resource are collected while
// files are installed and registered together once the last file is in place.

// Queues the file in RunState::pendingRegistrations when it carries the marker.
void ProbeSelfRegistration(const char* path);
// Calls DllRegisterServer of every queued component in queue order, then empties the queue.
void RegisterPendingComponents();
