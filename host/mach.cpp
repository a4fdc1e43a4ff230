// The host's checking level.
#include <vavadoz/mach.h>

int MACH__checking_level = 0;
