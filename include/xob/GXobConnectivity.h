// Placeholder: filled in with the connectivity entry functions.
#ifndef XOB_GXOB_CONNECTIVITY_H
#define XOB_GXOB_CONNECTIVITY_H
#include <xob/GXob.h>
#endif
