#include "OsError.h"
