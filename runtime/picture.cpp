// Pictures from bytes: JPEG through libjpeg; GIF, PNG and BMP through the platform's OleLoadPicture,
// after their headers have been read here (runtime/picture_header.h). Every picture becomes a 32-bit
// top-down DIB section.
#include "runtime/forms_internal.h"
#include "runtime/little_endian.h"
#include "runtime/picture_header.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <csetjmp>

#include <ole2.h>
#include <olectl.h>

#include <jpeglib.h>

namespace {

// Pictures larger than this are refused (a hostile header could ask for gigabytes).
constexpr long long kMaxPixels = 40LL * 1000 * 1000;
constexpr int kMaxSide = 16384;

bool WithinCap(long long width, long long height)
{
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

std::uint32_t Get16Big(const unsigned char* p) { return (p[0] << 8) | p[1]; }
std::uint32_t Get32Big(const unsigned char* p) { return (std::uint32_t(p[0]) << 24) | (Get16Big(p + 1) << 8) | p[3]; }

bool Begins(const ByteSet& b, std::initializer_list<unsigned char> prefix)
{
    return b.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), b.begin());
}

// A BMP: file header, then a core (12-byte) or an info header of 40 to 124 bytes, masks, colour table
// and pixels, each inside the file and after the one before.
std::optional<PictureHeader> ReadBmpHeader(const ByteSet& b)
{
    const unsigned long long size = b.size();
    if (size < 18)
        return std::nullopt;
    const unsigned long long fileSize = Get32(&b[2]), offBits = Get32(&b[10]), headerSize = Get32(&b[14]);
    const bool core = headerSize == 12;
    if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
        return std::nullopt;
    if (14 + headerSize > size || fileSize > size)
        return std::nullopt;
    const unsigned char* h = &b[14];
    const long long width = core ? Get16(h + 4) : static_cast<std::int32_t>(Get32(h + 4));
    const long long rawHeight = core ? Get16(h + 6) : static_cast<std::int32_t>(Get32(h + 8));
    const unsigned planes = Get16(h + (core ? 8 : 12)), bits = Get16(h + (core ? 10 : 14));
    const unsigned compression = core ? 0 : Get32(h + 16);
    const unsigned long long imageSize = core ? 0 : Get32(h + 20), coloursUsed = core ? 0 : Get32(h + 32);
    const long long height = rawHeight < 0 ? -rawHeight : rawHeight;
    if (planes != 1 || !WithinCap(width, height))
        return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return std::nullopt;
    const bool rle = compression == 1 || compression == 2;
    const bool fields = compression == 3;
    if (compression > 3 || (compression == 1 && bits != 8) || (compression == 2 && bits != 4) ||
        (fields && bits != 16 && bits != 32) || (rle && rawHeight < 0))
        return std::nullopt;
    // A palette picture has at most 2^bits colours; the table of any other is only a hint, but it too
    // stands before the pixels.
    if (bits <= 8 && coloursUsed > (1ULL << bits))
        return std::nullopt;
    const unsigned long long colours = coloursUsed ? coloursUsed : bits <= 8 ? 1ULL << bits : 0;
    const unsigned long long tableEnd =
        14 + headerSize + (fields && headerSize == 40 ? 12 : 0) + colours * (core ? 3 : 4);
    const unsigned long long stride = (static_cast<unsigned long long>(width) * bits + 31) / 32 * 4;
    const unsigned long long pixels = rle ? imageSize : stride * static_cast<unsigned long long>(height);
    if (offBits < tableEnd || offBits > size || pixels == 0 || pixels > size - offBits || imageSize > size - offBits)
        return std::nullopt;
    return PictureHeader{PictureFormat::Bmp, static_cast<int>(width), static_cast<int>(height),
                         static_cast<std::size_t>(offBits + pixels)};
}

