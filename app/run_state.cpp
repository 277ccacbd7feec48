#include "app/run_state.h"

// Zero-initialised static storage: every field starts empty, false or null.
RunState runState;

// Definition order fixes construction order (the list, then the mutex) and the reverse
// order of their destruction at exit.
RecordList RunState::pendingRegistrations;
Mutex RunState::stateMutex;
