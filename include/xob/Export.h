// Symbol visibility for libxob. The library is built with hidden visibility by default; only what
// carries XOB_EXPORT is part of its binary interface.
#ifndef XOB_EXPORT_H
#define XOB_EXPORT_H

#if defined(XOB_STATIC)
#define XOB_EXPORT
#elif defined(__GNUC__)
#define XOB_EXPORT __attribute__((visibility("default")))
#else
#define XOB_EXPORT
#endif

#endif
