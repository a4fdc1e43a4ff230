// The host's checking level.
#include "mach.h"

int MACH__checking_level = 0;
