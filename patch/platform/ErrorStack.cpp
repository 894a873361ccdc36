#include "ErrorStack.h"
