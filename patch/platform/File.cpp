#include "File.h"
