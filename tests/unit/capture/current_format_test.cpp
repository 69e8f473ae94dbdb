// Reading the current format's block alone, and the owners of what the platform hands out.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "capture/SampleGrabberCB.h"
#include "capture/current_format.h"
#include "capture/media_type.h"
#include "capture/variant.h"

namespace {

constexpr DWORD kYuy2 = 0x32595559;  // 'Y' 'U' 'Y' '2'

VIDEOINFOHEADER Header(LONG width, LONG height, DWORD compression) {
    VIDEOINFOHEADER info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biCompression = compression;
    return info;
}

// The header's bytes at `offset` in a buffer of `size` bytes, so that alignment and length vary.
std::vector<BYTE> Block(const VIDEOINFOHEADER& info, std::size_t offset = 0,
                        std::size_t size = sizeof(VIDEOINFOHEADER)) {
    std::vector<BYTE> bytes(offset + size, 0xAB);
    std::memcpy(bytes.data() + offset, &info, std::min(size, sizeof info));
    return bytes;
}

CurrentFormatReading Read(const GUID& type, const std::vector<BYTE>& bytes,
                          std::size_t offset = 0) {
    return ReadCurrentFormatBlock(type, bytes.data() + offset, bytes.size() - offset);
}

void ExpectNothingRead(const CurrentFormatReading& reading) {
    EXPECT_EQ(reading.format.width, 0);
    EXPECT_EQ(reading.format.height, 0);
    EXPECT_EQ(reading.format.compression, 0u);
}

TEST(CurrentFormatTest, VideoInfoGivesWidthRowsAndCompression) {
    CurrentFormatReading reading = Read(FORMAT_VideoInfo, Block(Header(640, 480, kYuy2)));
    EXPECT_EQ(reading.status, CurrentFormatStatus::Read);
    EXPECT_EQ(reading.format.width, 640);
    EXPECT_EQ(reading.format.height, 480);
    EXPECT_EQ(reading.format.compression, kYuy2);
    EXPECT_EQ(CurrentFormatResult(reading.status), S_OK);

    reading = Read(FORMAT_VideoInfo, Block(Header(320, 240, BI_RGB)));
    EXPECT_EQ(reading.format.compression, 0u);
}

TEST(CurrentFormatTest, TopDownHeightIsItsAbsoluteValue) {
    EXPECT_EQ(Read(FORMAT_VideoInfo, Block(Header(640, -480, kYuy2))).format.height, 480);
    CurrentFormatReading tallest = Read(FORMAT_VideoInfo, Block(Header(1, INT_MIN + 1, kYuy2)));
    EXPECT_EQ(tallest.status, CurrentFormatStatus::Read);
    EXPECT_EQ(tallest.format.height, INT_MAX);
}

TEST(CurrentFormatTest, HeightOfIntMinIsNotAFormat) {
    CurrentFormatReading reading = Read(FORMAT_VideoInfo, Block(Header(640, INT_MIN, kYuy2)));
    EXPECT_EQ(reading.status, CurrentFormatStatus::HeightOutOfRange);
    ExpectNothingRead(reading);
    EXPECT_EQ(CurrentFormatResult(reading.status), E_FAIL);
}

TEST(CurrentFormatTest, AnotherFormatTypeGivesZerosAndSuccess) {
    const GUID noType{};
    for (const GUID* type : {&FORMAT_VideoInfo2, &MEDIATYPE_Video, &noType}) {
        CurrentFormatReading reading = Read(*type, Block(Header(640, 480, kYuy2)));
        EXPECT_EQ(reading.status, CurrentFormatStatus::OtherFormatType);
        ExpectNothingRead(reading);
        EXPECT_EQ(CurrentFormatResult(reading.status), S_OK);
    }
}

TEST(CurrentFormatTest, ABlockShorterThanTheHeaderIsNotRead) {
    const VIDEOINFOHEADER info = Header(640, 480, kYuy2);
    CurrentFormatReading reading = Read(FORMAT_VideoInfo, Block(info, 0, sizeof info - 1));
    EXPECT_EQ(reading.status, CurrentFormatStatus::ShortBlock);
    ExpectNothingRead(reading);
    EXPECT_EQ(CurrentFormatResult(reading.status), E_FAIL);
    reading = ReadCurrentFormatBlock(FORMAT_VideoInfo, nullptr, sizeof info);
    EXPECT_EQ(reading.status, CurrentFormatStatus::ShortBlock);
    EXPECT_EQ(ReadCurrentFormatBlock(FORMAT_VideoInfo, nullptr, 0).status,
              CurrentFormatStatus::ShortBlock);
    // A longer block (a palette or masks behind the header) is read.
    EXPECT_EQ(Read(FORMAT_VideoInfo, Block(info, 0, sizeof info + 12)).format.width, 640);
}

TEST(CurrentFormatTest, AnUnalignedBlockIsReadAsItIs) {
    for (std::size_t offset = 1; offset < 8; ++offset) {
        CurrentFormatReading reading =
            Read(FORMAT_VideoInfo, Block(Header(1920, -1080, kYuy2), offset), offset);
        EXPECT_EQ(reading.status, CurrentFormatStatus::Read);
        EXPECT_EQ(reading.format.width, 1920);
        EXPECT_EQ(reading.format.height, 1080);
    }
}

TEST(MediaTypePtrTest, FreesTheBlockAndReleasesTheObjectOfTheType) {
    auto* held = new TSampleGrabberCB(nullptr);
    held->AddRef();
    {
        MediaTypePtr type;
        AM_MEDIA_TYPE** slot = type.Put();
        *slot = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        **slot = AM_MEDIA_TYPE{};
        (*slot)->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
        (*slot)->cbFormat = sizeof(VIDEOINFOHEADER);
        (*slot)->pUnk = held;
        EXPECT_TRUE(type);
        EXPECT_EQ(TSampleGrabberCB::LiveInstances(), 1);
    }
    EXPECT_EQ(TSampleGrabberCB::LiveInstances(), 0);
}

TEST(MediaTypePtrTest, PutFreesTheTypeHeldSoFar) {
    MediaTypePtr type;
    for (int i = 0; i < 2; ++i) {
        AM_MEDIA_TYPE** slot = type.Put();
        EXPECT_EQ(*slot, nullptr);
        *slot = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        **slot = AM_MEDIA_TYPE{};
        (*slot)->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(16));
    }
    type.Reset();
    EXPECT_FALSE(type);
}

TEST(VariantValueTest, HoldsAStringUntilFilledAgain) {
    VariantValue value;
    EXPECT_EQ(value.String(), nullptr);
    VARIANT* slot = value.Put();
    slot->vt = VT_BSTR;
    slot->bstrVal = SysAllocString(L"Camera");
    ASSERT_NE(value.String(), nullptr);
    EXPECT_EQ(std::wstring(value.String()), L"Camera");
    // Filling it again clears the string first.
    value.Put();
    EXPECT_EQ(value.String(), nullptr);
}

}  // namespace
