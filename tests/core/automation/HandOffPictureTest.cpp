// Pictures handed over as bytes: decoding, safe unique names in "Temp", and
// which file: addresses count as the program's own.
#include "core/automation/HandOffPicture.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/acquire/PictureDownload.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileOrEmpty;
using testing::TempDir;

TEST(Base64, DecodesOnlyStrictBase64) {
  struct Case {
    std::string text;
    std::optional<std::string> bytes;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"Zg==", "f"},
      {"Zm8=", "fo"},
      {"Zm9v", "foo"},
      {"AP/+", std::string("\x00\xff\xfe", 3)},
      {"Zm9vYg==", "foob"},
      {"Zg", std::nullopt},        // padding left off
      {"Zm9v\n", std::nullopt},    // a line break
      {"Zm 9v", std::nullopt},     // a blank
      {"Z===", std::nullopt},      // too much padding
      {"Zg==Zg==", std::nullopt},  // padding in the middle
      {"Zm9-", std::nullopt},      // the URL alphabet
      {"=Zm9", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DecodeBase64(c.text), c.bytes) << c.text;
}

TEST(PictureTypes, NameTheExtensionsTheProgramTakes) {
  struct Case {
    std::string type, extension;
  };
  const std::vector<Case> cases = {
      {"image/jpeg", ".jpg"},
      {"IMAGE/JPEG", ".jpg"},
      {"image/pjpeg", ".jpg"},
      {"image/png", ".png"},
      {" image/png ; q=1", ".png"},
      {"image/gif", ".gif"},
      {"image/bmp", ".bmp"},
      {"image/x-ms-bmp", ".bmp"},
      {"image/webp", ""},
      {"image/svg+xml", ""},
      {"text/html", ""},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PictureExtensionForType(c.type), c.extension) << c.type;
}

