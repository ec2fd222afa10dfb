/* The stand-in renderer compiled into a 3D carrier. Database begin puts its built-in images on the
 * image list, so the device code finds "softrndf", "softrend" and the primitive-library and format
 * names without loading anything. */
#ifndef SOFTREND_SOFTREND_H
#define SOFTREND_SOFTREND_H

#ifdef __cplusplus
extern "C" {
#endif

/* Adds the images that are not on the list yet; safe to call at every database begin. */
void SoftrendImagesAdd(void);

#ifdef __cplusplus
}
#endif

#endif
