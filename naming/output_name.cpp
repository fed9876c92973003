// Implemented with the window change.
#include "naming/output_name.h"
