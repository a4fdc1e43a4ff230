// What the host services library exports: the declarations of its public headers, each put
// between VAVADOZ_EXPORTS_BEGIN and VAVADOZ_EXPORTS_END. Everything else is built hidden.
#pragma once

#define VAVADOZ_EXPORTS_BEGIN _Pragma("GCC visibility push(default)")
#define VAVADOZ_EXPORTS_END _Pragma("GCC visibility pop")
