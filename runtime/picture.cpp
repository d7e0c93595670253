// Pictures from bytes: JPEG through libjpeg, GIF, BMP and the other formats the platform's picture
// loader knows through OleLoadPicture. Every picture becomes a 32-bit top-down DIB section.
#include "runtime/forms_internal.h"

#include <cstdio>
#include <csetjmp>

#include <ole2.h>
#include <olectl.h>

#include <jpeglib.h>

namespace {

// Pictures larger than this are refused (a hostile header could ask for gigabytes).
constexpr long long kMaxPixels = 40LL * 1000 * 1000;
constexpr int kMaxSide = 16384;

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

namespace forms_detail {

HBITMAP DecodePicture(const ByteSet& bytes, SIZE& size)
{
    size = {0, 0};
    if (bytes.size() < 4 || bytes.size() > 0x7FFFFFFF)
        return nullptr;
    if (bytes[0] == 0xFF && bytes[1] == 0xD8)
        return DecodeJpeg(bytes.data(), static_cast<unsigned long>(bytes.size()), size);
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
