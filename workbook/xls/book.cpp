// The .xls writer: implemented with its own change.
#include "workbook/xls/book.h"
