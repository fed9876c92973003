#include "workbook/application.h"
