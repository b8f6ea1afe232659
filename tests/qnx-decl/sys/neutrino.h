// Stand-in for QNX Neutrino's <sys/neutrino.h>: declarations only, for the syntax check.
#ifndef XOB_QNX_DECL_SYS_NEUTRINO_H
#define XOB_QNX_DECL_SYS_NEUTRINO_H

#include <sys/types.h>
#include <time.h>

typedef unsigned long long _Uint64t;
typedef long long _Int64t;
typedef unsigned _Uint32t;
typedef int _Int32t;

#ifdef __cplusplus
extern "C" {
#endif

int ClockTime(clockid_t id, const _Uint64t* new_time, _Uint64t* old_time);
int ClockTime_r(clockid_t id, const _Uint64t* new_time, _Uint64t* old_time);
_Uint64t ClockCycles(void);
int ThreadCtl(int cmd, void* data);
int ThreadCtl_r(int cmd, void* data);

#ifdef __cplusplus
}
#endif

#endif
