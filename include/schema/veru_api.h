// What the preferences library exports: the declarations of its public headers, each put
// between VERU_EXPORTS_BEGIN and VERU_EXPORTS_END. Everything else is built hidden.
#pragma once

#define VERU_EXPORTS_BEGIN _Pragma("GCC visibility push(default)")
#define VERU_EXPORTS_END _Pragma("GCC visibility pop")
