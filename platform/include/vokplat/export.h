/* Export rule of every module: what this macro marks leaves the module unmangled, all else is hidden. */
#ifndef VOKPLAT_EXPORT_H
#define VOKPLAT_EXPORT_H

#define VOK_VISIBLE __attribute__((visibility("default")))
#ifdef __cplusplus
#define VOK_EXPORT extern "C" VOK_VISIBLE
#else
#define VOK_EXPORT VOK_VISIBLE
#endif

#endif