// A GIF: the logical screen, then its blocks up to the trailer; the screen and every image inside
// the cap, at least one image before the trailer.
std::optional<PictureHeader> ReadGifHeader(const ByteSet& b)
{
    const std::size_t size = b.size();
    if (size < 13)
        return std::nullopt;
    const unsigned screenWidth = Get16(&b[6]), screenHeight = Get16(&b[8]);
    // A screen of 0 x 0 leaves the size to the images.
    if ((screenWidth || screenHeight) && !WithinCap(screenWidth, screenHeight))
        return std::nullopt;
    std::size_t at = 13 + ((b[10] & 0x80) ? 3u << ((b[10] & 7) + 1) : 0);
    // Sub-blocks from `at` up to their terminator; false when the bytes stop first.
    auto skipSubBlocks = [&] {
        while (at < size && b[at] != 0)
            at += 1 + b[at];
        if (at >= size)
            return false;
        ++at;
        return true;
    };
    PictureHeader header{PictureFormat::Gif, static_cast<int>(screenWidth), static_cast<int>(screenHeight), 0};
    bool image = false;
    while (at < size) {
        const unsigned char block = b[at];
        if (block == 0x3B) {
            if (!image)
                return std::nullopt;
            header.length = at + 1;
            break;
        }
        if (block == 0x21) {
            at += 2;
            if (at > size || !skipSubBlocks())
                break;
        } else if (block == 0x2C) {
            if (at + 10 > size)
                break;
            const unsigned left = Get16(&b[at + 1]), top = Get16(&b[at + 3]);
            const unsigned width = Get16(&b[at + 5]), height = Get16(&b[at + 7]);
            if (!WithinCap(width, height) || !WithinCap(left + width, top + height))
                return std::nullopt;
            if (!image && !screenWidth && !screenHeight) {
                header.width = static_cast<int>(width);
                header.height = static_cast<int>(height);
            }
            image = true;
            const unsigned char flags = b[at + 9];
            at += 10 + ((flags & 0x80) ? 3u << ((flags & 7) + 1) : 0) + 1;  // table, LZW code size
            if (at > size || !skipSubBlocks())
                break;
        } else if (!image) {
            return std::nullopt;
        } else {
            break;  // no block: what follows the images is left to the decoder, and the end is unknown
        }
    }
    if (!image)
        return std::nullopt;  // not one whole image descriptor among the bytes
    return header;
}

// A PNG: the IHDR chunk first, then chunks up to IEND.
std::optional<PictureHeader> ReadPngHeader(const ByteSet& b)
{
    const std::size_t size = b.size();
    if (size < 8 + 8 + 13 || Get32Big(&b[8]) != 13 || !std::equal(&b[12], &b[16], "IHDR"))
        return std::nullopt;
    const std::uint32_t width = Get32Big(&b[16]), height = Get32Big(&b[20]);
    if (!WithinCap(width, height))
        return std::nullopt;
    PictureHeader header{PictureFormat::Png, static_cast<int>(width), static_cast<int>(height), 0};
    for (std::size_t at = 8; size - at >= 12;) {
        const std::size_t length = Get32Big(&b[at]);
        if (length > 0x7FFFFFFF)
            return std::nullopt;
        if (length > size - at - 12)
            break;
        const bool end = std::equal(&b[at + 4], &b[at + 8], "IEND");
        at += 12 + length;
        if (end) {
            header.length = at;
            break;
        }
    }
    return header;
}

