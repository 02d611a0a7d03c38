#include "gui/app/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a function in the global namespace.
static void InitQuilletResources() {
  Q_INIT_RESOURCE(quillet);
}

namespace quillet {

void InitResources() {
  static const bool done = (InitQuilletResources(), true);
  (void)done;
}

}  // namespace quillet
