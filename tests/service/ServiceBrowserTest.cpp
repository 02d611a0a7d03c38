// The pages for phones, fetched by a real browser: headless Chromium with a
// phone's user agent in a 240 x 320 and a 390 x 844 window. The screenshots
// are decoded with the core's PNG decoder and searched for the picture's
// colour.
#include <gtest/gtest.h>

#include "ServiceHarness.h"
#include "core/codecs/Codecs.h"

namespace quillet::testing {
namespace {

using Lines = std::vector<std::string>;

struct Phone {
  int width;
  int height;
  const char* userAgent;
};

const Phone kPhones[] = {
    {240, 320,
     "Mozilla/5.0 (Series40; Nokia X3-02/5.06; Profile/MIDP-2.1 Configuration/CLDC-1.1) "
     "Gecko/20100401 S40OviBrowser/2.0.1.62.6"},
    {390, 844,
     "Mozilla/5.0 (iPhone; CPU iPhone OS 17_4 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
     "Gecko) Version/17.4 Mobile/15E148 Safari/604.1"},
};

Bitmap Screenshot(const std::string& url, const Phone& phone) {
  TempDir profile;
  const std::string shot = profile.Path() + "shot.png";
  const CommandResult chromium = RunCommand(
      "/usr/bin/chromium",
      {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
       "--disable-background-networking", "--disable-component-update", "--disable-sync",
       "--no-proxy-server", "--hide-scrollbars", "--user-data-dir=" + profile.Path() + "profile",
       "--user-agent=" + std::string(phone.userAgent),
       "--window-size=" + std::to_string(phone.width) + "," + std::to_string(phone.height),
       "--screenshot=" + shot, url});
  const std::string bytes = ReadFileOrEmpty(shot);
  if (bytes.empty()) {
    ADD_FAILURE() << "no screenshot of " << url << ": " << chromium.err.substr(0, 2000);
    return Bitmap();
  }
  return DecodePng(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

struct Found {
  int pixels = 0;
  Rect box{1 << 30, 1 << 30, -1, -1};
};

Found FindColour(const Bitmap& shot, int r, int g, int b) {
  Found found;
  for (int y = 0; y < shot.Height(); ++y) {
    for (int x = 0; x < shot.Width(); ++x) {
      const Color c = shot.Pixel(x, y);
      if (std::abs(RedOf(c) - r) <= 6 && std::abs(GreenOf(c) - g) <= 6 &&
          std::abs(BlueOf(c) - b) <= 6) {
        ++found.pixels;
        found.box.left = std::min(found.box.left, x);
        found.box.top = std::min(found.box.top, y);
        found.box.right = std::max(found.box.right, x + 1);
        found.box.bottom = std::max(found.box.bottom, y + 1);
      }
    }
  }
  return found;
}

class BrowserTest : public ::testing::Test {
 protected:
  BrowserTest() { service_.AddUser("anna", "anna-pw-1"); }
  std::string Upload(const std::string& login, const std::string& password,
                     const std::string& bytes) {
    const Lines reply = PostProgramForm(service_.Port(), "/upload.php",
                                        UploadForm(login, password, "logo.png", bytes));
    EXPECT_EQ(reply.empty() ? "" : reply[0], "SUCCESS");
    return reply.size() > 1 ? reply[1] : "";
  }

  ServiceProcess service_;
};

// Distinctive colours, far from anything a page draws on its own.
constexpr int kMagenta[3] = {224, 16, 192};
constexpr int kGreen[3] = {16, 200, 40};
constexpr int kOrange[3] = {250, 140, 10};

TEST_F(BrowserTest, PicturePageShowsThePictureAtItsOwnSize) {
  const std::string address =
      Upload("anna", "anna-pw-1", SolidPng(200, 150, kMagenta[0], kMagenta[1], kMagenta[2]));
  for (const Phone& phone : kPhones) {
    const Bitmap shot = Screenshot(address, phone);
    ASSERT_EQ(shot.Width(), phone.width);
    const Found found = FindColour(shot, kMagenta[0], kMagenta[1], kMagenta[2]);
    EXPECT_EQ(found.box.Width(), 200) << phone.width;
    EXPECT_EQ(found.box.Height(), 150) << phone.width;
    EXPECT_GE(found.pixels, 200 * 150 * 95 / 100) << phone.width;
  }
}

TEST_F(BrowserTest, AWidePictureIsShrunkToTheScreen) {
  const std::string address =
      Upload("guest", "guest", SolidPng(600, 100, kOrange[0], kOrange[1], kOrange[2]));
  for (const Phone& phone : kPhones) {
    const Found found = FindColour(Screenshot(address, phone), kOrange[0], kOrange[1], kOrange[2]);
    // The whole width of the picture fits, in proportion: 6 to 1.
    EXPECT_GT(found.box.Width(), phone.width - 20) << phone.width;
    EXPECT_LE(found.box.Width(), phone.width);
    EXPECT_NEAR(found.box.Height(), found.box.Width() / 6, 2) << phone.width;
    EXPECT_LE(found.box.left, 10) << "nothing pushes it sideways";
  }
}

TEST_F(BrowserTest, AccountPageListsThePicturesNewestFirst) {
  Upload("anna", "anna-pw-1", SolidPng(120, 60, kGreen[0], kGreen[1], kGreen[2]));
  Upload("anna", "anna-pw-1", SolidPng(120, 60, kMagenta[0], kMagenta[1], kMagenta[2]));
  const std::string url = service_.Url("/?login=anna&password=anna-pw-1");
  for (const Phone& phone : kPhones) {
    const Bitmap shot = Screenshot(url, phone);
    const Found newer = FindColour(shot, kMagenta[0], kMagenta[1], kMagenta[2]);
    const Found older = FindColour(shot, kGreen[0], kGreen[1], kGreen[2]);
    ASSERT_GT(newer.pixels, 120 * 60 / 2) << phone.width;
    if (phone.height > 320) {
      ASSERT_GT(older.pixels, 120 * 60 / 2);
    }
    if (older.pixels > 0) {
      EXPECT_LT(newer.box.bottom, older.box.top) << phone.width;
    }
  }
  const HttpResponse wrong = Get(service_.Port(), "/?login=anna&password=nope");
  EXPECT_EQ(wrong.status, 403);
  EXPECT_EQ(wrong.body.find("/p/"), std::string::npos);
}

TEST_F(BrowserTest, GuestPageListsTheLatestGuestPictures) {
  Upload("guest", "guest", SolidPng(100, 80, kOrange[0], kOrange[1], kOrange[2]));
  Upload("anna", "anna-pw-1", SolidPng(100, 80, kGreen[0], kGreen[1], kGreen[2]));
  for (const Phone& phone : kPhones) {
    const Bitmap shot = Screenshot(service_.Url("/guest/"), phone);
    EXPECT_GT(FindColour(shot, kOrange[0], kOrange[1], kOrange[2]).pixels, 100 * 80 * 9 / 10)
        << phone.width;
    EXPECT_EQ(FindColour(shot, kGreen[0], kGreen[1], kGreen[2]).pixels, 0)
        << "a member's picture is not on the guest page";
  }
}

}  // namespace
}  // namespace quillet::testing
