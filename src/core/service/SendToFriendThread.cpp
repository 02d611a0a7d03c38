#include "core/service/SendToFriendThread.h"

#include "core/service/ServiceReply.h"

namespace quillet {

TSendToFriendThread::TSendToFriendThread(std::string login, std::string senderName,
                                         std::string comments, std::string address,
                                         std::string password, HttpClient& client,
                                         const ServerParameters& parameters)
    : login_(std::move(login)),
      password_(std::move(password)),
      address_(std::move(address)),
      comments_(std::move(comments)),
      senderName_(std::move(senderName)),
      client_(client),
      url_(parameters.SendToFriendAddress()) {}

void TSendToFriendThread::Run() {
  MultipartForm form;
  form.AddText("login", login_);
  form.AddText("password", password_);
  form.AddText("address", address_);
  form.AddText("comments", comments_);
  form.AddText("sendername", senderName_);
  std::string reply;
  const HttpResult request = client_.PostForm(url_, form, reply);
  const std::vector<std::string> lines = ServiceReplyLines(reply);
  const ReplyStatus status = StatusOfReply(lines);
  if (!request.Succeeded() || lines.empty() ||
      (status != ReplyStatus::Success && lines.size() < 2)) {
    result_ = kSendFailed;
    replyText_ = kSendLinkFailedText;
    Finish(request.kind == HttpResultKind::Cancelled ? WorkerEnd::Cancelled : WorkerEnd::Failed,
           request.Succeeded() ? "the answer is too short" : request.Description());
    return;
  }
  switch (status) {
    case ReplyStatus::Success:
      result_ = kLinkSent;
      Finish(WorkerEnd::Done);
      return;
    case ReplyStatus::Message:
      result_ = kSendServiceMessage;
      replyText_ = lines[1];
      break;
    case ReplyStatus::Error:
      result_ = kSendFailed;
      replyText_ = lines[1];
      break;
    case ReplyStatus::Unknown:
      // Taking an answer nobody understands for "sent" would hide a lost
      // recommendation.
      result_ = kSendFailed;
      replyText_ = NotUnderstoodReplyText(lines);
      break;
  }
  Finish(WorkerEnd::Failed, "service answered " + replyText_);
}

}  // namespace quillet
