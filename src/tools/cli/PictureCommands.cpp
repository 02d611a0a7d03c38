// Placeholder commands; the owner of this file replaces them.
#include "tools/cli/Cli.h"

#include <stdexcept>

namespace quillet::cli {
int RunFrame(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
int RunRender(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
int RunResample(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
int RunEncode(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
int RunTransform(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
int RunInfo(const std::vector<std::string>&) { throw std::runtime_error("not built yet"); }
}  // namespace quillet::cli
