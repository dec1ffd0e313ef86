/*
 * An outside host in plain C: makes textures through the shared marker
 * library, draws markers and cutouts from flat arrays of numbers and checks
 * the pixels and the errors it gets back. Exit status 0 when all holds.
 */

#include "ZantoMarker.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { WIDTH = 320, HEIGHT = 180, ROW = WIDTH * 4 };

static int failures = 0;

#define CHECK(condition, what)                                                  \
    do {                                                                        \
        if (!(condition)) {                                                     \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, what);           \
            ++failures;                                                         \
        }                                                                       \
    } while (0)

static uint8_t pixels[ROW * HEIGHT];

static int alphaAt(int x, int y) { return pixels[y * ROW + x * 4 + 3]; }

static long paintedPixels(void)
{
    long count = 0;
    for (int i = 0; i < WIDTH * HEIGHT; ++i)
        count += pixels[i * 4 + 3] != 0;
    return count;
}

/* A ring at the centre: colours, size, perspective, thickness, segments, gap,
 * speed, direction, glow, opacity, position, no y flip. */
static void ringValues(double* values)
{
    const double ring[20] = {1, 0.5, 0, 1, 1, 1, 1, 1, 200, 30, 18, 10, 20, 1, 1, 25, 100, 0.5, 0.5, 0};
    memcpy(values, ring, sizeof ring);
}

static void expectError(ZantoError* error, const char* domain, long code, const char* message)
{
    CHECK(error != NULL, "an error is handed back");
    if (!error)
        return;
    CHECK(strcmp(zanto_error_domain(error), domain) == 0, zanto_error_domain(error));
    CHECK(zanto_error_code(error) == code, "error code");
    CHECK(strcmp(zanto_error_message(error), message) == 0, zanto_error_message(error));
    zanto_error_free(error);
}

static void drawsARing(ZantoTexture* target)
{
    double values[20];
    ringValues(values);
    ZantoError* error = NULL;
    CHECK(zanto_marker_render_texture(target, values, 20, NULL, 0.25, &error), "ring drawn");
    CHECK(error == NULL, "no error on success");
    CHECK(zanto_texture_read(target, pixels, ROW, NULL), "read back");
    CHECK(paintedPixels() > 200, "the ring paints pixels");
    CHECK(alphaAt(2, 2) == 0 && alphaAt(WIDTH - 3, HEIGHT - 3) == 0, "corners stay transparent");
}

/* Ring style 7 switches the label on: the text adds pixels to the ring. The
 * library draws text without the host making any GUI of its own. */
static void labelsTheRing(ZantoTexture* target)
{
    double values[77] = {0};
    ringValues(values);
    values[32] = 4;   /* point count */
    values[76] = 7;   /* ring style: label on */
    CHECK(zanto_marker_render_texture(target, values, 77, "   ", 0, NULL), "blank label drawn");
    CHECK(zanto_texture_read(target, pixels, ROW, NULL), "read back");
    const long bare = paintedPixels();
    CHECK(zanto_marker_render_texture(target, values, 77, "Kai 10", 0, NULL), "label drawn");
    CHECK(zanto_texture_read(target, pixels, ROW, NULL), "read back");
    CHECK(paintedPixels() > bare + 100, "the label box adds pixels");
}

static void refusesBadArrays(ZantoTexture* target)
{
    double values[21] = {0};
    ringValues(values);
    ZantoError* error = NULL;
    CHECK(!zanto_marker_render_texture(target, values, 21, NULL, 0, &error), "length 21 refused");
    expectError(error, "FC.GXL.PlayerMarker", 1, "Invalid parameter state");

    ringValues(values);
    values[8] = 100000000.0;
    error = NULL;
    CHECK(!zanto_marker_render_texture(target, values, 20, "x", 0, &error), "huge entry refused");
    expectError(error, "FC.GXL.PlayerMarker", 1, "Invalid parameter state");

    /* Without an error pointer the call still just returns false. */
    CHECK(!zanto_marker_render_texture(target, values, 20, NULL, 0, NULL), "refused without error pointer");
}

/* The ground entry point over a frame of turf with a white block on the
 * ring's right edge: the ring shows on the turf, the block stays in front. */
static int inBlock(int x, int y) { return x >= 170 && x < 192 && y >= 78 && y < 102; }

