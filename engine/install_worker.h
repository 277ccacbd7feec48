#pragma once
// The worker thread that executes the install script while the progress dialog runs.

class WorkerThread;

// Starts InstallWorker on a thread of its own and returns at once. When no thread can be
// started, no script runs but the final steps do, so workerDone is still set.
void StartInstallWorker();

// Runs setup.dat from the scratch folder section by section, publishing progress in runState,
// and finishes with "Registering Dlls", the component registrations and workerDone.
void InstallWorker(WorkerThread* thread);
