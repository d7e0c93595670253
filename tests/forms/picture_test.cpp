// Picture boxes: JPEG through libjpeg, GIF and BMP through the platform's loader, empty bytes clear,
// and bytes that are no picture (or a broken one) are refused safely.
#include "runtime/forms_internal.h"
#include "runtime/picture_header.h"
#include "forms/every_kind.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <jpeglib.h>

namespace {

ByteSet MakeJpeg(int width, int height, bool gray, unsigned char r, unsigned char g, unsigned char b)
{
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = gray ? 1 : 3;
    info.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * (gray ? 1 : 3));
    for (int x = 0; x < width; ++x) {
        if (gray) {
            row[static_cast<std::size_t>(x)] = r;
        } else {
            row[static_cast<std::size_t>(x) * 3] = r;
            row[static_cast<std::size_t>(x) * 3 + 1] = g;
            row[static_cast<std::size_t>(x) * 3 + 2] = b;
        }
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    ByteSet bytes(out, out + size);
    jpeg_destroy_compress(&info);
    free(out);
    return bytes;
}

// A 3 x 2 GIF: red, green, blue / white, white, red.
const ByteSet kGif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x03, 0x00, 0x02, 0x00, 0xF1, 0x00, 0x00, 0xFF, 0x00,
                      0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x2C, 0x00, 0x00, 0x00, 0x00,
                      0x03, 0x00, 0x02, 0x00, 0x00, 0x02, 0x04, 0x44, 0x34, 0x03, 0x05, 0x00, 0x3B};

// A 2 x 2 24-bit BMP (bottom-up): top row blue, green; bottom row red, white.
ByteSet MakeBmp()
{
    ByteSet b = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,
                 0, 0, 0, 0, 16, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    // bottom row: red, white (BGR), padded to 8 bytes
    ByteSet bottom = {0, 0, 255, 255, 255, 255, 0, 0};
    ByteSet top = {255, 0, 0, 0, 255, 0, 0, 0};
    b.insert(b.end(), bottom.begin(), bottom.end());
    b.insert(b.end(), top.begin(), top.end());
    return b;
}

// A 2 x 1 PNG: red, blue.
const ByteSet kPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x7B, 0x40, 0xE8, 0xDD, 0x00, 0x00, 0x00,
    0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0x00, 0x04, 0xFF, 0x01, 0x07, 0x00, 0x01, 0xFF,
    0xE2, 0x23, 0x9E, 0x59, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

// `bytes` with a little-endian (or, for `big`, big-endian) field of `width` bytes at `at` set to `value`.
ByteSet With(ByteSet bytes, std::size_t at, std::uint32_t value, int width = 4, bool big = false)
{
    for (int i = 0; i < width; ++i)
        bytes[at + static_cast<std::size_t>(big ? width - 1 - i : i)] = static_cast<unsigned char>(value >> (8 * i));
    return bytes;
}

