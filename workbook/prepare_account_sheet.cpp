// Implemented with the conversion change.
#include "workbook/prepare_account_sheet.h"
