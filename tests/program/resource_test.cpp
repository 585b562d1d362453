// The program's resources, read from its .exe as data: the icon group "ZORD" and the picture
// "BITMAP0", both looked up by name as the program does.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <unordered_set>

#include "tests/toolkit/toolkit_test.h"

namespace fliran {
namespace {

WideString PanelPath() { return test::ProgramBesideThis(L"" FLIRAN_PANEL_EXE); }

struct IconDeleter {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct GdiDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiDeleter>;

// The resource types by number, for the wide-character lookups (the plain names are narrow here).
const wchar_t* const kGroupIconType = MAKEINTRESOURCEW(14);
const wchar_t* const kBitmapType = MAKEINTRESOURCEW(2);

constexpr int kPictureWidth = 794;
constexpr int kPictureHeight = 934;

// The bytes of one resource of the module.
struct ResourceBytes {
  const unsigned char* data = nullptr;
  DWORD size = 0;
};

ResourceBytes ReadResource(HMODULE module, const wchar_t* name, const wchar_t* type) {
  HRSRC found = FindResourceW(module, name, type);
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return {};
  return {static_cast<const unsigned char*>(LockResource(loaded)), SizeofResource(module, found)};
}

// The .exe mapped as a resource file, not started: its code never runs here.
class PanelResources : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(PanelPath().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "error " << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  HMODULE module_ = nullptr;
};

TEST_F(PanelResources, IconGroupZordHoldsFourSizesAndLoadsAsIcon) {
  ResourceBytes group = ReadResource(module_, L"ZORD", kGroupIconType);
  ASSERT_NE(group.data, nullptr) << "no icon group ZORD";

  // The group directory: three words, then one 14-byte entry per image (width, height, colours,
  // reserved, planes, bits per pixel, byte count, image id); a width of 0 stands for 256.
  ASSERT_GE(group.size, 6u);
  WORD count = 0;
  std::memcpy(&count, group.data + 4, sizeof count);
  ASSERT_EQ(group.size, 6u + 14u * count);
  std::set<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    const unsigned char* entry = group.data + 6 + 14 * i;
    WORD bits = 0;
    std::memcpy(&bits, entry + 6, sizeof bits);
    EXPECT_EQ(bits, 32) << "image " << i;
    sizes.insert(entry[0] == 0 ? 256 : entry[0]);
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));

  for (int side : {16, 32, 48}) {
    IconHandle icon(static_cast<HICON>(LoadImageW(module_, L"ZORD", IMAGE_ICON, side, side, 0)));
    ASSERT_NE(icon, nullptr) << side << " px, error " << GetLastError();
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    BitmapHandle colourImage(info.hbmColor);
    BitmapHandle mask(info.hbmMask);
    BITMAP colour{};
    ASSERT_NE(colourImage, nullptr) << side << " px";
    EXPECT_NE(GetObjectW(colourImage.get(), sizeof colour, &colour), 0);
    EXPECT_EQ(colour.bmWidth, side);
    EXPECT_EQ(colour.bmHeight, side);
  }
}

TEST_F(PanelResources, Bitmap0IsThePictureAs32BitBottomUpDib) {
  ResourceBytes dib = ReadResource(module_, L"BITMAP0", kBitmapType);
  ASSERT_NE(dib.data, nullptr) << "no bitmap BITMAP0";
  BITMAPINFOHEADER header{};
  ASSERT_GE(dib.size, sizeof header);
  std::memcpy(&header, dib.data, sizeof header);
  EXPECT_EQ(header.biSize, sizeof header);
  EXPECT_EQ(header.biWidth, kPictureWidth);
  EXPECT_EQ(header.biHeight, kPictureHeight) << "a positive height: rows stored bottom-up";
  EXPECT_EQ(header.biBitCount, 32);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  constexpr std::size_t kPixelBytes = std::size_t{kPictureWidth} * kPictureHeight * 4;
  ASSERT_EQ(dib.size, sizeof header + kPixelBytes);

  // A drawing, not a flat fill: many different colours.
  std::unordered_set<std::uint32_t> colours;
  for (std::size_t at = sizeof header; at < dib.size; at += 4) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, dib.data + at, sizeof pixel);
    colours.insert(pixel & 0xFFFFFFu);
  }
  EXPECT_GT(colours.size(), 256u);

  BitmapHandle bitmap(LoadBitmapW(module_, L"BITMAP0"));
  ASSERT_NE(bitmap, nullptr) << "error " << GetLastError();
  BITMAP object{};
  EXPECT_NE(GetObjectW(bitmap.get(), sizeof object, &object), 0);
  EXPECT_EQ(object.bmWidth, kPictureWidth);
  EXPECT_EQ(object.bmHeight, kPictureHeight);
}

}  // namespace
}  // namespace fliran
