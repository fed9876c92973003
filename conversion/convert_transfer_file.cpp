// Implemented with the conversion change.
#include "conversion/convert_transfer_file.h"
