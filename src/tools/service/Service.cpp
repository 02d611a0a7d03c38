#include "tools/service/Service.h"

#include <sodium.h>

#include <algorithm>
#include <ctime>
#include <iostream>
#include <mutex>

#include "core/platform/Text.h"
#include "tools/service/Log.h"
#include "tools/service/Mail.h"
#include "tools/service/Pages.h"

namespace quillet::service {
namespace {

constexpr std::size_t kFormOverhead = 64 * 1024;
constexpr std::size_t kSmallFormBytes = 64 * 1024;
constexpr std::int64_t kPageSize = 20;

constexpr std::string_view kWrongLogin = "WRONG_LOGIN_OR_PASSWORD";
constexpr std::string_view kCouldNotSendMail = "COULD_NOT_SEND_MAIL";

const char* const kThrottledText =
    "Too many failed logins from your address. Please wait a minute and try again.";
const char* const kBrokenFormText = "The service could not read the form that was sent.";
const char* const kBusyText = "The service is busy. Please try again in a minute.";

// Lines separated by CR LF, the last one ended too (which adds no line).
void Reply(httplib::Response& response, std::initializer_list<std::string_view> lines,
           const std::vector<std::string>& more = {}) {
  std::string body;
  for (std::string_view line : lines) {
    body += line;
    body += "\r\n";
  }
  for (const std::string& line : more)
    body += line + "\r\n";
  response.status = 200;
  response.set_content(body, "text/plain");
}

void ReplyError(httplib::Response& response, std::string_view text) {
  Reply(response, {"ERROR", text});
}

void Html(httplib::Response& response, const std::string& page, int status = 200) {
  response.status = status;
  response.set_content(page, "text/html; charset=utf-8");
  response.set_header("Content-Security-Policy",
                      "default-src 'none'; img-src 'self'; style-src 'unsafe-inline'; "
                      "form-action 'self'; base-uri 'none'; frame-ancestors 'none'");
}

// Every missing thing looks the same: no page, no picture, no hint which.
void NotFound(httplib::Response& response) {
  response.status = 404;
  response.set_content("Not found.\n", "text/plain");
}

bool HasBody(const httplib::Request& request) {
  if (request.has_header("Transfer-Encoding")) return true;
  const std::string length = request.get_header_value("Content-Length");
  return !length.empty() && length != "0";
}

std::string CleanFileName(std::string_view name) {
  // The program sends the whole local path; only its last part is of use,
  // and it is only ever shown, never used as a path.
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name = name.substr(slash + 1);
  std::string clean;
  for (char c : ToUtf8(name)) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) clean.push_back(c);
  }
  if (clean.size() > 200) clean.resize(200);
  return clean;
}

std::int64_t PageNumber(const httplib::Request& request) {
  const std::string text = request.get_param_value("page");
  if (text.empty() || text.size() > 6 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 1;
  return std::max<std::int64_t>(1, std::stoll(text));
}

}  // namespace

bool IsValidNewAccountName(std::string_view name) {
  if (name.empty() || name.size() > 32 || EqualsIgnoringAsciiCase(name, kGuestName)) return false;
  auto alnum = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  };
  if (!alnum(name.front())) return false;
  return std::all_of(name.begin(), name.end(),
                     [&](char c) { return alnum(c) || c == '.' || c == '-' || c == '_'; });
}

bool IsValidNewPassword(std::string_view password) {
  if (password.size() < 4 || password.size() > 128) return false;
  return std::none_of(password.begin(), password.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::string NewPictureId() {
  unsigned char random[16];
  randombytes_buf(random, sizeof(random));
  char text[sodium_base64_ENCODED_LEN(16, sodium_base64_VARIANT_URLSAFE_NO_PADDING)];
  sodium_bin2base64(text, sizeof(text), random, sizeof(random),
                    sodium_base64_VARIANT_URLSAFE_NO_PADDING);
  return text;
}

bool IsPictureId(std::string_view text) {
  return text.size() == 22 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_';
         });
}

Service::Service(const ServiceConfig& config, Store& store, std::string publicHost)
    : config_(config),
      store_(store),
      publicHost_(std::move(publicHost)),
      passwords_(config.parallelChecks),
      pictures_(config.maxPixels, config.parallelChecks),
      loginFailures_(static_cast<std::size_t>(config.loginFailuresPerMinute),
                     std::chrono::minutes(1)),
      mails_(static_cast<std::size_t>(config.mailsPerHour), std::chrono::hours(1)),
      registrations_(static_cast<std::size_t>(config.registrationsPerHour), std::chrono::hours(1)) {
}

