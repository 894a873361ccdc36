// The process-wide table of 100 session slots; a handle is a slot index.
#pragma once

#include <memory>

#include "PatchSession.h"

namespace tavo {

constexpr int kSessionSlots = 100;
constexpr int kNoHandle = -1;

// Takes the slot search's start from the rotating cursor (advancing it) and
// stores the session in the first empty slot from there; kNoHandle when full.
int insertSession(RepositoryKind kind);
// Null for a handle outside 0..99 or an empty slot.
PatchSession* findSession(int handle);
// False for an unknown handle.
bool eraseSession(int handle);

}  // namespace tavo
