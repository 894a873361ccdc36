#include "BufferedFile.h"
