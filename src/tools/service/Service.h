#pragma once

#include <httplib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/service/Config.h"
#include "tools/service/Forms.h"
#include "tools/service/Http.h"
#include "tools/service/Limiter.h"
#include "tools/service/Passwords.h"
#include "tools/service/PictureCheck.h"
#include "tools/service/Store.h"

namespace quillet::service {

inline constexpr std::string_view kGuestName = "guest";
inline constexpr std::string_view kGuestPassword = "guest";

// Account names: 1 to 32 letters, digits, ".", "-" or "_", beginning with a
// letter or digit. False for anything else, and for the guest account's name.
bool IsValidNewAccountName(std::string_view name);
// Passwords of 4 to 128 bytes without control characters.
bool IsValidNewPassword(std::string_view password);

// A new picture identifier: 128 random bits in URL-safe Base64 (22
// characters), so that nobody can walk through other people's pictures.
std::string NewPictureId();
bool IsPictureId(std::string_view text);

// The scripts and pages of the service. One object answers every request,
// from any number of threads at once.
class Service {
 public:
  // `publicHost` is HOST[:PORT] as it goes into the addresses handed out.
  Service(const ServiceConfig& config, Store& store, std::string publicHost);

  // Creates the shared guest account when it is switched on and missing.
  void PrepareGuest();

  void Handle(const httplib::Request& request, httplib::Response& response,
              RequestContext& context);

 private:
  enum class Login { Ok, Wrong, Throttled };
  struct Form {
    RequestBody body;
    ParsedForm fields;
    enum class Status { Ok, TooLarge, Broken, Malformed } status = Status::Ok;
  };

  void ReadForm(const httplib::Request& request, RequestContext& context, std::size_t keep,
                const FormLimits& limits, Form& form);
  // A small script form read whole; false once the refusal is answered.
  bool ReadSmallForm(const httplib::Request& request, httplib::Response& response,
                     RequestContext& context, Form& form);
  // The form's login checked; false once the refusal is answered.
  bool LoggedIn(const httplib::Request& request, httplib::Response& response, const Form& form,
                Account& account);
  Login CheckLogin(const std::string& address, std::string_view login, std::string_view password,
                   Account& account);

  void MemberStatus(const httplib::Request& request, httplib::Response& response,
                    RequestContext& context);
  void Upload(const httplib::Request& request, httplib::Response& response,
              RequestContext& context);
  void SendToFriend(const httplib::Request& request, httplib::Response& response,
                    RequestContext& context);
  void Register(const httplib::Request& request, httplib::Response& response,
                RequestContext& context);
  void Root(const httplib::Request& request, httplib::Response& response, bool guestFolder);
  void AccountPage(const httplib::Request& request, httplib::Response& response);
  void GuestList(const httplib::Request& request, httplib::Response& response);
  void RawPicture(const httplib::Request& request, httplib::Response& response);

  std::string PictureAddress(std::string_view id, bool guest) const;
  bool IsGuest(const Account& account) const;

  ServiceConfig config_;
  Store& store_;
  std::string publicHost_;
  PasswordChecker passwords_;
  PictureChecker pictures_;
  EventLimiter loginFailures_;
  EventLimiter mails_;
  EventLimiter registrations_;
};

}  // namespace quillet::service