// A JPEG: its marker segments up to a frame header, then on through the scans to the end of image.
std::optional<PictureHeader> ReadJpegHeader(const ByteSet& b)
{
    const std::size_t size = b.size();
    PictureHeader header{PictureFormat::Jpeg, 0, 0, 0};
    std::size_t at = 2;
    bool frame = false;
    while (at < size) {
        if (b[at] != 0xFF)
            return frame ? std::optional<PictureHeader>(header) : std::nullopt;
        while (at < size && b[at] == 0xFF)
            ++at;  // fill bytes
        if (at >= size)
            break;
        const unsigned char marker = b[at++];
        if (marker == 0xD9) {
            if (!frame)
                return std::nullopt;
            header.length = at;
            return header;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;  // markers without a segment
        if (marker == 0xD8 || size - at < 2)
            break;
        const std::size_t length = Get16Big(&b[at]);
        if (length < 2)
            return std::nullopt;
        if (length > size - at)
            break;
        const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            if (frame || length < 8)
                return std::nullopt;
            header.height = static_cast<int>(Get16Big(&b[at + 3]));
            header.width = static_cast<int>(Get16Big(&b[at + 5]));
            if (!WithinCap(header.width, header.height))
                return std::nullopt;
            frame = true;
        }
        at += length;
        if (marker == 0xDA) {
            if (!frame)
                return std::nullopt;
            // The entropy-coded data: up to the first marker that is neither a stuffed 0xFF nor a
            // restart marker.
            while (at + 1 < size && !(b[at] == 0xFF && b[at + 1] != 0 && (b[at + 1] < 0xD0 || b[at + 1] > 0xD7)))
                ++at;
            if (at + 1 >= size)
                break;
        }
    }
    // The bytes stop early: what arrived may still be shown once its frame is known.
    if (!frame)
        return std::nullopt;
    return header;
}

HBITMAP NewDib(int width, int height, unsigned char*& bits)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<unsigned char*>(p);
    return bmp;
}

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void JpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void JpegQuiet(j_common_ptr) {}

// Kept free of C++ objects with destructors: a decoding error leaves through longjmp.
HBITMAP DecodeJpeg(const unsigned char* data, unsigned long size, SIZE& out)
{
    jpeg_decompress_struct info;
    JpegError err;
    HBITMAP volatile bmp = nullptr;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegFail;
    err.mgr.output_message = JpegQuiet;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        if (bmp)
            DeleteObject(bmp);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    jpeg_calc_output_dimensions(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > kMaxSide ||
        info.output_height > kMaxSide ||
        static_cast<long long>(info.output_width) * info.output_height > kMaxPixels) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    jpeg_start_decompress(&info);
    unsigned char* bits = nullptr;
    bmp = NewDib(static_cast<int>(info.output_width), static_cast<int>(info.output_height), bits);
    if (!bmp) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 4;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = bits + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
        if (cmyk) {
            // Adobe writes CMYK JPEGs inverted: each byte already is 255 - ink.
            for (std::size_t x = 0; x < info.output_width; ++x) {
                unsigned char* p = row + x * 4;
                unsigned c = p[0], m = p[1], y = p[2], k = p[3];
                p[0] = static_cast<unsigned char>(y * k / 255);
                p[1] = static_cast<unsigned char>(m * k / 255);
                p[2] = static_cast<unsigned char>(c * k / 255);
                p[3] = 0;
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    out.cx = static_cast<LONG>(info.output_width);
    out.cy = static_cast<LONG>(info.output_height);
    return bmp;
}

HBITMAP DecodeWithPictureLoader(const ByteSet& bytes, SIZE& out)
{
    // The platform's loader hands GIF decoding to COM classes: COM must be up on this thread.
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HBITMAP result = nullptr;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (mem) {
        void* p = GlobalLock(mem);
        memcpy(p, bytes.data(), bytes.size());
        GlobalUnlock(mem);
        IStream* stream = nullptr;
        if (SUCCEEDED(CreateStreamOnHGlobal(mem, TRUE, &stream))) {
            mem = nullptr;  // the stream owns it now
            IPicture* picture = nullptr;
            if (SUCCEEDED(OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                         reinterpret_cast<void**>(&picture))) && picture) {
                OLE_XSIZE_HIMETRIC hw = 0;
                OLE_YSIZE_HIMETRIC hh = 0;
                picture->get_Width(&hw);
                picture->get_Height(&hh);
                HDC screen = GetDC(nullptr);
                int w = MulDiv(hw, GetDeviceCaps(screen, LOGPIXELSX), 2540);
                int h = MulDiv(hh, GetDeviceCaps(screen, LOGPIXELSY), 2540);
                ReleaseDC(nullptr, screen);
                if (w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide &&
                    static_cast<long long>(w) * h <= kMaxPixels) {
                    unsigned char* bits = nullptr;
                    HBITMAP bmp = NewDib(w, h, bits);
                    if (bmp) {
                        HDC dc = CreateCompatibleDC(nullptr);
                        HGDIOBJ old = SelectObject(dc, bmp);
                        RECT rc = {0, 0, w, h};
                        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
                        if (SUCCEEDED(picture->Render(dc, 0, 0, w, h, 0, hh, hw, -hh, nullptr))) {
                            result = bmp;
                            out = {w, h};
                        }
                        SelectObject(dc, old);
                        DeleteDC(dc);
                        if (!result)
                            DeleteObject(bmp);
                    }
                }
                picture->Release();
            }
            stream->Release();
        }
        if (mem)
            GlobalFree(mem);
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return result;
}

}  // namespace

std::optional<PictureHeader> ReadPictureHeader(const ByteSet& bytes)
{
    if (bytes.size() > 0x7FFFFFFF)
        return std::nullopt;
    if (Begins(bytes, {'B', 'M'}))
        return ReadBmpHeader(bytes);
    if (Begins(bytes, {'G', 'I', 'F', '8', '7', 'a'}) || Begins(bytes, {'G', 'I', 'F', '8', '9', 'a'}))
        return ReadGifHeader(bytes);
    if (Begins(bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}))
        return ReadPngHeader(bytes);
    if (Begins(bytes, {0xFF, 0xD8, 0xFF}))
        return ReadJpegHeader(bytes);
    return std::nullopt;
}

