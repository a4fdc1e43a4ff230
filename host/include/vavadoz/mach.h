// The host's checking level: 0 normally; above 0 the libraries check their arguments and
// report timings.
#pragma once
#include "api.h"

VAVADOZ_EXPORTS_BEGIN

extern int MACH__checking_level;

VAVADOZ_EXPORTS_END
