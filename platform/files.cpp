// Files by number: implemented with the conversion change.
#include "platform/files.h"
