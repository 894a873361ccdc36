#include "PathText.h"
