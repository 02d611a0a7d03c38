#pragma once

#include <cstdint>
#include <string>

#include "core/catalogues/ServerParameters.h"
#include "core/service/HttpClient.h"
#include "core/service/Worker.h"

namespace quillet {

inline constexpr const char* kSendLinkFailedText = "Error occurred while sending application link.";

enum SendToFriendResult : std::uint8_t {
  kLinkSent = 0,
  kSendServiceMessage = 1,
  kSendFailed = 2,
};

// Posts the recommendation to the service's send-mail script on its own
// thread, with the client it is given and the values copied at creation.
class TSendToFriendThread : public Worker {
 public:
  TSendToFriendThread(std::string login, std::string senderName, std::string comments,
                      std::string address, std::string password, HttpClient& client,
                      const ServerParameters& parameters);

  // GUI thread, in the completion.
  std::uint8_t Result() const { return result_; }
  const std::string& ReplyText() const { return replyText_; }

 protected:
  void Run() override;
  void Interrupt() override { client_.Cancel(); }

 private:
  const std::string login_;
  const std::string password_;
  const std::string address_;
  const std::string comments_;
  const std::string senderName_;
  HttpClient& client_;
  const std::string url_;

  std::uint8_t result_ = kLinkSent;
  std::string replyText_;
};

}  // namespace quillet
