#pragma once

#include <sys/types.h>
#include <string>

#include "support/TempDir.h"

namespace quillet::testing {

// A real tinyproxy on 127.0.0.1, with basic authentication when a user is
// given; stopped with the object.
class TinyProxy {
 public:
  explicit TinyProxy(const std::string& user = "", const std::string& password = "");
  ~TinyProxy();
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;

  int Port() const { return port_; }
  bool Running() const { return pid_ > 0; }

 private:
  TempDir folder_;
  int port_ = 0;
  pid_t pid_ = -1;
};

// A port on 127.0.0.1 that nothing listens on right now.
int FreeLoopbackPort();
// Whether something accepts connections on that port of 127.0.0.1 now.
bool LoopbackPortAccepts(int port);

}  // namespace quillet::testing