TEST(DataUrls, GiveTheirTypeAndBytes) {
  struct Case {
    std::string url;
    std::optional<std::string> type, bytes;
  };
  const std::vector<Case> cases = {
      {"data:image/png;base64,iVBORw0KGgo=", "image/png", "\x89PNG\r\n\x1a\n"},
      {"DATA:image/gif;BASE64,R0lG", "image/gif", "GIF"},
      // Browsers drop blanks and accept missing padding.
      {"data:image/png;base64,iVBO Rw0K\nGgo", "image/png", "\x89PNG\r\n\x1a\n"},
      {"data:image/bmp;name=x.bmp;base64,Qk0=", "image/bmp", "BM"},
      {"data:image/bmp,BM%00%FF", "image/bmp", std::string("BM\x00\xff", 4)},
      {"data:,hello", "text/plain", "hello"},
      {"data:image/png;base64", std::nullopt, std::nullopt},  // no comma
      {"data:image/png;base64,!!!!", std::nullopt, std::nullopt},
      {"data:image/png,%zz", std::nullopt, std::nullopt},
      {"http://a/b.png", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<DataUrl> data = ParseDataUrl(c.url);
    ASSERT_EQ(data.has_value(), c.type.has_value()) << c.url;
    if (!data) continue;
    EXPECT_EQ(data->type, *c.type) << c.url;
    EXPECT_EQ(data->bytes, *c.bytes) << c.url;
  }
}

TEST(StoredNames, AreSafeNamesOfOneFolder) {
  struct Case {
    std::string hint, base;
  };
  const std::vector<Case> cases = {
      {"cat.png", "cat"},
      {"https://a/pics/Kitten Photo.JPG", "Kitten Photo"},
      {"../../etc/passwd", "passwd"},
      {"..\\..\\boot.ini", "boot"},
      {"..", "picture"},
      {".hidden", "picture"},
      {"", "picture"},
      {"   ", "picture"},
      {"_-_.png", "picture"},
      {"a/b/", "picture"},
      {"my.holiday.pic.gif", "my_holiday_pic"},
      {"x?y=1&z:*<>|\".png", "x_y_1_z______"},
      {"кот.png", "кот"},
      {"bad\xff\xfe.png", "bad__"},
      {std::string("nul\0x.png", 9), "nul_x"},
      {std::string(300, 'a') + ".png", std::string(100, 'a')},
      {std::string(99, 'a') + "é.png", std::string(99, 'a')},  // never half a letter
  };
  for (const Case& c : cases)
    EXPECT_EQ(StoredPictureBaseName(c.hint), c.base) << c.hint;
}

TEST(StoredPictures, AreWrittenWholeUnderUniqueNames) {
  TempDir dir;
  const std::string temp = dir.Path() + "program/Temp";  // created when missing
  const std::string png = "\x89PNG\r\n\x1a\n-first";
  const StoredPicture first = StoreHandedOverPicture(temp, png, ".png", "cat.png");
  ASSERT_TRUE(first.result.ok) << first.result.detail;
  EXPECT_EQ(first.path, temp + "/cat.png");
  EXPECT_EQ(ReadFileOrEmpty(first.path), png);

  const StoredPicture second = StoreHandedOverPicture(temp, "second", ".png", "cat.png");
  const StoredPicture third = StoreHandedOverPicture(temp, "third", ".png", "../cat.png");
  ASSERT_TRUE(second.result.ok && third.result.ok);
  EXPECT_EQ(second.path, temp + "/cat-2.png");
  EXPECT_EQ(third.path, temp + "/cat-3.png");
  // No file there is ever replaced, not even one the program put there.
  EXPECT_EQ(ReadFileOrEmpty(first.path), png);
  EXPECT_EQ(ReadFileOrEmpty(second.path), "second");
  EXPECT_EQ(testing::SortedNamesIn(temp),
            (std::vector<std::string>{"cat-2.png", "cat-3.png", "cat.png"}));

  struct stat info {};
  ASSERT_EQ(::stat(first.path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));

  // The name the download dialog gives its temporary copy of that address is
  // the stored file's own.
  EXPECT_EQ(TemporaryPictureName(FileUrlOf(first.path)), "cat.png");
}

TEST(StoredPictures, AFailedWriteLeavesNothing) {
  TempDir dir;
  const std::string temp = dir.MakeDir("Temp");
  {
    testing::FileSizeLimit limit(4);
    const StoredPicture stored = StoreHandedOverPicture(temp, "too many bytes", ".gif", "x");
    EXPECT_FALSE(stored.result.ok);
    EXPECT_TRUE(stored.path.empty());
  }
  EXPECT_TRUE(testing::SortedNamesIn(temp).empty());

  // A file where "Temp" should be.
  const std::string blocked = dir.Write("blocked", "file");
  EXPECT_FALSE(StoreHandedOverPicture(blocked, "GIF89a", ".gif", "x").result.ok);
}

TEST(FileUrls, EncodeEverythingButPlainPathCharacters) {
  EXPECT_EQ(FileUrlOf("/home/ann/My Logos/Temp/кот-1.png"),
            "file:///home/ann/My%20Logos/Temp/%D0%BA%D0%BE%D1%82-1.png");
  EXPECT_EQ(FileUrlOf("/a/100%#?.png"), "file:///a/100%25%23%3F.png");
}

TEST(OwnFiles, AreFilesDirectlyInTemp) {
  TempDir dir;
  const std::string temp = dir.MakeDir("program/Temp");
  const std::string cat = dir.Write("program/Temp/cat 1.png", "png");
  dir.Write("program/Temp/sub/deep.png", "png");
  dir.Write("program/options.xml", "<options/>");
  dir.Write("outside.png", "png");
  fs::create_symlink(dir.Path() + "outside.png", temp + "/link.png");
  fs::create_symlink(cat, temp + "/inner-link.png");
  const std::string url = FileUrlOf(cat);

  EXPECT_EQ(OwnTempFilePath(url, temp), cat);
  EXPECT_EQ(OwnTempFilePath("FILE://localhost" + url.substr(7), temp), cat);
  EXPECT_EQ(OwnTempFilePath(FileUrlOf(temp + "/inner-link.png"), temp), cat);
  EXPECT_EQ(OwnTempFilePath(url, temp + "/"), cat);
  for (const std::string& other : std::vector<std::string>{
           FileUrlOf(temp + "/../options.xml"),       // climbs out
           "file://" + temp + "/%2E%2E/options.xml",  // climbs out, encoded
           FileUrlOf(temp + "/link.png"),             // a link out of the folder
           FileUrlOf(temp + "/sub/deep.png"),         // not directly in it
           FileUrlOf(temp + "/sub"),                  // a folder
           FileUrlOf(temp + "/missing.png"),          // no file
           FileUrlOf(dir.Path() + "outside.png"),
           "file://otherhost" + url.substr(7),
           url + "?x=1",
           url + "#frag",
           "file:" + url.substr(7),
           "file://" + temp + "/cat%201.png%00.txt",
           "file://" + temp + "/cat%2",
           "http://a/cat.png",
           "/etc/passwd",
       })
    EXPECT_EQ(OwnTempFilePath(other, temp), std::nullopt) << other;
  EXPECT_EQ(OwnTempFilePath(url, dir.Path() + "no-such-folder"), std::nullopt);
}

}  // namespace
}  // namespace quillet
