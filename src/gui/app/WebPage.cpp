#include "gui/app/WebPage.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quillet {

namespace {

constexpr std::size_t kMaxSystemTextLength = 255;

std::vector<WebLink> NumberedLinks() {
  const std::pair<const char*, const char*> sites[] = {
      {"Unsplash", "https://unsplash.com/"},
      {"Pexels", "https://www.pexels.com/"},
      {"Pixabay", "https://pixabay.com/"},
      {"Wikimedia Commons", "https://commons.wikimedia.org/"},
      {"NASA Image and Video Library", "https://images.nasa.gov/"},
      {"Flickr: The Commons", "https://www.flickr.com/commons"},
      {"Openverse", "https://openverse.org/"},
      {"Public Domain Pictures", "https://www.publicdomainpictures.net/"},
      {"Burst by Shopify", "https://burst.shopify.com/"},
      {"StockSnap.io", "https://stocksnap.io/"},
      {"Kaboompics", "https://kaboompics.com/"},
      {"Life of Pix", "https://www.lifeofpix.com/"},
      {"Gratisography", "https://gratisography.com/"},
      {"Picjumbo", "https://picjumbo.com/"},
      {"Wallhaven", "https://wallhaven.cc/"},
      {"Smithsonian Open Access", "https://www.si.edu/openaccess"},
      {"The Met Open Access", "https://www.metmuseum.org/art/collection"},
      {"Rijksstudio, Rijksmuseum", "https://www.rijksmuseum.nl/en/rijksstudio"},
      {"Library of Congress Free to Use", "https://www.loc.gov/free-to-use/"},
      {"ISO Republic", "https://isorepublic.com/"},
      {"Negative Space", "https://negativespace.co/"},
  };
  std::vector<WebLink> links;
  int number = 1;
  for (const auto& [title, address] : sites)
    links.push_back({std::to_string(number++) + ". " + title, address});
  return links;
}

// The program's own path when it can be found on PATH (or is a path to an
// executable file); empty otherwise.
QString ResolveProgram(const QString& program) {
  if (program.contains(QLatin1Char('/'))) {
    QFileInfo file(program);
    return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
  }
  return QStandardPaths::findExecutable(program);
}

std::string FailureText(const std::string& systemText, const std::string& browser) {
  std::string text = systemText.substr(0, kMaxSystemTextLength);
  return text + " " + browser;
}

}  // namespace

const std::vector<WebLink>& WebLinks() {
  static const std::vector<WebLink> links = NumberedLinks();
  return links;
}

std::string FaqAddress(std::string_view host) {
  return "http://" + std::string(host) + "/faq.php";
}

std::string BrowserProgram() {
  const char* value = std::getenv("BROWSER");
  std::string browser = value != nullptr ? value : "";
  // $BROWSER may list several programs, separated by colons; take the first.
  browser = browser.substr(0, browser.find(':'));
  return browser.empty() ? "xdg-open" : browser;
}

bool OpenWebPageWith(const std::string& browser, const std::string& address, Prompts& prompts) {
  QString program = QString::fromStdString(browser);
  QString resolved = ResolveProgram(program);
  if (resolved.isEmpty()) {
    // The text the system gives for the same failed start.
    bool unusable = program.contains(QLatin1Char('/')) && QFileInfo::exists(program);
    prompts.Error(FailureText(std::strerror(unusable ? EACCES : ENOENT), browser));
    return false;
  }
  QProcess process;
  process.setProgram(resolved);
  process.setArguments({QString::fromStdString(address)});
  process.setWorkingDirectory(QFileInfo(resolved).absolutePath());
  process.setStandardInputFile(QProcess::nullDevice());
  if (!process.startDetached()) {
    prompts.Error(FailureText(process.errorString().toStdString(), browser));
    return false;
  }
  return true;
}

bool OpenWebPage(const std::string& address, Prompts& prompts) {
  return OpenWebPageWith(BrowserProgram(), address, prompts);
}

}  // namespace quillet
