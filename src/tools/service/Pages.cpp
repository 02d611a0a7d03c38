#include "tools/service/Pages.h"

#include <ctime>

namespace quillet::service {
namespace {

constexpr std::string_view kStyle =
    "body{margin:4px;font-family:sans-serif;color:#222;background:#fff}"
    "h1{font-size:1.2em;margin:.3em 0}"
    "img{max-width:100%;height:auto;border:0}"
    "a{color:#0645ad}"
    "ul{padding-left:0;list-style:none}"
    "li{margin:0 0 .8em 0}"
    "input{max-width:100%}"
    ".note{color:#555;font-size:.9em}"
    ".error{color:#b00}";

std::string Shell(std::string_view title, std::string_view body) {
  std::string page;
  page += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">";
  page += "<title>" + HtmlEscape(title) + "</title><style>";
  page += kStyle;
  page += "</style></head><body>\n";
  page += body;
  page += "\n</body></html>\n";
  return page;
}

std::string FormatTime(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M UTC", &utc);
  return text;
}

std::string SizeText(std::int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  if (bytes < 1024 * 1024) return std::to_string((bytes + 512) / 1024) + " KB";
  const std::int64_t tenths = (bytes * 10 + 512 * 1024) / (1024 * 1024);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

std::string UpperFormat(std::string_view format) {
  if (format == "jpg") return "JPEG";
  std::string upper(format);
  for (char& c : upper)
    c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return upper;
}

std::string ImageTag(const PictureInfo& picture, std::string_view extraStyle) {
  // Width and height let a browser lay out the page before the picture comes;
  // the style keeps a wide picture within a narrow screen.
  std::string tag = "<img src=\"" + HtmlEscape(RawPictureUrl(picture)) + "\" width=\"" +
                    std::to_string(picture.width) + "\" height=\"" +
                    std::to_string(picture.height) + "\" alt=\"" +
                    HtmlEscape(picture.fileName.empty() ? "logo" : picture.fileName) + "\"";
  if (!extraStyle.empty()) tag += " style=\"" + std::string(extraStyle) + "\"";
  return tag + ">";
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~') {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[u >> 4]);
      out.push_back(kHex[u & 15]);
    }
  }
  return out;
}

std::string RawPictureUrl(const PictureInfo& picture) {
  return "/p/" + picture.id + "." + picture.format;
}

std::string PicturePage(const PictureInfo& picture) {
  std::string body;
  body += "<p>" + ImageTag(picture, "") + "</p>\n";
  body += "<p><a href=\"" + HtmlEscape(RawPictureUrl(picture)) + "?download=1\">Download</a></p>\n";
  body += "<p class=\"note\">" + UpperFormat(picture.format) + ", " +
          std::to_string(picture.width) + " x " + std::to_string(picture.height) + ", " +
          SizeText(picture.size) + "</p>";
  return Shell("Logo", body);
}

std::string PictureListPage(const ListPage& page) {
  std::string body = "<h1>" + HtmlEscape(page.heading) + "</h1>\n";
  if (!page.note.empty()) body += "<p class=\"note\">" + HtmlEscape(page.note) + "</p>\n";
  if (page.pictures.empty()) {
    body += "<p>No pictures yet.</p>\n";
  } else {
    body += "<ul>\n";
    for (const PictureInfo& picture : page.pictures) {
      body += "<li><a href=\"/?id=" + HtmlEscape(picture.id) + "\">" +
              ImageTag(picture, "max-height:160px;width:auto") + "</a><br><span class=\"note\">" +
              HtmlEscape(FormatTime(picture.created)) + ", " + std::to_string(picture.width) +
              " x " + std::to_string(picture.height) + "</span></li>\n";
    }
    body += "</ul>\n";
  }
  if (!page.newerLink.empty() || !page.olderLink.empty()) {
    body += "<p>";
    if (!page.newerLink.empty())
      body += "<a href=\"" + HtmlEscape(page.newerLink) + "\">Newer</a> ";
    if (!page.olderLink.empty()) body += "<a href=\"" + HtmlEscape(page.olderLink) + "\">Older</a>";
    body += "</p>\n";
  }
  return Shell(page.title, body);
}

std::string HomePage(bool guest) {
  std::string body;
  body += "<h1>Quillet logos</h1>\n";
  body +=
      "<p>This service keeps the logos and wallpapers uploaded from Quillet, for phones "
      "to fetch.</p>\n";
  body +=
      "<form action=\"/\" method=\"get\"><p>Your pictures:<br>"
      "<input name=\"login\" placeholder=\"Login\" size=\"12\"><br>"
      "<input name=\"password\" type=\"password\" placeholder=\"Password\" size=\"12\"><br>"
      "<input type=\"submit\" value=\"Show\"></p></form>\n";
  body += "<ul>\n";
  if (guest) body += "<li><a href=\"/guest/\">Latest guest pictures</a></li>\n";
  body += "<li><a href=\"/register.php\">Register</a></li>\n";
  body += "<li><a href=\"/download\">Get Quillet</a></li>\n";
  body += "<li><a href=\"/faq.php\">Questions and answers</a></li>\n";
  body += "</ul>";
  return Shell("Quillet logos", body);
}

std::string FaqPage(std::string_view maxUpload, std::int64_t quota, std::int64_t guestPool,
                    bool guest) {
  std::string body;
  body += "<h1>Questions and answers</h1>\n";
  body +=
      "<p><b>How does a picture get to my phone?</b><br>Upload the logo from Quillet. The "
      "address it shows opens the picture here; open it in your phone's browser and save "
      "the picture. A phone on the same network as this service can open it.</p>\n";
  body +=
      "<p><b>Where do I see all my pictures?</b><br>Open this service's address followed by "
      "/?login=NAME&amp;password=PASSWORD on the phone and keep it as a bookmark. Quillet "
      "shows that address after an upload.</p>\n";
  body += "<p><b>Do I need an account?</b><br>";
  if (guest) {
    body +=
        "No: the shared account guest, with the password guest, works for everyone. Its "
        "pictures are public and only the latest " +
        std::to_string(guestPool) + " are kept. ";
  }
  body += "An account of your own keeps up to " + std::to_string(quota) +
          " pictures. <a href=\"/register.php\">Register</a>; no e-mail is needed.</p>\n";
  body += "<p><b>Which pictures can I upload?</b><br>BMP, JPEG, GIF and PNG pictures of up to " +
          HtmlEscape(maxUpload) + " and 4096 x 4096 pixels.</p>\n";
  body +=
      "<p><b>Can others see my pictures?</b><br>Only who knows a picture's address (its "
      "identifier cannot be guessed), or your login and password.</p>\n";
  body += "<p><a href=\"/\">Back</a></p>";
  return Shell("Questions and answers", body);
}

std::string DownloadPage(std::string_view version) {
  std::string body;
  body += "<h1>Get Quillet</h1>\n";
  body += "<p>The current version of Quillet is <b>" + HtmlEscape(version) + "</b>.</p>\n";
  body +=
      "<p>Quillet is built from its source code: get the source from whoever runs this "
      "service, then run <code>scripts/run</code> in it. That builds the program and starts "
      "it, with this kind of service beside it.</p>\n";
  body += "<p><a href=\"/\">Back</a></p>";
  return Shell("Get Quillet", body);
}

std::string RegisterPage(std::string_view message, bool success, std::string_view login) {
  std::string body;
  body += "<h1>Register</h1>\n";
  if (!message.empty()) {
    body += std::string("<p class=\"") + (success ? "note" : "error") + "\">" +
            HtmlEscape(message) + "</p>\n";
  }
  if (success) {
    body +=
        "<p>Enter the login and password in Quillet's System Authorization prompt (or under "
        "Edit, Options) and upload.</p>\n<p><a href=\"/\">Back</a></p>";
    return Shell("Register", body);
  }
  body +=
      "<form action=\"/register.php\" method=\"post\"><p>"
      "Login (letters, digits, dot, hyphen, underscore):<br><input name=\"login\" "
      "maxlength=\"32\" size=\"14\" value=\"" +
      HtmlEscape(login) +
      "\"><br>"
      "Password (at least 4 characters):<br><input name=\"password\" type=\"password\" "
      "size=\"14\"><br>"
      "Password again:<br><input name=\"confirm\" type=\"password\" size=\"14\"><br>"
      "<input type=\"submit\" value=\"Register\"></p></form>\n";
  body += "<p><a href=\"/\">Back</a></p>";
  return Shell("Register", body);
}

std::string MessagePage(std::string_view title, std::string_view text) {
  return Shell(title, "<h1>" + HtmlEscape(title) + "</h1>\n<p>" + HtmlEscape(text) +
                          "</p>\n<p><a href=\"/\">Back</a></p>");
}

}  // namespace quillet::service
