#include "Sha1.h"
