// Header-only helpers; this unit keeps the support library non-empty.
#include "capture.h"
