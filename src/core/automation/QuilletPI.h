#pragma once

// The automation object through which a browser hands a picture address to
// the running program. It lives in the program and is offered on the session
// bus by a thin adaptor; the bus's activation starts the program when no copy
// runs, so every call here is made inside a running program.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/automation/HandOff.h"

namespace quillet {

// One command entry of QueryStatus: the command and its flags.
struct OleCmd {
  std::uint32_t cmdID = 0;
  std::uint32_t cmdf = 0;
  bool operator==(const OleCmd&) const = default;
};
inline constexpr std::uint32_t kOleCmdfEnabled = 2;

// What the object asks of the program that holds it. Both requests are
// answered later, on the program's own loop, after the caller has its reply.
class QuilletPIHost {
 public:
  virtual ~QuilletPIHost() = default;
  // Exec: bring the main window up.
  virtual void BringToFront() = 0;
  // AddImageURL: bring the main window to the front and have it take the
  // handed-over picture.
  virtual void TakeHandedOverPicture() = 0;
};

class TQuilletPI {
 public:
  // `key` is nothing when the user has no home folder: every call then fails.
  TQuilletPI(std::optional<HandOffKey> key, QuilletPIHost& host);

  // Writes the address into the hand-off file (replacing one not yet taken)
  // and asks the program to take it.
  HResult AddImageURL(std::string_view imageUrl);
  // Opens the hand-off key and brings the program up.
  HResult Exec();
  // The site is not kept; GetSite gives none.
  void SetSite(std::string_view site);
  std::string GetSite(std::string_view iid) const;
  // The first entry becomes enabled, whatever the group or the commands.
  static void QueryStatus(std::string_view group, std::vector<OleCmd>& commands);

 private:
  std::optional<HandOffKey> key_;
  QuilletPIHost& host_;
};

}  // namespace quillet
