#include "SessionTable.h"

#include <array>
#include <mutex>

namespace tavo {
namespace {

struct Table {
    std::mutex mutex;  // guards the slots themselves, never a session's work
    std::array<std::unique_ptr<PatchSession>, kSessionSlots> slots;
    int cursor = 0;
};

Table& table() {
    static Table instance;
    return instance;
}

}  // namespace

int insertSession(RepositoryKind kind) {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    const int first = t.cursor;
    t.cursor = (t.cursor + 1) % kSessionSlots;
    for (int i = 0; i < kSessionSlots; ++i) {
        const int slot = (first + i) % kSessionSlots;
        if (!t.slots[slot]) {
            t.slots[slot] = std::make_unique<PatchSession>(kind);
            return slot;
        }
    }
    return kNoHandle;
}

PatchSession* findSession(int handle) {
    if (handle < 0 || handle >= kSessionSlots) return nullptr;
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.slots[handle].get();
}

bool eraseSession(int handle) {
    if (handle < 0 || handle >= kSessionSlots) return false;
    Table& t = table();
    std::unique_ptr<PatchSession> doomed;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        doomed = std::move(t.slots[handle]);
    }
    // Destroyed outside the lock: it joins the session's threads.
    return doomed != nullptr;
}

}  // namespace tavo
