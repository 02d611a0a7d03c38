#include <QTest>

#include "support/TestFailure.h"

namespace quillet::testing {

void ReportTestFailure(const std::string& message) {
  QTest::qFail(message.c_str(), __FILE__, __LINE__);
}

}  // namespace quillet::testing
