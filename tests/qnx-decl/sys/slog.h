// Stand-in for QNX Neutrino's <sys/slog.h>: declarations only, for the syntax check.
#ifndef XOB_QNX_DECL_SYS_SLOG_H
#define XOB_QNX_DECL_SYS_SLOG_H

#include <stdarg.h>

#define _SLOG_SHUTDOWN 0
#define _SLOG_CRITICAL 1
#define _SLOG_ERROR 2
#define _SLOG_WARNING 3
#define _SLOG_NOTICE 4
#define _SLOG_INFO 5
#define _SLOG_DEBUG1 6
#define _SLOG_DEBUG2 7

#define _SLOG_SETCODE(major, minor) (((major) << 8) | (minor))
#define _SLOG_GETMAJOR(code) (((code) >> 8) & 0xfff)
#define _SLOG_GETMINOR(code) ((code) & 0xff)

#ifdef __cplusplus
extern "C" {
#endif

int slogf(int opcode, int severity, const char* fmt, ...);
int vslogf(int opcode, int severity, const char* fmt, va_list arg);
int slogb(int opcode, int severity, void* data, int size);
int slogi(int opcode, int severity, int nargs, ...);

#ifdef __cplusplus
}
#endif

#endif
