// quillet-cli: the program's core from the command line — a checker for a
// user's data folder and a front end to the picture operations.
#include <curl/curl.h>

#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli/Cli.h"

namespace {

using Command = int (*)(const std::vector<std::string>&);

struct CommandEntry {
  std::string_view name;
  Command run;
  std::string_view usage;
};

constexpr CommandEntry kCommands[] = {
    {"catalogue", quillet::cli::RunCatalogue, "catalogue [--data-dir D]"},
    {"parameters", quillet::cli::RunParameters, "parameters [--data-dir D]"},
    {"options", quillet::cli::RunOptions, "options [--data-dir D]"},
    {"logodir", quillet::cli::RunLogoDir, "logodir [--data-dir D]"},
    {"appstate", quillet::cli::RunAppState, "appstate [--data-dir D]"},
    {"frame", quillet::cli::RunFrame,
     "frame --picture WxH --logo WxH [--fit width|height|smaller|bigger]"},
    {"render", quillet::cli::RunRender,
     "render PICTURE --logo WxH [--fit K] [--keep-proportions yes|no] [--frame L,T,W,H] "
     "[--fill none|RRGGBB] -o OUT [--quality Q] [--bits B]"},
    {"resample", quillet::cli::RunResample, "resample IN --rect L,T,R,B --size W,H -o OUT"},
    {"encode", quillet::cli::RunEncode, "encode IN OUT [--quality Q] [--bits B]"},
    {"transform", quillet::cli::RunTransform,
     "transform IN OUT --mirror horizontal|vertical | --rotate 90|180|270"},
    {"info", quillet::cli::RunInfo, "info FILE"},
    {"upload", quillet::cli::RunUpload, "upload FILE... [--data-dir D]"},
};

void PrintUsage(std::ostream& out) {
  out << "usage: quillet-cli COMMAND [ARGS]\n";
  for (const auto& entry : kCommands)
    out << "  quillet-cli " << entry.usage << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread: libcurl's global state.
  curl_global_init(CURL_GLOBAL_DEFAULT);
  if (argc < 2 || std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h") {
    PrintUsage(argc < 2 ? std::cerr : std::cout);
    return argc < 2 ? 2 : 0;
  }
  std::string_view name = argv[1];
  std::vector<std::string> words(argv + 2, argv + argc);
  for (const auto& entry : kCommands) {
    if (entry.name != name) continue;
    try {
      return entry.run(words);
    } catch (const quillet::cli::UsageError& error) {
      std::cerr << "quillet-cli " << name << ": " << error.what() << "\nusage: quillet-cli "
                << entry.usage << '\n';
      return 2;
    } catch (const std::exception& error) {
      std::cerr << "quillet-cli " << name << ": " << error.what() << '\n';
      return 1;
    }
  }
  std::cerr << "quillet-cli: unknown command " << name << '\n';
  PrintUsage(std::cerr);
  return 2;
}
