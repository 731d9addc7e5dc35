#include "tools/version.h"
