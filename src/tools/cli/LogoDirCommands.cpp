// Placeholder commands; the owner of this file replaces them.
#include "tools/cli/Cli.h"

#include <stdexcept>

namespace quillet::cli {
int RunLogoDir(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
int RunAppState(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
}  // namespace quillet::cli
