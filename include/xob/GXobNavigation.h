// Placeholder: filled in with the navigation entry functions.
#ifndef XOB_GXOB_NAVIGATION_H
#define XOB_GXOB_NAVIGATION_H
#include <xob/GXob.h>
#endif