namespace forms_detail {

HBITMAP DecodePicture(const ByteSet& bytes, SIZE& size)
{
    size = {0, 0};
    const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
    if (!header)
        return nullptr;
    // What follows the picture's end (servers add a line break or padding) is not given to a decoder.
    const std::size_t length = header->length ? header->length : bytes.size();
    if (header->format == PictureFormat::Jpeg)
        return DecodeJpeg(bytes.data(), static_cast<unsigned long>(length), size);
    if (length < bytes.size())
        return DecodeWithPictureLoader(ByteSet(bytes.begin(), bytes.begin() + static_cast<long>(length)), size);
    return DecodeWithPictureLoader(bytes, size);
}

void PaintPicture(HDC dc, const RECT& area, HBITMAP bmp, SIZE size, bool stretch)
{
    if (!bmp || size.cx <= 0 || size.cy <= 0)
        return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bmp);
    if (stretch) {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, mem, 0, 0, size.cx,
                   size.cy, SRCCOPY);
    } else {
        BitBlt(dc, area.left, area.top, size.cx, size.cy, mem, 0, 0, SRCCOPY);
    }
    SelectObject(mem, old);
    DeleteDC(mem);
}

}  // namespace forms_detail

HIMAGELIST MakeImageList(int width, int height, const std::vector<ByteSet>& pictures)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    HIMAGELIST list = ImageList_Create(width, height, ILC_COLOR32, static_cast<int>(pictures.size()), 4);
    if (!list)
        return nullptr;
    for (auto& bytes : pictures) {
        SIZE size{0, 0};
        HBITMAP decoded = forms_detail::DecodePicture(bytes, size);
        unsigned char* bits = nullptr;
        HBITMAP cell = NewDib(width, height, bits);
        if (cell) {
            HDC dc = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(dc, cell);
            RECT rc = {0, 0, width, height};
            FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
            forms_detail::PaintPicture(dc, rc, decoded, size, true);
            SelectObject(dc, old);
            DeleteDC(dc);
            ImageList_Add(list, cell, nullptr);
            DeleteObject(cell);
        }
        if (decoded)
            DeleteObject(decoded);
    }
    return list;
}
