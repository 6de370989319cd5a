#include "core/Names.h"
