#include "core/service/UploadThread.h"

#include "core/platform/Text.h"
#include "core/service/ServiceReply.h"

namespace quillet {

TUploadThread::TUploadThread(std::string login, LogoNode* node, std::string filePath,
                             std::string password, HttpClient& client,
                             const ServerParameters& parameters, MemberStatus status)
    : login_(std::move(login)),
      node_(node),
      filePath_(std::move(filePath)),
      password_(std::move(password)),
      client_(client),
      uploadUrl_(parameters.UploadAddress()),
      memberStatusUrl_(parameters.MemberStatusAddress()),
      status_(status) {}

bool TUploadThread::Failed(const HttpResult& request) {
  if (request.Succeeded()) return false;
  // Whatever the failure, a Stop pressed meanwhile is what the user sees.
  result_ = CancelRequested() || request.kind == HttpResultKind::Cancelled
                ? kUploadStoppedByUser
                : kUploadConnectionFailed;
  Finish(result_ == kUploadStoppedByUser ? WorkerEnd::Cancelled : WorkerEnd::Failed,
         request.Description());
  return true;
}

bool TUploadThread::AskMemberStatus(MultipartForm& form, std::vector<std::string>& lines) {
  form.AddText("fakefield", "qqq");
  std::string reply;
  if (Failed(client_.PostForm(memberStatusUrl_, form, reply))) return false;
  lines = ServiceReplyLines(reply);
  if (lines.size() < 2) {
    return FailConnection("the member status answer is too short");
  }
  replyText_ = lines[1];
  return true;
}

bool TUploadThread::TakeMemberStatus(const std::vector<std::string>& lines) {
  if (lines.size() < 4) {
    return FailConnection("the member status answer is too short");
  }
  // Each value is kept as soon as its line has converted.
  for (size_t i = 0; i < 3; ++i) {
    const std::optional<std::int32_t> value = ParseInt32(lines[i + 1]);
    if (!value) {
      return FailConnection("the member status answer holds no number");
    }
    status_.values[i] = *value;
  }
  return true;
}

bool TUploadThread::PostLogo(MultipartForm& form) {
  if (!form.AddFile(kLogoFileField, filePath_, kLogoFileContentType)) {
    return FailConnection("cannot read " + filePath_);
  }
  std::string reply;
  if (Failed(client_.PostForm(uploadUrl_, form, reply))) return false;
  std::vector<std::string> lines = ServiceReplyLines(reply);
  if (lines.size() < 2) {
    return FailConnection("the upload answer is too short");
  }
  replyText_ = lines[1];
  if (TakeReplyStatus(lines) == ReplyStatus::Success) {
    result_ = kUploadSucceeded;
    ++status_.values[2];
  }
  extraLines_.assign(lines.begin() + 2, lines.end());
  return true;
}

bool TUploadThread::FailConnection(std::string detail) {
  result_ = kUploadConnectionFailed;
  Finish(WorkerEnd::Failed, std::move(detail));
  return false;
}

ReplyStatus TUploadThread::TakeReplyStatus(const std::vector<std::string>& lines) {
  const ReplyStatus status = StatusOfReply(lines);
  switch (status) {
    case ReplyStatus::Success:
      break;
    case ReplyStatus::Message:
      result_ = kUploadServiceMessage;
      break;
    case ReplyStatus::Error:
      result_ = kUploadServiceError;
      break;
    case ReplyStatus::Unknown:
      result_ = kUploadServiceError;
      replyText_ = NotUnderstoodReplyText(lines);
      break;
  }
  return status;
}

void TUploadThread::Run() {
  MultipartForm form;
  form.AddText("login", login_);
  form.AddText("password", password_);
  if (!status_.Known()) {
    std::vector<std::string> lines;
    if (!AskMemberStatus(form, lines)) return;
    switch (TakeReplyStatus(lines)) {
      case ReplyStatus::Message:
        return Finish(WorkerEnd::Failed, "service message " + replyText_);
      case ReplyStatus::Error:
        return Finish(WorkerEnd::Failed, "service error");
      case ReplyStatus::Unknown:
        return Finish(WorkerEnd::Failed, "answer not understood");
      case ReplyStatus::Success:
        break;
    }
    if (!TakeMemberStatus(lines)) return;
  }
  if (!PostLogo(form)) return;
  if (result_ == kUploadSucceeded)
    Finish(WorkerEnd::Done);
  else
    Finish(WorkerEnd::Failed, "service answered " + replyText_);
}

}  // namespace quillet
