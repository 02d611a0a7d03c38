#include "core/automation/Registration.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "core/app/ProgramFolder.h"
#include "core/platform/AtomicFile.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kInterfaceXml =
    R"xml(<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<!-- The object at /QuilletPI of io.github.quillet.Quillet: a browser hands a
     picture address to Quillet, or brings it up. A failure is the error
     io.github.quillet.QuilletPI.Error.Failed with what failed as its text. -->
<node>
  <interface name="io.github.quillet.QuilletPI">
    <!-- Hands the address over; the program comes to the front and takes it. -->
    <method name="AddImageURL">
      <arg name="ImageURL" type="s" direction="in"/>
    </method>
    <!-- Brings the program up. -->
    <method name="Exec"/>
    <!-- The commands come back with the first entry's flags set to 2 (enabled). -->
    <method name="QueryStatus">
      <arg name="group" type="s" direction="in"/>
      <arg name="commands" type="a(uu)" direction="in"/>
      <arg name="status" type="a(uu)" direction="out"/>
    </method>
    <method name="SetSite">
      <arg name="site" type="s" direction="in"/>
    </method>
    <!-- No site is kept: always the empty text. -->
    <method name="GetSite">
      <arg name="iid" type="s" direction="in"/>
      <arg name="site" type="s" direction="out"/>
    </method>
  </interface>
</node>
)xml";

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

bool HoldsControlCharacter(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

// The string escapes of a desktop entry's values (the bus's activation files
// are read the same way); only the backslash can occur after the Exec
// quoting, the control characters having been refused.
std::string DesktopStringValue(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string DesktopExecLine(const RegistrationInfo& info) {
  std::string line = DesktopExecArgument(info.executable);
  if (info.dataDir) line += " --data-dir " + DesktopExecArgument(*info.dataDir);
  return DesktopStringValue(line);
}

HResult WriteOne(const std::string& path, std::string_view text) {
  // Every start registers again; a file that already says the same is left
  // alone, so that the bus and the desktop do not reload for nothing.
  try {
    if (ReadWholeFile(path) == text) return HResult::Ok();
  } catch (const std::exception&) {
    // missing or unreadable: written below
  }
  std::error_code error;
  fs::create_directories(fs::path(path).parent_path(), error);
  if (error) return HResult::Fail("Cannot write " + path + ": " + error.message());
  try {
    WriteFileAtomically(path, text);
  } catch (const std::exception& failure) {
    return HResult::Fail(failure.what());
  }
  return HResult::Ok();
}

void Collect(HResult& all, const HResult& one) {
  if (one.ok) return;
  all.ok = false;
  if (!all.detail.empty()) all.detail += "; ";
  all.detail += one.detail;
}

}  // namespace

std::vector<std::string> RegistrationPlaces::Files() const {
  return {busService, busInterface, desktopEntry, chromiumHost, chromeHost, firefoxHost};
}

RegistrationPlaces RegistrationPlacesIn(const UserFolders& folders) {
  const std::string data = WithoutTrailingSlashes(folders.dataHome);
  const std::string config = WithoutTrailingSlashes(folders.configHome);
  const std::string home = folders.home == "/" ? std::string() : folders.home;
  const std::string manifest = std::string(kNativeHostName) + ".json";
  RegistrationPlaces places;
  places.busService = data + "/dbus-1/services/" + kBusName + ".service";
  places.busInterface = data + "/dbus-1/interfaces/" + kQuilletPIInterface + ".xml";
  places.desktopEntry = data + "/applications/" + kBusName + ".desktop";
  places.chromiumHost = config + "/chromium/NativeMessagingHosts/" + manifest;
  places.chromeHost = config + "/google-chrome/NativeMessagingHosts/" + manifest;
  places.firefoxHost = home + "/.mozilla/native-messaging-hosts/" + manifest;
  places.handOff = HandOffKeyIn(config);
  return places;
}

RegistrationInfo CurrentRegistrationInfo(const std::string& programFolder) {
  RegistrationInfo info;
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  info.executable = error ? std::string() : exe.string();
  const std::string exeFolder = ExecutableFolder();
  info.nativeHost = exeFolder + kNativeHostProgram;
  // The bus starts the program in a folder of its own choosing.
  std::string folder = WithoutTrailingSlashes(fs::absolute(programFolder, error).string());
  if (error) folder = WithoutTrailingSlashes(programFolder);
  info.programFolder = folder;
  if (WithTrailingSeparator(folder) != exeFolder) info.dataDir = folder;
  return info;
}

std::string BusExecArgument(std::string_view argument) {
  // Single quotes keep everything but a single quote, which is closed,
  // escaped and reopened.
  std::string out = "'";
  for (char c : argument) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  out += '\'';
  return out;
}

std::string DesktopExecArgument(std::string_view argument) {
  std::string out = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  out += '"';
  return out;
}

std::string JsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string BusServiceText(const RegistrationInfo& info) {
  std::string exec = BusExecArgument(info.executable) + " --automation";
  if (info.dataDir) exec += " --data-dir " + BusExecArgument(*info.dataDir);
  // The bus reads its activation files as desktop entries: their string
  // escapes apply before the shell-like splitting (a lone "\'" would make it
  // drop the whole file).
  return std::string("[D-BUS Service]\nName=") + kBusName + "\nExec=" + DesktopStringValue(exec) +
         "\n";
}

std::string DesktopEntryText(const RegistrationInfo& info) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Quillet\n"
         "GenericName=Phone Logo Maker\n"
         "Comment=Turn pictures into logos and wallpapers for phone screens\n"
         "Exec=" +
         DesktopExecLine(info) +
         "\n"
         "Terminal=false\n"
         "Categories=Graphics;RasterGraphics;\n"
         "StartupNotify=true\n";
}

