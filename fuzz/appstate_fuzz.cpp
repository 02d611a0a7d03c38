// Feeds arbitrary bytes as "appstate.xml" to the reader, over a logo
// directory of a few real logos and folders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/app/ErrorReport.h"
#include "core/catalogues/AppState.h"
#include "core/logodir/LogoDirectoryFile.h"
#include "core/logodir/LogoTree.h"
#include "core/platform/Prompts.h"

namespace {

// Removed with everything in it when the fuzzer ends.
struct ProgramFolder {
  std::string path;
  ~ProgramFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

std::string MakeProgramFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillet-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  std::string folder = pattern + "/";
  std::filesystem::create_directories(folder + "Logo Directory/Cars/Sports");
  for (const char* file :
       {"Logo Directory/a.jpg", "Logo Directory/Cars/b.png", "Logo Directory/Cars/Sports/c.gif"})
    std::ofstream(folder + file) << "x";
  std::ofstream(folder + "logodirectory.xml")
      << "<logodirectory>"
         "<logodirnode nodekind=\"logo\" nodename=\"a.jpg\" uploadurl=\"\"/>"
         "<logodirnode nodekind=\"folder\" nodename=\"Cars\" uploadurl=\"\">"
         "<logodirnode nodekind=\"logo\" nodename=\"b.png\" uploadurl=\"\"/>"
         "<logodirnode nodekind=\"folder\" nodename=\"Sports\" uploadurl=\"\">"
         "<logodirnode nodekind=\"logo\" nodename=\"c.gif\" uploadurl=\"\"/>"
         "</logodirnode></logodirnode></logodirectory>";
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProgramFolder programFolder{MakeProgramFolder()};
  const std::string& folder = programFolder.path;
  std::ofstream(folder + "appstate.xml", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
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
