#pragma once

#include <string>

namespace quillet::testing {

// Marks the running test failed with `message`. Defined once for GoogleTest
// programs and once for Qt Test programs, so the shared test helpers work in
// both.
void ReportTestFailure(const std::string& message);

}  // namespace quillet::testing
