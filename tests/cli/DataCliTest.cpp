#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/settings/Options.h"

#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::ProcessResult;
using testing::RunCli;
using testing::TempDir;

// No proxy from the environment of whoever runs the tests, and no gsettings.
const std::vector<std::string> kNoSystemProxy{
    "QUILLET_HOME=", "http_proxy=", "HTTP_PROXY=", "PATH=/nonexistent"};

ProcessResult RunIn(const std::string& command, const TempDir& dir,
                    const std::vector<std::string>& environment = kNoSystemProxy) {
  return RunCli({command, "--data-dir", dir.Path()}, environment);
}

TEST(CatalogueCommand, PrintsTheShippedCatalogue) {
  ProcessResult result = RunCli({"catalogue", "--data-dir", QUILLET_STAGE_DIR});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out.rfind("{\"makes\":[{\"name\":\"Nokia\",\"models\":[{\"name\":\"3210\","
                             "\"width\":84,\"height\":48},",
                             0),
            0u)
      << result.out.substr(0, 200);
  EXPECT_NE(result.out.find("{\"name\":\"iPhone 12\",\"width\":1170,\"height\":2532}"),
            std::string::npos);
}

TEST(CatalogueCommand, ReportsBrokenCatalogues) {
  struct Case {
    const char* content;  // nullptr: no file
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {"<PHONESLIST><Make name=\"A &amp; B\"><MODEL name=\"q&quot;\" screenwidth=\"x\" "
       "screenheight=\"20\"/></Make></PHONESLIST>",
       "{\"makes\":[{\"name\":\"A & B\",\"models\":[{\"name\":\"q\\\"\",\"width\":128,"
       "\"height\":20}]}]}\n",
       ""},
      {"<phoneslist/>", "{\"makes\":[]}\n", ""},
      // UTF-8 passes through; a stray Latin-1 byte still gives valid JSON.
      {"<phoneslist><make name=\"Caf\xc3\xa9 Sagem my\xe9\"/></phoneslist>",
       "{\"makes\":[{\"name\":\"Caf\xc3\xa9 Sagem my\\ufffd\",\"models\":[]}]}\n", ""},
      {"<phones/>", "{\"makes\":null}\n", "Error: Phone list file is damaged.\n"},
      {"<phoneslist><make/></phoneslist>", "{\"makes\":null}\n",
       "Error: Unexpected error occurred during application initialization.\n"},
      {nullptr, "{\"makes\":null}\n",
       "Error: Unexpected error occurred during application initialization.\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.content) dir.Write("phoneslist.xml", c.content);
    ProcessResult result = RunIn("catalogue", dir);
    EXPECT_EQ(result.exitCode, 0) << (c.content ? c.content : "no file");
    EXPECT_EQ(result.out, c.out) << (c.content ? c.content : "no file");
    EXPECT_EQ(result.err, c.err) << (c.content ? c.content : "no file");
  }
}

const std::string kDefaultParameters =
    "{\"uploadhost\":\"wap.quillet-logos.com\",\"uploadscript\":\"/upload.php\","
    "\"memstatscript\":\"/memberstatus.php\",\"appverscript\":\"/curversion.php\","
    "\"sendmailhost\":\"wap.quillet-logos.com\",\"sendmailscript\":\"/sendtofriend.php\"}\n";

std::string AfterUploadHost() {
  return kDefaultParameters.substr(kDefaultParameters.find("\"uploadscript\""));
}

TEST(ParametersCommand, PrintsTheShippedParameters) {
  ProcessResult result = RunCli({"parameters", "--data-dir", QUILLET_STAGE_DIR});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, kDefaultParameters);
}

