// Placeholder: filled in with the media entry functions.
#ifndef XOB_GXOB_MEDIA_H
#define XOB_GXOB_MEDIA_H
#include <xob/GXob.h>
#endif
