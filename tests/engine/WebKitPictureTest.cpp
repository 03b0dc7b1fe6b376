#include <gtest/gtest.h>

#include "engine/WebKitPicture.h"

namespace lum {
namespace {

// A premultiplied ARGB32 snapshot of width x height filled with argb.
cairo_surface_t* Snapshot(int width, int height, std::uint32_t argb) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    auto* row = cairo_image_surface_get_data(surface);
    for (int y = 0; y < height; ++y, row += cairo_image_surface_get_stride(surface))
        for (int x = 0; x < width; ++x)
            reinterpret_cast<std::uint32_t*>(row)[x] = argb;
    cairo_surface_mark_dirty(surface);
    return surface;
}

TEST(SnapshotPicture, OpaquePixelsKeepTheirExactColours) {
    cairo_surface_t* snapshot = Snapshot(4, 3, 0xFF123456);
    TPageBitmap picture;
    PictureFromSnapshot(snapshot, {4, 3}, picture);
    cairo_surface_destroy(snapshot);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(picture.Pixel(x, y), 0x123456u);
}

TEST(SnapshotPicture, TranslucentPixelsAreLaidOverWhite) {
    // Half-transparent black, premultiplied: 0x80000000 over white is grey.
    cairo_surface_t* snapshot = Snapshot(2, 2, 0x80000000);
    TPageBitmap picture;
    PictureFromSnapshot(snapshot, {2, 2}, picture);
    cairo_surface_destroy(snapshot);
    EXPECT_EQ(picture.Pixel(1, 1), 0x7F7F7Fu);
    // Fully transparent is white, never black.
    snapshot = Snapshot(2, 2, 0x00000000);
    PictureFromSnapshot(snapshot, {2, 2}, picture);
    cairo_surface_destroy(snapshot);
    EXPECT_EQ(picture.Pixel(0, 0), 0xFFFFFFu);
}

TEST(SnapshotPicture, SmallerSnapshotIsPaddedWithWhiteAndLargerOneCut) {
    cairo_surface_t* snapshot = Snapshot(3, 2, 0xFF0000FF);
    TPageBitmap picture;
    PictureFromSnapshot(snapshot, {5, 4}, picture);
    EXPECT_EQ(picture.Pixel(2, 1), 0x0000FFu);
    EXPECT_EQ(picture.Pixel(3, 1), 0xFFFFFFu);
    EXPECT_EQ(picture.Pixel(2, 2), 0xFFFFFFu);
    PictureFromSnapshot(snapshot, {1, 1}, picture);
    EXPECT_EQ(picture.Width(), 1);
    EXPECT_EQ(picture.Height(), 1);
    EXPECT_EQ(picture.Pixel(0, 0), 0x0000FFu);
    cairo_surface_destroy(snapshot);
}

TEST(SnapshotPicture, MissingSnapshotGivesAWhitePictureAndABrokenOneFails) {
    TPageBitmap picture;
    PictureFromSnapshot(nullptr, {3, 3}, picture);
    EXPECT_EQ(picture.Pixel(2, 2), 0xFFFFFFu);
    cairo_surface_t* broken = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, -1, -1);
    EXPECT_THROW(PictureFromSnapshot(broken, {3, 3}, picture), Exception);
    cairo_surface_destroy(broken);
    EXPECT_THROW(PictureFromSnapshot(nullptr, {-1, 3}, picture), Exception);
}

TEST(SnapshotPicture, TallestSnapshotKeepsItsLastRow) {
    cairo_surface_t* snapshot = Snapshot(2, kBmpMaxSide, 0xFFC80000);
    TPageBitmap picture;
    PictureFromSnapshot(snapshot, {3, kBmpMaxSide}, picture);
    cairo_surface_destroy(snapshot);
    EXPECT_EQ(picture.Pixel(1, kBmpMaxSide - 1), 0xC80000u);
    EXPECT_EQ(picture.Pixel(2, kBmpMaxSide - 1), 0xFFFFFFu);
}

// A box cut from the snapshot: its pixels from its top left on, and white
// where the snapshot ends before the box does; a scaled snapshot the same.
TEST(SnapshotPicture, BoxIsCutFromItsOrigin) {
    cairo_surface_t* snapshot = Snapshot(6, 5, 0xFFFFFFFF);
    auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(snapshot));
    const int stride = cairo_image_surface_get_stride(snapshot) / 4;
    data[3 * stride + 4] = 0xFF0000FF;
    data[4 * stride + 5] = 0xFF00FF00;
    cairo_surface_mark_dirty(snapshot);
    TPageBitmap picture;
    PictureFromSnapshot(snapshot, {3, 3}, picture, {4, 3});
    EXPECT_EQ(picture.Pixel(0, 0), 0x0000FFu);
    EXPECT_EQ(picture.Pixel(1, 1), 0x00FF00u);
    EXPECT_EQ(picture.Pixel(2, 1), 0xFFFFFFu);
    EXPECT_EQ(picture.Pixel(1, 2), 0xFFFFFFu);
    cairo_surface_t* scaled = Snapshot(12, 10, 0xFF00FF00);
    cairo_surface_set_device_scale(scaled, 2, 2);
    PictureFromSnapshot(scaled, {3, 3}, picture, {4, 3});
    EXPECT_EQ(picture.Pixel(1, 1), 0x00FF00u);
    EXPECT_EQ(picture.Pixel(2, 2), 0xFFFFFFu);
    cairo_surface_destroy(scaled);
    cairo_surface_destroy(snapshot);
}

TEST(SnapshotPicture, ScaledSnapshotIsDrawnAtLayoutPixels) {
    // A snapshot of a 2x screen: 4 x 4 device pixels for 2 x 2 layout pixels.
    cairo_surface_t* snapshot = Snapshot(4, 4, 0xFF00FF00);
    cairo_surface_set_device_scale(snapshot, 2, 2);
    TPageBitmap picture;
    PictureFromSnapshot(snapshot, {3, 3}, picture);
    cairo_surface_destroy(snapshot);
    EXPECT_EQ(picture.Pixel(1, 1), 0x00FF00u);
    EXPECT_EQ(picture.Pixel(2, 2), 0xFFFFFFu);
}

}  // namespace
}  // namespace lum
