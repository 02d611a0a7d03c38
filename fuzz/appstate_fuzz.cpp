// Feeds arbitrary bytes as "appstate.xml" to the reader, over a logo
// directory of a few real logos and folders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzProgramFolder.h"

#include "core/app/ErrorReport.h"
#include "core/catalogues/AppState.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "core/logodir/LogoTree.h"
#include "core/platform/Prompts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quillet::fuzz::FuzzProgramFolder;
  static const FuzzProgramFolder programFolder(FuzzProgramFolder::Contents::SampleLogos);
  const std::string& folder = programFolder.Path();
  programFolder.Write("logodirectory.xml",
                      "<logodirectory>"
                      "<logodirnode nodekind=\"logo\" nodename=\"a.jpg\" uploadurl=\"\"/>"
                      "<logodirnode nodekind=\"folder\" nodename=\"Cars\" uploadurl=\"\">"
                      "<logodirnode nodekind=\"logo\" nodename=\"b.png\" uploadurl=\"\"/>"
                      "<logodirnode nodekind=\"folder\" nodename=\"Sports\" uploadurl=\"\">"
                      "<logodirnode nodekind=\"logo\" nodename=\"c.gif\" uploadurl=\"\"/>"
                      "</logodirnode></logodirnode></logodirectory>");
  programFolder.Write("appstate.xml", data, size);
  quillet::LogoTree tree;
  quillet::SilentPrompts prompts;
  quillet::LoadLogoDirectory(tree, folder, prompts);
  try {
    if (quillet::LogoNode* selected = quillet::ReadAppState(tree, folder, prompts))
      quillet::AppStateDocument(selected);
  } catch (const quillet::QuilletError&) {
    // An unreadable file is reported to the user; nothing to check here.
  }
  return 0;
}