void Service::PrepareGuest() {
  if (!config_.guest || store_.FindAccount(kGuestName)) return;
  store_.AddAccount(kGuestName, HashPassword(kGuestPassword));
}

std::string Service::PictureAddress(std::string_view id, bool guest) const {
  return "http://" + publicHost_ + (guest ? "/guest/?id=" : "/?id=") + std::string(id);
}

bool Service::IsGuest(const Account& account) const {
  return EqualsIgnoringAsciiCase(account.name, kGuestName);
}

void Service::Handle(const httplib::Request& request, httplib::Response& response,
                     RequestContext& context) {
  response.set_header("X-Content-Type-Options", "nosniff");
  // Account pages carry the password in their address: never pass it on.
  response.set_header("Referrer-Policy", "no-referrer");
  const std::string& path = request.path;
  try {
    if (request.method == "POST") {
      if (path == "/upload.php") return Upload(request, response, context);
      if (path == "/memberstatus.php") return MemberStatus(request, response, context);
      if (path == "/sendtofriend.php") return SendToFriend(request, response, context);
      if (path == "/register.php") return Register(request, response, context);
    } else if ((request.method == "GET" || request.method == "HEAD") && !HasBody(request)) {
      if (path == "/") return Root(request, response, false);
      if (path == "/guest/") return Root(request, response, true);
      if (path == "/guest") return response.set_redirect("/guest/", 301);
      if (path == "/curversion.php") {
        response.status = 200;
        // The whole body is the version, exactly: no line break after it.
        response.set_content(config_.currentVersion, "text/plain");
        return;
      }
      if (path == "/download") return Html(response, DownloadPage(config_.currentVersion));
      if (path == "/faq.php")
        return Html(response, FaqPage(DescribeBytes(config_.maxUpload), config_.quota,
                                      config_.guestPool, config_.guest));
      if (path == "/register.php") return Html(response, RegisterPage("", false, ""));
      if (path.rfind("/p/", 0) == 0) return RawPicture(request, response);
    }
    if (HasBody(request)) context.CloseAfterResponse();
    NotFound(response);
  } catch (const std::exception& error) {
    // A failing database or a full disk: the client hears it, the log says why.
    Log("error answering " + request.method + " " + path + ": " + error.what());
    response.headers.erase("Content-Security-Policy");
    if (request.method == "POST" && path != "/register.php") {
      ReplyError(response, "The service could not do this just now. Please try again later.");
    } else {
      response.status = 500;
      response.set_content("The service could not do this just now.\n", "text/plain");
    }
    context.CloseAfterResponse();
  }
}

void Service::ReadForm(const httplib::Request& request, RequestContext& context, std::size_t keep,
                       const FormLimits& limits, Form& form) {
  const std::size_t drainCap =
      std::max<std::size_t>(32 * 1024 * 1024, static_cast<std::size_t>(config_.maxUpload) * 4);
  form.body = context.ReadBody(request, keep, drainCap);
  if (form.body.status == BodyStatus::TooLarge) {
    form.status = Form::Status::TooLarge;
    return;
  }
  if (form.body.status == BodyStatus::Broken) {
    form.status = Form::Status::Broken;
    return;
  }
  const std::string type = request.get_header_value("Content-Type");
  if (auto boundary = MultipartBoundary(type)) {
    const bool program = IsProgramLayout(*boundary, request.get_header_value("User-Agent"));
    form.fields = ParseMultipart(form.body.bytes, *boundary, program, limits);
  } else if (LowerAscii(type).rfind("application/x-www-form-urlencoded", 0) == 0 ||
             form.body.bytes.empty()) {
    form.fields = ParseUrlEncoded(form.body.bytes, limits);
  } else {
    form.status = Form::Status::Malformed;
    return;
  }
  switch (form.fields.error) {
    case FormError::None:
      break;
    case FormError::FileTooLarge:
      form.status = Form::Status::TooLarge;
      break;
    case FormError::Malformed:
    case FormError::TooManyParts:
    case FormError::FieldTooLarge:
      form.status = Form::Status::Malformed;
      break;
  }
}

