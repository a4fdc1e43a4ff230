// vavadoz: the host's system services as the preferences library uses them. Strings that a
// service returns as char* are new (SM_free); const char* results belong to the service. The
// services keep process-wide state without locks: they are called from one thread at a time.
#pragma once

#include "vavadoz/cfi.h"
#include "vavadoz/clock.h"
#include "vavadoz/env.h"
#include "vavadoz/error.h"
#include "vavadoz/kvxml.h"
#include "vavadoz/mach.h"
#include "vavadoz/om.h"
#include "vavadoz/om_set.h"
#include "vavadoz/rdebug.h"
#include "vavadoz/shell_folders.h"
#include "vavadoz/sm.h"
#include "vavadoz/str.h"
#include "vavadoz/text.h"
