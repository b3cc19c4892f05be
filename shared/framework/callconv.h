// The calling convention of everything a driver calls back into: message entries (the
// library's own storage filter among them), the saved-settings callbacks and the abort poll.
// The library exports these stdcall on 32-bit Windows; a pointer type without the same
// convention would call them with the wrong stack cleanup and corrupt the stack silently.
// It belongs on every such pointer type and on every definition meant to be called through one.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define QELCALLBACK __stdcall
#else
#define QELCALLBACK
#endif