TEST(ParametersCommand, ReportsBrokenFiles) {
  struct Case {
    const char* content;  // nullptr: no file
    std::string out;
    const char* err;
  };
  const Case cases[] = {
      {"<Parameters><UploadHost value=\"127.0.0.1:8080\"/></Parameters>",
       "{\"uploadhost\":\"127.0.0.1:8080\"," + AfterUploadHost(), ""},
      {"<settings/>", kDefaultParameters, "Error: Parameters file is corrupt.\n"},
      {"<parameters><uploadhost value=\"h\"/><uploadscript Value=\"/x\"/></parameters>",
       "{\"uploadhost\":\"h\"," + AfterUploadHost(),
       "Quillet: The parameters file parameters.xml is invalid: the element \"uploadscript\" "
       "has no \"value\" attribute.\n"},
      {nullptr, kDefaultParameters,
       "Quillet: Cannot read the parameters file parameters.xml: File was not found.\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.content) dir.Write("parameters.xml", c.content);
    ProcessResult result = RunIn("parameters", dir);
    EXPECT_EQ(result.exitCode, 0) << (c.content ? c.content : "no file");
    EXPECT_EQ(result.out, c.out) << (c.content ? c.content : "no file");
    EXPECT_EQ(result.err, c.err) << (c.content ? c.content : "no file");
  }
}

// The document SaveOptions writes for the defaults with `change` applied.
std::string DefaultOptionsWith(const std::function<void(Options&)>& change) {
  Options options;
  change(options);
  return OptionsDocumentText(options);
}

void Defaults(Options&) {}

TEST(OptionsCommand, PrintsTheDocumentTheProgramWouldWrite) {
  struct Case {
    const char* content;  // nullptr: no file
    std::vector<std::string> environment;
    std::string out;
    const char* err;
  };
  const Case cases[] = {
      {nullptr, kNoSystemProxy, DefaultOptionsWith(Defaults), ""},
      {"<Options><JPEGQuality value=\"95\"/><gifbitdepth value=\"12\"/></Options>", kNoSystemProxy,
       DefaultOptionsWith([](Options& o) { o.jpegquality = 100; }), ""},
      {"<options><proxyhost value=\"old.lan\"/></options>",
       {"QUILLET_HOME=", "http_proxy=http://env.lan:8123/", "PATH=/nonexistent"},
       DefaultOptionsWith([](Options& o) {
         o.proxyhost = "env.lan";
         o.proxyport = "8123";
       }),
       ""},
      {"<options><proxysource value=\"manual\"/><proxyhost value=\"typed.lan\"/></options>",
       {"QUILLET_HOME=", "http_proxy=http://env.lan:8123/", "PATH=/nonexistent"},
       DefaultOptionsWith([](Options& o) {
         o.proxysource = ProxySource::Manual;
         o.proxyhost = "typed.lan";
       }),
       ""},
      // A choice out of range reads as its default; the later of two elements wins.
      {"<options><rotateretainsource value=\"5\"/><login value=\"a\"/><LOGIN value=\"b\"/>"
       "</options>",
       kNoSystemProxy, DefaultOptionsWith([](Options& o) { o.login = "b"; }), ""},
      {"<settings><login value=\"ann\"/></settings>", kNoSystemProxy, DefaultOptionsWith(Defaults),
       "Error: Options file is corrupt.\n"},
      {"<options><login value=\"ann\"></options>", kNoSystemProxy, DefaultOptionsWith(Defaults),
       "Error: Options file is corrupt.\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.content) dir.Write("options.xml", c.content);
    ProcessResult result = RunIn("options", dir, c.environment);
    EXPECT_EQ(result.exitCode, 0) << (c.content ? c.content : "no file");
    EXPECT_EQ(result.out, c.out) << (c.content ? c.content : "no file");
    EXPECT_EQ(result.err, c.err) << (c.content ? c.content : "no file");
    // Printing never writes the file.
    EXPECT_EQ(dir.Exists("options.xml"), c.content != nullptr);
  }
}

TEST(DataCommands, RejectStrayArguments) {
  for (const char* command : {"catalogue", "parameters", "options"}) {
    ProcessResult result = RunCli({command, "extra"});
    EXPECT_EQ(result.exitCode, 2) << command;
    EXPECT_NE(result.err.find("usage"), std::string::npos) << command;
  }
}

}  // namespace
}  // namespace quillet
