#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/catalogues/ServerParameters.h"
#include "core/service/HttpClient.h"
#include "core/service/ServiceReply.h"
#include "core/service/Worker.h"

namespace quillet {

class LogoNode;

// What the service said about the account: three integers, the first -1
// while not yet known. The main window keeps them for the run of the
// program; a worker takes a copy and hands back the new values.
struct MemberStatus {
  std::array<std::int32_t, 3> values{-1, -1, -1};
  bool Known() const { return values[0] != -1; }
  bool operator==(const MemberStatus&) const = default;
};

// The outcome of one upload.
enum UploadResult : std::uint8_t {
  kUploadSucceeded = 0,
  kUploadServiceMessage = 1,
  kUploadServiceError = 2,
  kUploadStoppedByUser = 3,
  kUploadConnectionFailed = 4,
};

inline constexpr const char* kLogoFileField = "logofile";
inline constexpr const char* kLogoFileContentType = "image/unknown";

// One upload: the member-status request when the status is not known yet,
// then the logo file as a form. Runs on its own thread with the client it is
// given, which nothing else uses meanwhile; the proxy was applied to that
// client before the start, and the owner clears it in the completion.
class TUploadThread : public Worker {
 public:
  TUploadThread(std::string login, LogoNode* node, std::string filePath, std::string password,
                HttpClient& client, const ServerParameters& parameters, MemberStatus status);

  const std::string& Login() const { return login_; }
  const std::string& Password() const { return password_; }
  const std::string& FilePath() const { return filePath_; }
  // The node whose logo is uploaded; never used by the worker itself. The
  // completion must make sure it is still in the tree.
  LogoNode* Node() const { return node_; }

  // GUI thread, in the completion.
  std::uint8_t Result() const { return result_; }
  const std::string& ReplyText() const { return replyText_; }
  const std::vector<std::string>& ExtraLines() const { return extraLines_; }
  const MemberStatus& Status() const { return status_; }

 protected:
  void Run() override;
  void Interrupt() override { client_.Cancel(); }

 private:
  // The steps of a run; false ends it, with the result already set.
  bool AskMemberStatus(MultipartForm& form, std::vector<std::string>& lines);
  bool TakeMemberStatus(const std::vector<std::string>& lines);
  bool PostLogo(MultipartForm& form);
  bool Failed(const HttpResult& request);
  // Ends the run as a connection failure; false, for the caller to return.
  bool FailConnection(std::string detail);
  // The result an answer gives when it is no success; a success is left to
  // the caller.
  ReplyStatus TakeReplyStatus(const std::vector<std::string>& lines);

  const std::string login_;
  LogoNode* const node_;
  const std::string filePath_;
  const std::string password_;
  HttpClient& client_;
  const std::string uploadUrl_;
  const std::string memberStatusUrl_;

  std::uint8_t result_ = kUploadSucceeded;
  std::string replyText_;
  std::vector<std::string> extraLines_;
  MemberStatus status_;
};

}  // namespace quillet
