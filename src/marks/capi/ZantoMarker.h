/*
 * C entry points of the telestration marker renderer, for outside hosts.
 *
 * A host gets a device, makes textures on it (rows top row first, 4 bytes a
 * pixel), and asks for a marker described by a flat array of numbers (the
 * renderer value array), a cutout (eight numbers) or a ground marker over a
 * source texture. Every render call returns true when drawn and false on
 * failure; then, when `error` is not NULL, *error receives an error the host
 * frees with zanto_error_free. The renderer's own errors have the domain
 * "FC.GXL.PlayerMarker" and code 1; GPU errors the domain "zanto.gpu";
 * system errors the domain "POSIX" with errno as code.
 *
 * Every function may be called from any thread; calls block until the GPU
 * has finished. Handles are released with their release function, on any
 * thread; a texture keeps its device alive.
 */
#ifndef ZANTO_MARKER_H
#define ZANTO_MARKER_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ZANTO_CAPI_BUILDING)
#define ZANTO_CAPI __attribute__((visibility("default")))
#else
#define ZANTO_CAPI
#endif

typedef struct ZantoDevice ZantoDevice;
typedef struct ZantoTexture ZantoTexture;
typedef struct ZantoError ZantoError;

enum {
    ZANTO_PIXEL_FORMAT_RGBA8 = 70, /* bytes R, G, B, A */
    ZANTO_PIXEL_FORMAT_BGRA8 = 80  /* bytes B, G, R, A */
};

ZANTO_CAPI const char* zanto_error_domain(const ZantoError* error);
ZANTO_CAPI long zanto_error_code(const ZantoError* error);
ZANTO_CAPI const char* zanto_error_message(const ZantoError* error);
ZANTO_CAPI void zanto_error_free(ZantoError* error);

/* The process's shared device, or a device of its own. NULL on failure. */
ZANTO_CAPI ZantoDevice* zanto_device_default(ZantoError** error);
ZANTO_CAPI ZantoDevice* zanto_device_create(ZantoError** error);
ZANTO_CAPI uint64_t zanto_device_registry_id(const ZantoDevice* device);
ZANTO_CAPI void zanto_device_release(ZantoDevice* device);

/* A texture that can be drawn into and read by shaders; starts transparent. */
ZANTO_CAPI ZantoTexture* zanto_texture_create(ZantoDevice* device, uint32_t pixel_format, int width, int height,
                                              ZantoError** error);
ZANTO_CAPI int zanto_texture_width(const ZantoTexture* texture);
ZANTO_CAPI int zanto_texture_height(const ZantoTexture* texture);
ZANTO_CAPI bool zanto_texture_replace(ZantoTexture* texture, const uint8_t* bytes, size_t bytes_per_row,
                                      ZantoError** error);
ZANTO_CAPI bool zanto_texture_read(const ZantoTexture* texture, uint8_t* bytes, size_t bytes_per_row,
                                   ZantoError** error);
ZANTO_CAPI void zanto_texture_release(ZantoTexture* texture);

/* `label` is UTF-8 text or NULL for none. */
ZANTO_CAPI bool zanto_marker_render_texture(ZantoTexture* target, const double* values, size_t count, const char* label,
                                            double seconds, ZantoError** error);
ZANTO_CAPI bool zanto_marker_render_ground_texture(ZantoTexture* target, ZantoTexture* source, const double* values,
                                                   size_t count, const char* label, double seconds, ZantoError** error);
ZANTO_CAPI bool zanto_marker_render_cutout_texture(ZantoTexture* target, ZantoTexture* source, const double* values,
                                                   size_t count, ZantoError** error);

#ifdef __cplusplus
}
#endif

#endif
