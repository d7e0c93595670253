#pragma once
// Data the programs carry, embedded at build time (resources/CMakeLists.txt).
#ifdef __cplusplus
extern "C" {
#endif

// The skin library (platform/skin), a 32-bit DLL image mapped from memory, never written to a file.
extern const unsigned char EmbeddedSkinLibrary[];
extern const unsigned EmbeddedSkinLibrary_size;

// The skin data handed to the skin library (format: platform/skin/skin_format.md).
extern const unsigned char EmbeddedSkinData[];
extern const unsigned EmbeddedSkinData_size;

// The alarm sound, an MP3 file written beside the program when it is missing.
extern const unsigned char EmbeddedAlarmSound[];
extern const unsigned EmbeddedAlarmSound_size;

// The empty database the list-view export writes to "db.tmp" before filling it: a database of the
// program's own engine (runtime/database.h) as a block of magic 0x033E0F0D, length and zlib stream.
// Made by make_db_template.py.
extern const unsigned char EmbeddedDatabaseTemplate[];
extern const unsigned EmbeddedDatabaseTemplate_size;

// The rank pictures of the weekly ranking lists, 16 x 16 BMP: EmbeddedRankPictureN shows the rank N.
extern const unsigned char EmbeddedRankPicture1[], EmbeddedRankPicture2[], EmbeddedRankPicture3[],
    EmbeddedRankPicture4[], EmbeddedRankPicture5[], EmbeddedRankPicture6[], EmbeddedRankPicture7[],
    EmbeddedRankPicture8[], EmbeddedRankPicture9[], EmbeddedRankPicture10[];
extern const unsigned EmbeddedRankPicture1_size, EmbeddedRankPicture2_size, EmbeddedRankPicture3_size,
    EmbeddedRankPicture4_size, EmbeddedRankPicture5_size, EmbeddedRankPicture6_size, EmbeddedRankPicture7_size,
    EmbeddedRankPicture8_size, EmbeddedRankPicture9_size, EmbeddedRankPicture10_size;

// The banners of the market-quote window, 1000 x 30 JPEG: under "打开游戏列表" and "关闭游戏列表".
extern const unsigned char EmbeddedMarketOpenBanner[];
extern const unsigned EmbeddedMarketOpenBanner_size;
extern const unsigned char EmbeddedMarketCloseBanner[];
extern const unsigned EmbeddedMarketCloseBanner_size;

#ifdef __cplusplus
}
#endif
