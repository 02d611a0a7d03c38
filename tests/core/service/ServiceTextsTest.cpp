// The service's answers as lines, the proxy settings an activity applies,
// and the upload addresses as the upload panel and hint dialog show them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/logodir/LogoTree.h"
#include "core/service/ProxySettings.h"
#include "core/service/ServiceReply.h"
#include "core/service/UploadAddress.h"

namespace quillet {
namespace {

using Lines = std::vector<std::string>;

TEST(ServiceReply, SplitsAtEveryKindOfLineBreak) {
  struct Case {
    std::string body;
    Lines lines;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"SUCCESS", {"SUCCESS"}},
      {"SUCCESS\r\n", {"SUCCESS"}},
      {"SUCCESS\r\n\r\n", {"SUCCESS", ""}},
      {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\n", {""}},
      {std::string("ERROR\r\nbad\0hidden\r\nmore", 24), {"ERROR", "bad"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ServiceReplyLines(c.body), c.lines) << c.body;
}

TEST(ServiceReply, TheStatusWordIsCaseBlind) {
  EXPECT_EQ(StatusOfReply({"success"}), ReplyStatus::Success);
  EXPECT_EQ(StatusOfReply({"Message", "x"}), ReplyStatus::Message);
  EXPECT_EQ(StatusOfReply({"ERROR"}), ReplyStatus::Error);
  EXPECT_EQ(StatusOfReply({" SUCCESS"}), ReplyStatus::Unknown);
  EXPECT_EQ(StatusOfReply({}), ReplyStatus::Unknown);
}

Options ProxyOptions(ProxySource source, std::string host, std::string port, bool auth = false,
                     std::string user = "", std::string password = "") {
  Options options;
  options.proxysource = source;
  options.proxyhost = std::move(host);
  options.proxyport = std::move(port);
  options.proxyauthentication = auth;
  options.proxylogin = std::move(user);
  options.proxypassword = std::move(password);
  return options;
}

TEST(ProxySettings, WhenAProxyIsUsedAndWhatIsApplied) {
  struct Case {
    const char* name;
    Options options;
    ProxyConfig config;
    std::string error;
    bool loginNeeded;
  };
  const std::vector<Case> cases = {
      {"system proxy",
       ProxyOptions(ProxySource::System, "gate", "8080"),
       {"gate", 8080, false, "", ""},
       "",
       false},
      {"manual proxy",
       ProxyOptions(ProxySource::Manual, "gate", " 3128"),
       {"gate", 3128, false, "", ""},
       "",
       false},
      {"manual, port empty: direct", ProxyOptions(ProxySource::Manual, "gate", ""), {}, "", false},
      {"manual, host empty: direct", ProxyOptions(ProxySource::Manual, "", "80"), {}, "", false},
      {"no proxy whatever is filled in",
       ProxyOptions(ProxySource::NoProxy, "gate", "x"),
       {},
       "",
       false},
      {"port not a number",
       ProxyOptions(ProxySource::Manual, "gate", "80a"),
       {},
       "'80a' is not a valid integer value",
       false},
      {"system source keeps its stored authentication",
       ProxyOptions(ProxySource::System, "gate", "8080", true, "u", "p"),
       {"gate", 8080, true, "u", "p"},
       "",
       false},
      {"credentials missing",
       ProxyOptions(ProxySource::System, "gate", "8080", true, "u", ""),
       {"gate", 8080, true, "u", ""},
       "",
       true},
      {"credentials kept but not used without authentication",
       ProxyOptions(ProxySource::Manual, "gate", "1", false, "u", "p"),
       {"gate", 1, false, "", ""},
       "",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProxyApplication application = ProxyConfigFor(c.options);
    EXPECT_EQ(application.config, c.config);
    EXPECT_EQ(application.error, c.error);
    EXPECT_EQ(ProxyLoginNeeded(c.options), c.loginNeeded);
  }
}

TEST(UploadAddress, ImageIdFollowsTheFirstQuestionMarkAndThreeCharacters) {
  EXPECT_EQ(ImageIdOf("http://wap/?id=42"), "42");
  EXPECT_EQ(ImageIdOf("http://wap/guest/?id=Ab-9_x&x=1"), "Ab-9_x&x=1");
  EXPECT_EQ(ImageIdOf("abcdef"), "def");
  EXPECT_EQ(ImageIdOf("ab"), "");
  EXPECT_EQ(ImageIdOf("http://wap/?i"), "");
}

TEST(UploadAddress, PanelTextsForMembersAndGuests) {
  struct Case {
    const char* name;
    std::string address, login, password;
    UploadPanelTexts uploaded;  // right after the upload
    UploadPanelTexts shown;     // when the logo is shown later
  };
  const std::vector<Case> cases = {
      {"member",
       "http://192.168.1.5:8711/?id=42",
       "anna",
       "s3cret",
       {"http://192.168.1.5:8711/?id=42",
        "http://192.168.1.5:8711/?id=42&login=anna&password=s3cret", "42"},
       {"http://192.168.1.5:8711/?id=42",
        "http://192.168.1.5:8711/?id=42&login=anna&password=s3cret", "42"}},
      {"guest in any case",
       "http://wap:8711/guest/?id=Xy",
       "GuEsT",
       "guest",
       {"http://wap:8711/guest/", "http://wap:8711/guest/?id=Xy", "Xy"},
       {"http://wap:8711/guest/", "http://wap:8711/guest/?id=Xy", "Xy"}},
      {"credentials that would break the address",
       "http://wap/?id=1",
       "a b",
       "p&q#",
       {"http://wap/?id=1", "http://wap/?id=1&login=a%20b&password=p%26q%23", "1"},
       {"http://wap/?id=1", "http://wap/?id=1&login=a%20b&password=p%26q%23", "1"}},
      {"no credentials yet",
       "http://wap/?id=1",
       "",
       "",
       {"http://wap/?id=1", "http://wap/?id=1", "1"},
       {"http://wap/?id=1", "http://wap/?id=1", "1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const UploadPanelTexts uploaded = UploadedPanelTexts(c.address, c.login, c.password);
    EXPECT_EQ(uploaded.shortUrl, c.uploaded.shortUrl);
    EXPECT_EQ(uploaded.fullUrl, c.uploaded.fullUrl);
    EXPECT_EQ(uploaded.imageId, c.uploaded.imageId);
    const UploadPanelTexts shown = PanelTextsFor(c.address, c.login, c.password);
    EXPECT_EQ(shown.shortUrl, c.shown.shortUrl);
    EXPECT_EQ(shown.fullUrl, c.shown.fullUrl);
    EXPECT_EQ(shown.imageId, c.shown.imageId);
  }
  const UploadPanelTexts empty = PanelTextsFor("", "anna", "s3cret");
  EXPECT_TRUE(empty.shortUrl.empty() && empty.fullUrl.empty() && empty.imageId.empty());
}

TEST(UploadAddress, GuestAddressesAndTheHintAddress) {
  EXPECT_TRUE(IsGuestAddress("HTTP://Wap:8711/GUEST/?id=1"));
  EXPECT_FALSE(IsGuestAddress("http://wap/?id=1"));
  EXPECT_FALSE(IsGuestAddress("http://wap/guestbook/?id=1"));
  EXPECT_FALSE(IsGuestAddress(""));
  EXPECT_EQ(MobileUrlFor("http://wap:8711/?id=1", "anna", "s3cret"),
            "http://wap:8711/?login=anna&password=s3cret");
  EXPECT_EQ(MobileUrlFor("http://wap:8711/guest/?id=1", "Guest", "guest"),
            "http://wap:8711/guest/");
}

TEST(UploadAddress, EachForgottenLineClearsTheFirstLogoHoldingItOnce) {
  LogoTree tree;
  auto logo = [&](LogoNode& parent, const char* name, const char* address) -> LogoNode& {
    TLogoDirObject data;
    data.nodekind = NodeKind::Logo;
    data.nodename = name;
    data.uploadurl = address;
    return tree.Append(parent, data);
  };
  TLogoDirObject folderData;
  folderData.nodekind = NodeKind::Folder;
  folderData.nodename = "Folder";
  LogoNode& folder = tree.Append(tree.Root(), folderData);
  LogoNode& inFolder = logo(folder, "a.jpg", "http://wap/?id=1");
  LogoNode& second = logo(tree.Root(), "b.jpg", "http://wap/?id=1");
  LogoNode& third = logo(tree.Root(), "c.jpg", "http://wap/?id=2");
  LogoNode& kept = logo(tree.Root(), "d.jpg", "http://wap/?id=3");
  ForgetAddresses(tree, {"HTTP://WAP/?ID=1", "http://wap/?id=2", "http://wap/?id=9"});
  EXPECT_EQ(inFolder.Data().uploadurl, "");
  EXPECT_EQ(second.Data().uploadurl, "http://wap/?id=1");
  EXPECT_EQ(third.Data().uploadurl, "");
  EXPECT_EQ(kept.Data().uploadurl, "http://wap/?id=3");
}

}  // namespace
}  // namespace quillet
