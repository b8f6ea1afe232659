// Stand-in for QNX Neutrino's <sys/neutrino.h>: the declarations our sources use, for the syntax check.
#ifndef XOB_QNX_DECL_SYS_NEUTRINO_H
#define XOB_QNX_DECL_SYS_NEUTRINO_H

#include <sys/types.h>
#include <time.h>

typedef unsigned long long _Uint64t;

extern "C" {
int ClockTime(clockid_t id, const _Uint64t* new_time, _Uint64t* old_time);
}

#endif
