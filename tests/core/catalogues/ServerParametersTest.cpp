#include "core/catalogues/ServerParameters.h"

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/app/ErrorReport.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::ScriptedPrompts;
using testing::TempDir;

using Values = std::map<std::string, std::string>;

const std::string kHost(kDefaultServiceHost);

Values ValuesOf(const ServerParameters& parameters) {
  Values values;
  for (const auto& entry : parameters.Entries())
    values[entry.key] = entry.value.Value;
  return values;
}

Values Defaults() {
  return ValuesOf(ServerParameters());
}

Values DefaultsWith(const Values& changes) {
  Values values = Defaults();
  for (const auto& [key, value] : changes)
    values[key] = value;
  return values;
}

TEST(ServerParameters, DefaultsInTheirOrder) {
  ServerParameters parameters;
  std::vector<std::string> keys;
  for (const auto& entry : parameters.Entries())
    keys.push_back(entry.key);
  EXPECT_EQ(keys, (std::vector<std::string>{"uploadhost", "uploadscript", "memstatscript",
                                            "appverscript", "sendmailhost", "sendmailscript"}));
  EXPECT_EQ(parameters.UploadAddress(), "http://" + kHost + "/upload.php");
  EXPECT_EQ(parameters.MemberStatusAddress(), "http://" + kHost + "/memberstatus.php");
  EXPECT_EQ(parameters.VersionCheckAddress(), "http://" + kHost + "/curversion.php");
  EXPECT_EQ(parameters.SendToFriendAddress(), "http://" + kHost + "/sendtofriend.php");
  EXPECT_THROW(parameters.Value("proxyhost"), std::invalid_argument);
}

TEST(ServerParameters, FileOverridesTheKeysItNames) {
  struct Case {
    const char* name;
    const char* body;
    Values expected;
  };
  const Case cases[] = {
      {"one key", "<uploadscript value=\"/u2.php\"/>", DefaultsWith({{"uploadscript", "/u2.php"}})},
      {"capital element names", "<UPLOADHOST value=\"h:8080\"/><SendMailScript value=\"/s\"/>",
       DefaultsWith({{"uploadhost", "h:8080"}, {"sendmailscript", "/s"}})},
      {"later element wins", "<appverscript value=\"/a\"/><appverscript value=\"/b\"/>",
       DefaultsWith({{"appverscript", "/b"}})},
      {"empty value taken unchanged", "<memstatscript value=\"\"/>",
       DefaultsWith({{"memstatscript", ""}})},
      {"other nodes ignored",
       "text<!-- c --><proxyhost/><upload value=\"x\"/><sendmailhost value=\"mail.lan\"/>",
       DefaultsWith({{"sendmailhost", "mail.lan"}})},
      {"nothing", "", Defaults()},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("parameters.xml", std::string("<Parameters>") + c.body + "</Parameters>");
    ScriptedPrompts prompts;
    ServerParameters parameters;
    ReadServerParameters(dir.Path(), parameters, prompts);
    EXPECT_TRUE(prompts.Lines().empty()) << c.name;
    EXPECT_EQ(ValuesOf(parameters), c.expected) << c.name;
  }
}

TEST(ServerParameters, AddressesUseTheValuesUnchanged) {
  TempDir dir;
  dir.Write("parameters.xml",
            "<parameters><uploadhost value=\"127.0.0.1:8080\"/><uploadscript value=\"\"/>"
            "<sendmailhost value=\"mail.lan\"/></parameters>");
  ScriptedPrompts prompts;
  ServerParameters parameters;
  ReadServerParameters(dir.Path(), parameters, prompts);
  EXPECT_EQ(parameters.UploadAddress(), "http://127.0.0.1:8080");
  EXPECT_EQ(parameters.MemberStatusAddress(), "http://127.0.0.1:8080/memberstatus.php");
  EXPECT_EQ(parameters.VersionCheckAddress(), "http://127.0.0.1:8080/curversion.php");
  EXPECT_EQ(parameters.SendToFriendAddress(), "http://mail.lan/sendtofriend.php");
}

TEST(ServerParameters, WrongRootKeepsTheDefaults) {
  TempDir dir;
  dir.Write("parameters.xml", "<settings><uploadhost value=\"elsewhere\"/></settings>");
  ScriptedPrompts prompts;
  ServerParameters parameters;
  ReadServerParameters(dir.Path(), parameters, prompts);
  EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{"Error: Parameters file is corrupt."}));
  EXPECT_EQ(ValuesOf(parameters), Defaults());
}

TEST(ServerParameters, UnreadableFileGoesToTheErrorReport) {
  struct Case {
    const char* name;
    const char* content;  // nullptr: no file; "/": a folder in its place
    const char* textPart;
    Values kept;
  };
  const Case cases[] = {
      {"missing", nullptr, "File was not found", Defaults()},
      {"folder", "/", "Not a regular file", Defaults()},
      {"not well-formed", "<parameters><uploadhost value=\"x\"></parameters>", "parameters.xml",
       Defaults()},
      {"value attribute in another case",
       "<parameters><uploadscript value=\"/first\"/><uploadhost Value=\"x\"/>"
       "<sendmailhost value=\"never\"/></parameters>",
       "\"uploadhost\" has no \"value\" attribute", DefaultsWith({{"uploadscript", "/first"}})},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.content && std::string(c.content) == "/")
      dir.MakeDir("parameters.xml");
    else if (c.content)
      dir.Write("parameters.xml", c.content);
    ScriptedPrompts prompts;
    ServerParameters parameters;
    try {
      ReadServerParameters(dir.Path(), parameters, prompts);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const QuilletError& error) {
      EXPECT_NE(std::string(error.what()).find(c.textPart), std::string::npos)
          << c.name << ": " << error.what();
    }
    EXPECT_TRUE(prompts.Lines().empty()) << c.name;
    EXPECT_EQ(ValuesOf(parameters), c.kept) << c.name;
  }
}

TEST(ServerParameters, ShippedFileHoldsTheDefaults) {
  ScriptedPrompts prompts;
  ServerParameters parameters;
  ReadServerParameters(std::string(QUILLET_SOURCE_DIR) + "/data/", parameters, prompts);
  EXPECT_TRUE(prompts.Lines().empty());
  EXPECT_EQ(ValuesOf(parameters), Defaults());
}

}  // namespace
}  // namespace quillet
