#include "SharedExclusiveLock.h"

#include "WorkerThread.h"

namespace tavo {

// Each side announces itself in its own count before looking at the other's,
// and backs off while the other side is present. Sequentially consistent
// operations are what makes this announce-then-check pattern exclusive.

void SharedExclusiveLock::enterShared() {
    for (;;) {
        sharedCount_.fetch_add(1);
        if (exclusiveCount_.load() == 0) return;
        sharedCount_.fetch_sub(1);
        yieldThread();
    }
}

void SharedExclusiveLock::leaveShared() { sharedCount_.fetch_sub(1); }

void SharedExclusiveLock::enterExclusive() {
    for (;;) {
        exclusiveCount_.fetch_add(1);
        if (sharedCount_.load() == 0) break;
        exclusiveCount_.fetch_sub(1);
        yieldThread();
    }
    exclusiveMutex_.lock();
}

void SharedExclusiveLock::leaveExclusive() {
    exclusiveMutex_.unlock();
    exclusiveCount_.fetch_sub(1);
}

}  // namespace tavo
