#pragma once
// The header of a picture's bytes, read before any decoder sees them (runtime/picture.cpp). Pictures
// come from the network (the rank chart, the updater's logo) and the platform's decoder trusts what
// their headers say, so every picture is first walked here: a BMP's offsets and sizes must lie inside
// the file and agree with its width, height and bit count, and the width and height a BMP, GIF, PNG
// or JPEG declares must lie within the picture cap (a 16,384-pixel side, 40 million pixels).
#include "runtime/text.h"

#include <cstddef>
#include <optional>

enum class PictureFormat { Bmp, Gif, Png, Jpeg };

struct PictureHeader {
    PictureFormat format = PictureFormat::Bmp;
    int width = 0;
    int height = 0;
    // The bytes from the start to the picture's own end (a JPEG's end-of-image marker, a PNG's IEND
    // chunk, a GIF's trailer, a BMP's last pixel row); what follows is not the picture's. 0 when the
    // bytes stop before that end.
    std::size_t length = 0;
};

// The header of `bytes` when they begin a BMP, GIF, PNG or JPEG whose header is whole, consistent and
// within the cap; nullopt for anything else.
std::optional<PictureHeader> ReadPictureHeader(const ByteSet& bytes);