bool Service::ReadSmallForm(const httplib::Request& request, httplib::Response& response,
                            RequestContext& context, Form& form) {
  ReadForm(request, context, kSmallFormBytes, FormLimits{}, form);
  if (form.status == Form::Status::TooLarge) {
    ReplyError(response, "The form is larger than this script takes.");
    return false;
  }
  if (form.status != Form::Status::Ok) {
    ReplyError(response, kBrokenFormText);
    return false;
  }
  return true;
}

bool Service::LoggedIn(const httplib::Request& request, httplib::Response& response,
                       const Form& form, Account& account) {
  switch (CheckLogin(request.remote_addr, form.fields.Text("login"), form.fields.Text("password"),
                     account)) {
    case Login::Throttled:
      ReplyError(response, kThrottledText);
      return false;
    case Login::Wrong:
      Reply(response, {"MESSAGE", kWrongLogin});
      return false;
    case Login::Ok:
      break;
  }
  return true;
}

Service::Login Service::CheckLogin(const std::string& address, std::string_view login,
                                   std::string_view password, Account& account) {
  if (!loginFailures_.Allows(address)) return Login::Throttled;
  bool right = false;
  if (!login.empty() && !password.empty() && login.size() <= 64 && password.size() <= 1024 &&
      (config_.guest || !EqualsIgnoringAsciiCase(login, kGuestName))) {
    if (auto found = store_.FindAccount(login)) {
      right = passwords_.Verify(found->id, found->passwordHash, password);
      if (right) account = *found;
    }
  }
  if (right) return Login::Ok;
  loginFailures_.Record(address);
  // Neither the name nor the password: one typed into the other's field
  // would end up in the log.
  Log("failed login from " + address);
  return Login::Wrong;
}

void Service::MemberStatus(const httplib::Request& request, httplib::Response& response,
                           RequestContext& context) {
  Form form;
  if (!ReadSmallForm(request, response, context, form)) return;
  Account account;
  if (!LoggedIn(request, response, form, account)) return;
  const std::int64_t limit = IsGuest(account) ? config_.guestPool : config_.quota;
  Reply(response, {"SUCCESS", std::to_string(account.id),
                   std::to_string(store_.PictureCount(account.id)), std::to_string(limit)});
}

void Service::Upload(const httplib::Request& request, httplib::Response& response,
                     RequestContext& context) {
  FormLimits limits;
  limits.maxFileBytes = static_cast<std::size_t>(config_.maxUpload);
  Form form;
  ReadForm(request, context, static_cast<std::size_t>(config_.maxUpload) + kFormOverhead, limits,
           form);
  if (form.status == Form::Status::TooLarge)
    return ReplyError(response, "The picture is larger than this service takes: at most " +
                                    DescribeBytes(config_.maxUpload) + ".");
  if (form.status != Form::Status::Ok) return ReplyError(response, kBrokenFormText);

  Account account;
  if (!LoggedIn(request, response, form, account)) return;
  const FormPart* file = form.fields.Find("logofile");
  if (file == nullptr || !file->fileName)
    return ReplyError(response, "The upload holds no picture file.");
  const std::string fileName = CleanFileName(*file->fileName);
  const PictureVerdict verdict = pictures_.Check(file->value);
  switch (verdict.kind) {
    case PictureVerdict::Kind::Picture:
      break;
    case PictureVerdict::Kind::NotAPicture:
      return ReplyError(response, "\"" + (fileName.empty() ? std::string("The file") : fileName) +
                                      "\" is not a picture this service can keep: it takes BMP, "
                                      "JPEG, GIF and PNG pictures.");
    case PictureVerdict::Kind::TooManyPixels:
      return ReplyError(response, "The picture is " + std::to_string(verdict.width) + " x " +
                                      std::to_string(verdict.height) +
                                      " pixels; this service takes pictures of up to 4096 x 4096 "
                                      "pixels.");
    case PictureVerdict::Kind::Busy:
      return ReplyError(response, kBusyText);
  }

  const bool guest = IsGuest(account);
  NewPicture picture;
  picture.format = std::string(FormatName(*verdict.format));
  picture.width = verdict.width;
  picture.height = verdict.height;
  picture.fileName = fileName;
  picture.bytes = file->value;
  StoreOutcome outcome;
  for (int attempt = 0; attempt < 3; ++attempt) {
    picture.id = NewPictureId();
    outcome =
        store_.StorePicture(account.id, picture, guest ? config_.guestPool : config_.quota, guest);
    if (outcome.kind != StoreOutcome::Kind::IdTaken) break;
  }
  switch (outcome.kind) {
    case StoreOutcome::Kind::Stored:
      break;
    case StoreOutcome::Kind::OverQuota:
      return ReplyError(response, "Your account holds " + std::to_string(outcome.countBefore) +
                                      " pictures, as many as this service keeps for one account.");
    case StoreOutcome::Kind::IdTaken:
      return ReplyError(response, kBusyText);
  }
  // Committed: only now may the program hear that the picture is kept.
  std::vector<std::string> forget;
  for (const std::string& id : outcome.droppedIds)
    forget.push_back(PictureAddress(id, guest));
  const std::string address = PictureAddress(picture.id, guest);
  Reply(response, {"SUCCESS", address}, forget);
}

