#pragma once

#include <sys/types.h>
#include <string>

namespace quillet::testing {

// A certificate authority made for one test, and a server certificate it
// signed for 127.0.0.1; the files lie in `folder`.
struct TestAuthority {
  std::string caFile;
  std::string certificateFile;
  std::string keyFile;
};
TestAuthority MakeTestAuthority(const std::string& folder);

// openssl's own web server over https on 127.0.0.1, serving the files of
// `folder`; stopped with the object.
class HttpsFileServer {
 public:
  HttpsFileServer(const TestAuthority& authority, const std::string& folder);
  ~HttpsFileServer();
  HttpsFileServer(const HttpsFileServer&) = delete;
  HttpsFileServer& operator=(const HttpsFileServer&) = delete;

  int Port() const { return port_; }
  bool Running() const { return pid_ > 0; }

 private:
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace quillet::testing
