#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/service/Store.h"

namespace quillet::service {

std::string HtmlEscape(std::string_view text);
// Percent-encoding for a query value: everything but unreserved characters.
std::string UrlEncode(std::string_view text);

// Where a stored picture's own bytes are served.
std::string RawPictureUrl(const PictureInfo& picture);

// The pages are small and plain so that a WAP-era handset browser of
// 128 x 160 pixels shows them as well as a current phone: no script, one
// column, pictures at their own size but never wider than the screen.
std::string PicturePage(const PictureInfo& picture);

struct ListPage {
  std::string title;
  std::string heading;
  std::string note;  // a line under the heading, plain text
  std::vector<PictureInfo> pictures;
  std::string newerLink;  // relative links to the neighbouring pages, or empty
  std::string olderLink;
};
std::string PictureListPage(const ListPage& page);

std::string HomePage(bool guest);
std::string FaqPage(std::string_view maxUpload, std::int64_t quota, std::int64_t guestPool,
                    bool guest);
std::string DownloadPage(std::string_view version);
// `message` is plain text (empty for none); `login` fills the name field again.
std::string RegisterPage(std::string_view message, bool success, std::string_view login);
std::string MessagePage(std::string_view title, std::string_view text);

}  // namespace quillet::service