ByteSet Joined(ByteSet bytes, const ByteSet& tail)
{
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

struct Pixels {
    HBITMAP bmp = nullptr;
    SIZE size{0, 0};
    DIBSECTION dib{};
    explicit Pixels(const ByteSet& bytes)
    {
        bmp = forms_detail::DecodePicture(bytes, size);
        if (bmp)
            GetObject(bmp, sizeof(dib), &dib);
    }
    ~Pixels()
    {
        if (bmp)
            DeleteObject(bmp);
    }
    // 0x00RRGGBB of the pixel at (x, y), counted from the top left.
    unsigned At(int x, int y) const
    {
        auto* row = static_cast<unsigned char*>(dib.dsBm.bmBits) + dib.dsBm.bmWidthBytes * y;
        unsigned char* p = row + x * 4;
        return (unsigned(p[2]) << 16) | (unsigned(p[1]) << 8) | p[0];
    }
};

bool Near(unsigned rgb, unsigned want, int tolerance = 12)
{
    for (int shift : {0, 8, 16}) {
        int a = static_cast<int>((rgb >> shift) & 0xFF), b = static_cast<int>((want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance)
            return false;
    }
    return true;
}

TEST(Pictures, JpegDecodesThroughLibjpeg)
{
    Pixels colour(MakeJpeg(16, 8, false, 200, 30, 60));
    ASSERT_NE(colour.bmp, nullptr);
    EXPECT_EQ(colour.size.cx, 16);
    EXPECT_EQ(colour.size.cy, 8);
    EXPECT_TRUE(Near(colour.At(3, 3), 0xC81E3C)) << std::hex << colour.At(3, 3);
    Pixels gray(MakeJpeg(5, 7, true, 128, 0, 0));
    ASSERT_NE(gray.bmp, nullptr);
    EXPECT_EQ(gray.size.cx, 5);
    EXPECT_EQ(gray.size.cy, 7);
    EXPECT_TRUE(Near(gray.At(4, 6), 0x808080));
}

TEST(Pictures, GifAndBmpDecodeThroughThePlatformLoader)
{
    Pixels gif(kGif);
    ASSERT_NE(gif.bmp, nullptr);
    EXPECT_EQ(gif.size.cx, 3);
    EXPECT_EQ(gif.size.cy, 2);
    EXPECT_EQ(gif.At(0, 0), 0xFF0000u);
    EXPECT_EQ(gif.At(1, 0), 0x00FF00u);
    EXPECT_EQ(gif.At(2, 0), 0x0000FFu);
    EXPECT_EQ(gif.At(0, 1), 0xFFFFFFu);
    EXPECT_EQ(gif.At(2, 1), 0xFF0000u);

    Pixels bmp(MakeBmp());
    ASSERT_NE(bmp.bmp, nullptr);
    EXPECT_EQ(bmp.size.cx, 2);
    EXPECT_EQ(bmp.size.cy, 2);
    EXPECT_EQ(bmp.At(0, 0), 0x0000FFu);
    EXPECT_EQ(bmp.At(1, 0), 0x00FF00u);
    EXPECT_EQ(bmp.At(0, 1), 0xFF0000u);
    EXPECT_EQ(bmp.At(1, 1), 0xFFFFFFu);
}

TEST(Pictures, BrokenBytesAreRefusedSafely)
{
    ByteSet jpeg = MakeJpeg(64, 64, false, 10, 20, 30);
    const ByteSet cases[] = {
        ByteSet{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'},
        ByteSet{0xFF, 0xD8, 0xFF},                                   // a JPEG that stops at once
        ByteSet{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I'},  // cut in its first segment
        ByteSet(kGif.begin(), kGif.begin() + 20),                    // a GIF without its image
        ByteSet{'B', 'M', 0xFF, 0xFF, 0xFF, 0x7F, 0, 0},             // a BMP header claiming 2 GB
    };
    for (const auto& bytes : cases) {
        SIZE size{1, 1};
        HBITMAP bmp = forms_detail::DecodePicture(bytes, size);
        if (bmp)
            DeleteObject(bmp);
        EXPECT_EQ(bmp == nullptr, size.cx == 0);
    }
    // A JPEG cut in half still shows what arrived (libjpeg fills the rest) or is refused; never a crash.
    ByteSet half(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
    SIZE size{0, 0};
    HBITMAP bmp = forms_detail::DecodePicture(half, size);
    if (bmp) {
        EXPECT_EQ(size.cx, 64);
        DeleteObject(bmp);
    }
}

TEST(Pictures, PictureBoxTakesClearsAndRefuses)
{
    Form f = LoadForm(EveryKindLayout());
    Control box = f.Control("图片框_logo");
    EXPECT_TRUE(box.SetPicture(MakeJpeg(40, 30, false, 0, 128, 255)));
    EXPECT_TRUE(box.HasPicture());
    EXPECT_EQ(box.PictureSize().cx, 40);
    EXPECT_EQ(box.PictureSize().cy, 30);
    EXPECT_TRUE(box.SetPicture(kGif));
    EXPECT_EQ(box.PictureSize().cx, 3);
    EXPECT_FALSE(box.SetPicture(ByteSet()));  // empty bytes clear
    EXPECT_FALSE(box.HasPicture());
    EXPECT_TRUE(box.SetPicture(MakeBmp()));
    EXPECT_FALSE(box.SetPicture(ByteSet{'<', 'h', 't', 'm', 'l', '>'}));  // an error page instead of a picture
    EXPECT_FALSE(box.HasPicture());
    UpdateWindow(box.Handle());
    // A label can carry a picture under its caption.
    Control label = f.Control("标签_说明");
    EXPECT_TRUE(label.SetPicture(MakeJpeg(200, 20, false, 250, 250, 200)));
    EXPECT_EQ(label.GetText(), "成交信息：中文标签");
    UpdateWindow(label.Handle());
    f.Destroy();
    EXPECT_FALSE(box.SetPicture(kGif));  // a closed window takes nothing
}

TEST(Pictures, ImageListFromPictureBytes)
{
    HIMAGELIST list = MakeImageList(16, 16, {MakeJpeg(20, 20, false, 1, 2, 3), kGif, ByteSet{'x'}});
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    Form f = LoadForm(EveryKindLayout());
    Control rows = f.Control("成交信息");
    rows.SetImageList(list);
    rows.SetRowImage(0, 1);
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = 0;
    SendMessageA(rows.Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.iImage, 1);
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageA(rows.Handle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)), list);
    f.Destroy();
}

// Headers that lie about where and how large the picture is are refused before any decoder sees them.
TEST(Pictures, HostileHeadersAreRefusedBeforeDecoding)
{
    const ByteSet bmp = MakeBmp();  // header 54 bytes, pixels 16: file 70
    const ByteSet jpeg = MakeJpeg(8, 8, false, 1, 2, 3);
    std::size_t sof = 2;  // the frame header of the JPEG: its height at +5, its width at +7
    while (!(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0))
        sof += 2 + ((jpeg[sof + 2] << 8) | jpeg[sof + 3]);
    ByteSet rle = With(With(bmp, 28, 8, 2), 30, 1);  // 8-bit RLE: needs a table and its own size
    rle = With(rle, 46, 1);
    const struct {
        const char* name;
        ByteSet bytes;
    } cases[] = {
        {"BMP pixels start past the end", With(bmp, 10, 0x7FFFFFF0)},
        {"BMP pixels start inside the header", With(bmp, 10, 20)},
        {"BMP of 4000 x 4000 in 70 bytes", With(With(bmp, 18, 4000), 22, 4000)},
        {"BMP declared file size past the end", With(bmp, 2, 71)},
        {"BMP image size past the end", With(bmp, 34, 17)},
        {"BMP bit count 7", With(bmp, 28, 7, 2)},
        {"BMP of no width", With(bmp, 18, 0)},
        {"BMP of height -2^31", With(bmp, 22, 0x80000000u)},
        {"BMP of two planes", With(bmp, 26, 2, 2)},
        {"BMP header size 41", With(bmp, 14, 41)},
        {"BMP 8-bit table of 1000 colours", With(With(bmp, 28, 8, 2), 46, 1000)},
        {"BMP compressed rows past the end", With(With(rle, 10, 58), 34, 100)},
        {"BMP compressed as JPEG", With(bmp, 30, 4)},
        {"BMP cut in its header", ByteSet(bmp.begin(), bmp.begin() + 30)},
        {"GIF screen of 8000 x 8000", With(With(kGif, 6, 8000, 2), 8, 8000, 2)},
        {"GIF image of 8000 x 8000 on a small screen", With(With(kGif, 30, 8000, 2), 32, 8000, 2)},
        {"GIF image placed at 16000, 16000", With(With(kGif, 26, 16000, 2), 28, 16000, 2)},
        {"GIF without an image", ByteSet{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}},
        {"PNG of 100000 x 1", With(kPng, 16, 100000, 4, true)},
        {"PNG of 8000 x 8000", With(With(kPng, 16, 8000, 4, true), 20, 8000, 4, true)},
        {"PNG without IHDR first", With(kPng, 12, 0x49444154, 4, true)},
        {"JPEG of 20000 x 10", With(jpeg, sof + 7, 20000, 2, true)},
        {"JPEG of 7000 x 7000", With(With(jpeg, sof + 5, 7000, 2, true), sof + 7, 7000, 2, true)},
        {"JPEG of height 0", With(jpeg, sof + 5, 0, 2, true)},
        {"JPEG without a frame", ByteSet{0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F', 0xFF, 0xD9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ReadPictureHeader(c.bytes));
        SIZE size{1, 1};
        HBITMAP decoded = forms_detail::DecodePicture(c.bytes, size);
        EXPECT_EQ(decoded, nullptr);
        if (decoded)
            DeleteObject(decoded);
        EXPECT_EQ(size.cx, 0);
    }
}

// What servers send after a picture's end (a line break, padding, a stray byte) is not the picture:
// its header gives the picture's own length, and it decodes as without them.
TEST(Pictures, BytesAfterThePicturesEndAreIgnored)
{
    const ByteSet jpeg = MakeJpeg(6, 4, false, 200, 30, 60);
    const struct {
        const char* name;
        ByteSet whole;
        ByteSet tail;
        PictureFormat format;
        int width, height;
    } cases[] = {
        {"JPEG", jpeg, {'\r', '\n', 'x', 0, 0xFF, 0xD8}, PictureFormat::Jpeg, 6, 4},
        {"PNG", kPng, {'\r', '\n'}, PictureFormat::Png, 2, 1},
        {"GIF", kGif, {0, 0, ' '}, PictureFormat::Gif, 3, 2},
        {"BMP", MakeBmp(), {'\n'}, PictureFormat::Bmp, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ByteSet sent = Joined(c.whole, c.tail);
        const auto header = ReadPictureHeader(sent);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->format, c.format);
        EXPECT_EQ(header->width, c.width);
        EXPECT_EQ(header->height, c.height);
        EXPECT_EQ(header->length, c.whole.size());
        // Cut before its end, a picture has no length yet.
        const auto cut = ReadPictureHeader(ByteSet(c.whole.begin(), c.whole.end() - 1));
        EXPECT_TRUE(!cut || cut->length == 0);
        Pixels decoded(sent);
        ASSERT_NE(decoded.bmp, nullptr);
        EXPECT_EQ(decoded.size.cx, c.width);
        EXPECT_EQ(decoded.size.cy, c.height);
    }
    Pixels png(Joined(kPng, ByteSet{'\r', '\n'}));
    ASSERT_NE(png.bmp, nullptr);
    EXPECT_EQ(png.At(0, 0), 0xFF0000u);
    EXPECT_EQ(png.At(1, 0), 0x0000FFu);
}

}  // namespace