void Service::SendToFriend(const httplib::Request& request, httplib::Response& response,
                           RequestContext& context) {
  Form form;
  if (!ReadSmallForm(request, response, context, form)) return;
  Account account;
  if (!LoggedIn(request, response, form, account)) return;
  if (config_.relay.url.empty())
    return ReplyError(response,
                      "This service has no mail relay set up, so it cannot send mail. Its "
                      "operator can give it one with --smtp.");
  const std::string recipient(TrimBlanks(form.fields.Text("address")));
  if (!IsPlausibleMailAddress(recipient)) return Reply(response, {"MESSAGE", kCouldNotSendMail});
  const bool guest = IsGuest(account);
  std::string name = guest ? form.fields.Text("sendername") : account.name;
  if (std::all_of(name.begin(), name.end(), [](char c) { return c == ' ' || c == '\t'; }))
    return ReplyError(response, "Please give your name: it tells your friend who sends the link.");
  // The shared guest account is limited per address, everyone else per account.
  const std::string limitKey = guest ? "guest@" + request.remote_addr : "account:" + account.name;
  if (!mails_.Allows(limitKey))
    return ReplyError(response,
                      "Too many messages were sent from this account in the last hour. Please "
                      "try again later.");
  mails_.Record(limitKey);
  const std::string message =
      ComposeRecommendation(config_.relay, recipient, name, form.fields.Text("comments"),
                            "http://" + publicHost_ + "/download", std::time(nullptr));
  const MailOutcome outcome = SendMail(config_.relay, recipient, message);
  switch (outcome.kind) {
    case MailOutcome::Kind::Sent:
      store_.AddToCounter("mails", 1);
      return Reply(response, {"SUCCESS"});
    case MailOutcome::Kind::RecipientRefused:
      Log("the mail relay refused a recipient: " + outcome.detail);
      return Reply(response, {"MESSAGE", kCouldNotSendMail});
    case MailOutcome::Kind::RelayFailed:
      Log("the mail relay failed: " + outcome.detail);
      return ReplyError(response,
                        "The service could not hand the message to its mail relay. Please try "
                        "again later.");
  }
}

void Service::Register(const httplib::Request& request, httplib::Response& response,
                       RequestContext& context) {
  Form form;
  ReadForm(request, context, kSmallFormBytes, FormLimits{}, form);
  if (form.status != Form::Status::Ok)
    return Html(response, RegisterPage(kBrokenFormText, false, ""), 400);
  const std::string login = form.fields.Text("login");
  const std::string password = form.fields.Text("password");
  const std::string shownLogin = ToUtf8(login.substr(0, 64));
  auto refuse = [&](std::string_view text, int status = 200) {
    Html(response, RegisterPage(text, false, shownLogin), status);
  };
  if (!registrations_.Allows(request.remote_addr))
    return refuse(
        "Too many accounts were made from your address in the last hour. Please try "
        "again later.",
        429);
  if (EqualsIgnoringAsciiCase(login, kGuestName))
    return refuse("The name guest belongs to the shared guest account. Please choose another.");
  if (!IsValidNewAccountName(login))
    return refuse(
        "A login has 1 to 32 letters, digits, dots, hyphens or underscores, and begins "
        "with a letter or a digit.");
  if (!IsValidNewPassword(password)) return refuse("A password has 4 to 128 characters.");
  if (password != form.fields.Text("confirm")) return refuse("The two passwords differ.");
  registrations_.Record(request.remote_addr);
  if (!store_.AddAccount(login, HashPassword(password)))
    return refuse("The login " + login + " is taken. Please choose another.");
  Log("account \"" + login + "\" registered from " + request.remote_addr);
  Html(response, RegisterPage("Your account " + login + " is ready.", true, login));
}

