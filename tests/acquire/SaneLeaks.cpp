// libsane leaks by design, and its leaks hide behind unloaded code: every
// backend keeps its copy of the configuration path in a static string, the
// test backend's reader thread drops its buffer when a scan is cancelled, and
// the dll backend unloads the backends at sane_exit, after which the leak
// checker can no longer tell whose the memory was. So the test backend is
// kept loaded for the whole run, allocations are recorded with full stacks
// (libsane has no frame pointers), and the suppressions below recognise
// SANE's allocations by SANE's own frames; nothing of ours is hidden.
#include <dlfcn.h>

extern "C" const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libsane.so.1\nleak:libsane-test.so.1\n";
}

namespace {

#ifdef QUILLET_SANE_TEST_BACKEND
// The same file the dll backend opens, so the dynamic loader shares it.
[[maybe_unused]] void* const keptTestBackend =
    dlopen(QUILLET_SANE_TEST_BACKEND, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
#endif

}  // namespace
