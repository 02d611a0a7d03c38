// Placeholder commands; the owner of this file replaces them.
#include "tools/cli/Cli.h"

#include <stdexcept>

namespace quillet::cli {
int RunCatalogue(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
int RunParameters(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
int RunOptions(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
}  // namespace quillet::cli