void Service::Root(const httplib::Request& request, httplib::Response& response, bool guestFolder) {
  if (request.has_param("id")) {
    const std::string id = request.get_param_value("id");
    std::optional<PictureInfo> picture;
    if (IsPictureId(id)) picture = store_.FindPicture(id);
    if (!picture) return NotFound(response);
    return Html(response, PicturePage(*picture));
  }
  if (guestFolder) return GuestList(request, response);
  if (request.has_param("login") || request.has_param("password"))
    return AccountPage(request, response);
  Html(response, HomePage(config_.guest));
}

void Service::AccountPage(const httplib::Request& request, httplib::Response& response) {
  const std::string login = request.get_param_value("login");
  const std::string password = request.get_param_value("password");
  response.set_header("Cache-Control", "no-store");
  Account account;
  switch (CheckLogin(request.remote_addr, login, password, account)) {
    case Login::Throttled:
      return Html(response, MessagePage("Please wait", kThrottledText), 429);
    case Login::Wrong:
      return Html(response,
                  MessagePage("Wrong login or password",
                              "There is no account with this login and password."),
                  403);
    case Login::Ok:
      break;
  }
  const std::int64_t page = PageNumber(request);
  const std::int64_t total = store_.PictureCount(account.id);
  ListPage list;
  list.title = account.name + "'s pictures";
  list.heading = list.title;
  list.note = std::to_string(total) + (total == 1 ? " picture" : " pictures") + ", newest first";
  list.pictures = store_.ListPictures(account.id, (page - 1) * kPageSize, kPageSize);
  const std::string base = "/?login=" + UrlEncode(login) + "&password=" + UrlEncode(password);
  if (page > 1) list.newerLink = base + (page == 2 ? "" : "&page=" + std::to_string(page - 1));
  if (page * kPageSize < total) list.olderLink = base + "&page=" + std::to_string(page + 1);
  Html(response, PictureListPage(list));
}

void Service::GuestList(const httplib::Request& request, httplib::Response& response) {
  ListPage list;
  list.title = "Guest pictures";
  list.heading = "Latest guest pictures";
  std::optional<Account> guest = config_.guest ? store_.FindAccount(kGuestName) : std::nullopt;
  if (!guest) {
    list.note = "The guest account is switched off on this service.";
    return Html(response, PictureListPage(list));
  }
  const std::int64_t page = PageNumber(request);
  const std::int64_t total = store_.PictureCount(guest->id);
  list.note = "Pictures uploaded with the shared account guest; the latest " +
              std::to_string(config_.guestPool) + " are kept.";
  list.pictures = store_.ListPictures(guest->id, (page - 1) * kPageSize, kPageSize);
  if (page > 1) list.newerLink = page == 2 ? "/guest/" : "/guest/?page=" + std::to_string(page - 1);
  if (page * kPageSize < total) list.olderLink = "/guest/?page=" + std::to_string(page + 1);
  response.set_header("Cache-Control", "no-cache");
  Html(response, PictureListPage(list));
}

void Service::RawPicture(const httplib::Request& request, httplib::Response& response) {
  const std::string_view rest = std::string_view(request.path).substr(3);
  const std::size_t dot = rest.find('.');
  if (dot == std::string_view::npos) return NotFound(response);
  const std::string_view id = rest.substr(0, dot);
  const std::string_view extension = rest.substr(dot + 1);
  if (!IsPictureId(id)) return NotFound(response);
  PictureInfo info;
  std::optional<std::string> bytes = store_.PictureBytes(id, &info);
  if (!bytes || info.format != extension) return NotFound(response);
  response.status = 200;
  response.body = std::move(*bytes);
  response.set_header("Content-Type", std::string(ContentTypeOfFormat(info.format)));
  response.set_header("Cache-Control", "public, max-age=86400");
  if (request.has_param("download"))
    response.set_header("Content-Disposition",
                        "attachment; filename=\"logo-" + info.id + "." + info.format + "\"");
}

}  // namespace quillet::service
