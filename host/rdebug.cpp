// Debug tokens.
#include <vavadoz/rdebug.h>

void RDEBUG_register_token(const char* /*name*/) {}
