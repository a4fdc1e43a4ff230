// vavadoz: the host's system services as the preferences library uses them.
#pragma once

#include "cfi.h"
#include "clock.h"
#include "env.h"
#include "error.h"
#include "kvxml.h"
#include "mach.h"
#include "om.h"
#include "om_set.h"
#include "rdebug.h"
#include "shell_folders.h"
#include "sm.h"
#include "str.h"
#include "text.h"