static void keysToTheTurf(ZantoDevice* device, ZantoTexture* target)
{
    static uint8_t frame[ROW * HEIGHT];
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            uint8_t* p = frame + y * ROW + x * 4; /* B, G, R, A */
            const int white = inBlock(x, y);
            p[0] = white ? 255 : 36;
            p[1] = white ? 255 : 107;
            p[2] = white ? 255 : 71;
            p[3] = 255;
        }
    ZantoTexture* source = zanto_texture_create(device, ZANTO_PIXEL_FORMAT_BGRA8, WIDTH, HEIGHT, NULL);
    CHECK(zanto_texture_replace(source, frame, ROW, NULL), "upload");
    double values[96] = {0};
    ringValues(values);
    values[32] = 4;   /* point count */
    values[89] = 1;   /* turf only */
    const double key[6] = {0.3, 0.38, 0.12, 18, 8, 0};
    memcpy(values + 90, key, sizeof key);
    ZantoError* error = NULL;
    CHECK(zanto_marker_render_ground_texture(target, source, values, 96, NULL, 0, &error), "ground ring drawn");
    CHECK(error == NULL, "no error on success");
    CHECK(zanto_texture_read(target, pixels, ROW, NULL), "read back");
    long blockChanged = 0, turfChanged = 0;
    for (int i = 0; i < ROW * HEIGHT; ++i) {
        const int x = (i % ROW) / 4, y = i / ROW;
        if (pixels[i] != frame[i])
            ++*(inBlock(x, y) ? &blockChanged : &turfChanged);
    }
    CHECK(blockChanged == 0, "the block stays in front of the ring");
    CHECK(turfChanged > 200, "the ring shows on the turf");
    CHECK(!zanto_marker_render_ground_texture(target, source, NULL, 96, NULL, 0, &error), "no values refused");
    expectError(error, "FC.GXL.PlayerMarker", 1, "Invalid parameter state");
    zanto_texture_release(source);
}

static void cutsOut(ZantoDevice* device, ZantoTexture* target)
{
    ZantoTexture* source = zanto_texture_create(device, ZANTO_PIXEL_FORMAT_RGBA8, WIDTH, HEIGHT, NULL);
    for (int i = 0; i < WIDTH * HEIGHT; ++i) {
        pixels[i * 4 + 0] = 40;
        pixels[i * 4 + 1] = 120;
        pixels[i * 4 + 2] = 40;
        pixels[i * 4 + 3] = 255;
    }
    CHECK(zanto_texture_replace(source, pixels, ROW, NULL), "upload");
    const double cutout[8] = {0.3, 0.6, 0.7, 0.7, 1, 80, 100, 100};
    ZantoError* error = NULL;
    CHECK(zanto_marker_render_cutout_texture(target, source, cutout, 8, &error), "cutout drawn");
    CHECK(zanto_texture_read(target, pixels, ROW, NULL), "read back");
    CHECK(alphaAt(5, 5) == 255, "the cutout target holds the whole source picture");
    CHECK(!zanto_marker_render_cutout_texture(target, source, cutout, 7, &error), "seven values refused");
    expectError(error, "FC.GXL.PlayerMarker", 1, "Invalid cutout state");
    zanto_texture_release(source);
}

int main(void)
{
    ZantoError* error = NULL;
    ZantoDevice* device = zanto_device_default(&error);
    if (!device) {
        fprintf(stderr, "no device: %s\n", zanto_error_message(error));
        return 1;
    }
    ZantoTexture* target = zanto_texture_create(device, ZANTO_PIXEL_FORMAT_BGRA8, WIDTH, HEIGHT, &error);
    CHECK(target != NULL, "texture made");
    CHECK(zanto_texture_width(target) == WIDTH && zanto_texture_height(target) == HEIGHT, "texture size");
    ZantoTexture* impossible = zanto_texture_create(device, 12345, WIDTH, HEIGHT, &error);
    CHECK(impossible == NULL, "unknown pixel format refused");
    expectError(error, "zanto.gpu", 1, "Invalid texture description");

    drawsARing(target);
    labelsTheRing(target);
    refusesBadArrays(target);
    keysToTheTurf(device, target);
    cutsOut(device, target);

    zanto_texture_release(target);
    zanto_device_release(device);
    if (failures)
        fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
