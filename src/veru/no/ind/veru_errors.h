// The library's error table, closed by a row with code 0.
#pragma once

#include <veru.h>

extern const ERROR_table_row_s VERU_ERROR_TABLE[];
