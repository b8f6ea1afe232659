// Stand-in for QNX Neutrino's <sys/slog.h>: the declarations our sources use, for the syntax check.
#ifndef XOB_QNX_DECL_SYS_SLOG_H
#define XOB_QNX_DECL_SYS_SLOG_H

#include <stdarg.h>

#define _SLOG_DEBUG1 6

extern "C" {
int slogf(int opcode, int severity, const char* fmt, ...);
int vslogf(int opcode, int severity, const char* fmt, va_list arg);
}

#endif
