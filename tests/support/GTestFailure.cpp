#include <gtest/gtest.h>

#include "support/TestFailure.h"

namespace quillet::testing {

void ReportTestFailure(const std::string& message) {
  ADD_FAILURE() << message;
}

}  // namespace quillet::testing
