#include "WorkerThread.h"
