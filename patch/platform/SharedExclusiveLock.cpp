#include "SharedExclusiveLock.h"