std::string NativeHostManifestText(const RegistrationInfo& info, NativeHostBrowser browser) {
  std::string text = "{\n  \"name\": " + JsonString(kNativeHostName) +
                     ",\n  \"description\": \"Hands pictures from web pages to Quillet\""
                     ",\n  \"path\": " +
                     JsonString(info.nativeHost) + ",\n  \"type\": \"stdio\",\n  ";
  if (browser == NativeHostBrowser::Chromium)
    text += "\"allowed_origins\": [" +
            JsonString(std::string("chrome-extension://") + kChromiumExtensionId + "/") + "]";
  else
    text += "\"allowed_extensions\": [" + JsonString(kFirefoxExtensionId) + "]";
  return text + "\n}\n";
}

std::string_view QuilletPIInterfaceXml() {
  return kInterfaceXml;
}

HResult Register(const RegistrationPlaces& places, const RegistrationInfo& info) {
  // A line break in a path would end its line in every file; nothing is
  // written rather than something another program misreads.
  for (const std::string* path : {&info.executable, &info.nativeHost, &info.programFolder}) {
    if (path->empty() || path->front() != '/')
      return HResult::Fail("Cannot register: \"" + *path + "\" is not an absolute path");
    if (HoldsControlCharacter(*path))
      return HResult::Fail("Cannot register: the path \"" + *path +
                           "\" holds a line break or another control character");
  }
  if (info.dataDir && HoldsControlCharacter(*info.dataDir))
    return HResult::Fail("Cannot register: the program folder holds a control character");

  HResult all = HResult::Ok();
  Collect(all, WriteOne(places.busService, BusServiceText(info)));
  Collect(all, WriteOne(places.busInterface, QuilletPIInterfaceXml()));
  Collect(all, WriteOne(places.desktopEntry, DesktopEntryText(info)));
  const std::string chromium = NativeHostManifestText(info, NativeHostBrowser::Chromium);
  Collect(all, WriteOne(places.chromiumHost, chromium));
  Collect(all, WriteOne(places.chromeHost, chromium));
  Collect(all,
          WriteOne(places.firefoxHost, NativeHostManifestText(info, NativeHostBrowser::Firefox)));
  Collect(all, WriteHandOffAppPath(places.handOff, info.programFolder));
  return all;
}

HResult Unregister(const RegistrationPlaces& places) {
  HResult all = HResult::Ok();
  for (const std::string& path : places.Files()) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
      Collect(all, HResult::Fail("Cannot remove " + path + ": " + std::strerror(errno)));
  }
  return all;
}

}  // namespace quillet
