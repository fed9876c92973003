// Implemented with the batch-tool change.
#include "bench/generator/transfer_generator.h"
