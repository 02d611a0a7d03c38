#include "core/settings/Options.h"

#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FileSizeLimit.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::FileSizeLimit;
using testing::ScriptedPrompts;
using testing::TempDir;

const std::vector<std::string> kCorrupt{"Error: Options file is corrupt."};

struct Loaded {
  Options options;
  std::vector<std::string> messages;
};

Loaded LoadFrom(const TempDir& dir, const SystemProxyReader& systemProxy = {}) {
  ScriptedPrompts prompts;
  Options options = LoadOptions(dir.Path(), prompts, systemProxy);
  return {options, prompts.Lines()};
}

Loaded LoadFile(const std::string& content, const SystemProxyReader& systemProxy = {}) {
  TempDir dir;
  dir.Write("options.xml", content);
  return LoadFrom(dir, systemProxy);
}

Options DefaultsWith(const std::function<void(Options&)>& change) {
  Options options;
  SetDefaultOptions(options);
  change(options);
  return options;
}

const char* const kDefaultDocument =
    "<options><login value=\"\"/><password value=\"\"/><proxysource value=\"ie\"/>"
    "<proxyhost value=\"\"/><proxyport value=\"\"/><proxyauthentication value=\"no\"/>"
    "<proxylogin value=\"\"/><proxypassword value=\"\"/><showlogochange value=\"no\"/>"
    "<fillemptyarea value=\"no\"/><emptyareacolor value=\"16777215\"/>"
    "<jpegquality value=\"90\"/><showjpegdialog value=\"yes\"/><gifbitdepth value=\"8\"/>"
    "<showgifdialog value=\"yes\"/><convertretainsource value=\"2\"/>"
    "<convertasktargetname value=\"no\"/><mirrorretainsource value=\"2\"/>"
    "<mirrorasktargetname value=\"no\"/><rotateretainsource value=\"2\"/>"
    "<rotateasktargetname value=\"no\"/><importedfileformat value=\"1\"/>"
    "<importasktargetname value=\"no\"/><grabbedfileformat value=\"1\"/>"
    "<grabasktargetname value=\"no\"/><enableaccesshint value=\"yes\"/>"
    "<checknewversion value=\"yes\"/></options>";

TEST(Options, NoFileGivesTheDefaultsSilently) {
  TempDir dir;
  Loaded loaded = LoadFrom(dir);
  EXPECT_TRUE(loaded.messages.empty());
  EXPECT_EQ(loaded.options, Options());
  EXPECT_EQ(OptionsDocumentText(loaded.options), kDefaultDocument);
  EXPECT_FALSE(dir.Exists("options.xml"));
}

TEST(Options, ReadsEachFormAndAdjustsValuesAsTheControlsDo) {
  struct Case {
    const char* element;
    std::function<void(Options&)> change;
  };
  const Case cases[] = {
      // Text, verbatim; a missing attribute is empty text.
      {"<login value=\" Ann Lee \"/>", [](Options& o) { o.login = " Ann Lee "; }},
      {"<password value=\"p&amp;&lt;&quot;\"/>", [](Options& o) { o.password = "p&<\""; }},
      {"<proxylogin/>", [](Options& o) { o.proxylogin = ""; }},
      // Flags: "yes" in any case; anything else, or nothing, is no.
      {"<showlogochange value=\"YES\"/>", [](Options& o) { o.showlogochange = true; }},
      {"<showjpegdialog value=\"\"/>", [](Options& o) { o.showjpegdialog = false; }},
      {"<showjpegdialog value=\"true\"/>", [](Options& o) { o.showjpegdialog = false; }},
      {"<checknewversion value=\"1\"/>", [](Options& o) { o.checknewversion = false; }},
      {"<enableaccesshint/>", [](Options& o) { o.enableaccesshint = false; }},
      {"<enableaccesshint VALUE=\"yes\"/>", [](Options& o) { o.enableaccesshint = false; }},
      // Proxy source.
      {"<proxysource value=\"Manual\"/>", [](Options& o) { o.proxysource = ProxySource::Manual; }},
      {"<proxysource value=\"NOPROXY\"/>",
       [](Options& o) { o.proxysource = ProxySource::NoProxy; }},
      {"<proxysource value=\"IE\"/>", [](Options&) {}},
      {"<proxysource value=\"socks\"/>", [](Options&) {}},
      // Integers.
      {"<emptyareacolor value=\"255\"/>", [](Options& o) { o.emptyareacolor = 255; }},
      {"<emptyareacolor value=\"red\"/>", [](Options&) {}},
      {"<jpegquality value=\"95\"/>", [](Options& o) { o.jpegquality = 100; }},
      {"<jpegquality value=\"94\"/>", [](Options& o) { o.jpegquality = 90; }},
      {"<jpegquality value=\"5\"/>", [](Options& o) { o.jpegquality = 10; }},
      {"<jpegquality value=\"250\"/>", [](Options& o) { o.jpegquality = 100; }},
      {"<jpegquality value=\"-40\"/>", [](Options& o) { o.jpegquality = 10; }},
      {"<jpegquality value=\"55\"/>", [](Options& o) { o.jpegquality = 60; }},
      {"<jpegquality value=\"70\"/>", [](Options& o) { o.jpegquality = 70; }},
      {"<jpegquality/>", [](Options&) {}},
      {"<jpegquality value=\"9x\"/>", [](Options&) {}},
      {"<gifbitdepth value=\"2\"/>", [](Options& o) { o.gifbitdepth = 3; }},
      {"<gifbitdepth value=\"5\"/>", [](Options& o) { o.gifbitdepth = 5; }},
      {"<gifbitdepth value=\"9\"/>", [](Options& o) { o.gifbitdepth = 8; }},
      {"<gifbitdepth value=\"4.5\"/>", [](Options&) {}},
      // Choices: an index outside the list reads like a non-integer value.
      {"<convertretainsource value=\"0\"/>",
       [](Options& o) { o.convertretainsource = RetainSource::Ask; }},
      {"<mirrorretainsource value=\"1\"/>",
       [](Options& o) { o.mirrorretainsource = RetainSource::Retain; }},
      {"<rotateretainsource value=\"3\"/>", [](Options&) {}},
      {"<rotateretainsource value=\"-1\"/>", [](Options&) {}},
      {"<convertretainsource value=\"ask\"/>", [](Options&) {}},
      {"<importedfileformat value=\"4\"/>",
       [](Options& o) { o.importedfileformat = AcquiredFormat::Ask; }},
      {"<grabbedfileformat value=\"3\"/>",
       [](Options& o) { o.grabbedfileformat = AcquiredFormat::Png; }},
      {"<grabbedfileformat value=\"5\"/>", [](Options&) {}},
      {"<importedfileformat value=\"\"/>", [](Options&) {}},
      // Element names in any case; later elements win; others are ignored.
      {"<JPEGQuality value=\"30\"/>", [](Options& o) { o.jpegquality = 30; }},
      {"<Options value=\"x\"/><unknown value=\"1\"/>text<!-- c -->", [](Options&) {}},
      {"<login value=\"first\"/><LOGIN value=\"second\"/>", [](Options& o) { o.login = "second"; }},
      {"<fillemptyarea value=\"yes\"/><fillemptyarea value=\"no\"/>", [](Options&) {}},
  };
  for (const Case& c : cases) {
    Loaded loaded = LoadFile(std::string("<options>") + c.element + "</options>");
    EXPECT_TRUE(loaded.messages.empty()) << c.element;
    EXPECT_EQ(loaded.options, DefaultsWith(c.change)) << c.element << "\n"
                                                      << OptionsDocumentText(loaded.options);
  }
}

TEST(Options, DamagedFileIsReportedOnceAndGivesTheDefaults) {
  const char* const cases[] = {
      "<settings><login value=\"a\"/></settings>",
      "<options><login value=\"a\"></options>",
      "",
      "<!-- nothing but a comment -->",
      "\xff\xfe\x00garbage",
      "<options><login value=\"a\"/></options><options/>",
      "<options><login value=\"a\" value=\"b\"/></options>",
  };
  for (const char* content : cases) {
    Loaded loaded = LoadFile(content);
    EXPECT_EQ(loaded.messages, kCorrupt) << content;
    EXPECT_EQ(loaded.options, Options()) << content;
  }
}

TEST(Options, RootNameInAnyCase) {
  Loaded loaded = LoadFile("<Options><login value=\"ann\"/></Options>");
  EXPECT_TRUE(loaded.messages.empty());
  EXPECT_EQ(loaded.options.login, "ann");
}

TEST(Options, FolderInPlaceOfTheFileIsDamage) {
  TempDir dir;
  dir.MakeDir("options.xml");
  EXPECT_EQ(LoadFrom(dir).messages, kCorrupt);
}

TEST(Options, SystemSourceTakesHostAndPortFromTheSystem) {
  const SystemProxyReader systemProxy = [] { return SystemProxy{"proxy.lan", "8080"}; };
  struct Case {
    const char* source;
    const SystemProxyReader& reader;
    const char* host;
    const char* port;
  };
  const SystemProxyReader none;
  const SystemProxyReader emptyProxy = [] { return SystemProxy{}; };
  const Case cases[] = {
      {"ie", systemProxy, "proxy.lan", "8080"},
      {"ie", none, "", ""},
      {"ie", emptyProxy, "", ""},
      {"other", systemProxy, "proxy.lan", "8080"},
      {"manual", systemProxy, "typed.lan", "3129"},
      {"noproxy", systemProxy, "typed.lan", "3129"},
  };
  for (const Case& c : cases) {
    Loaded loaded = LoadFile(std::string("<options><proxysource value=\"") + c.source +
                                 "\"/><proxyhost value=\"typed.lan\"/>"
                                 "<proxyport value=\"3129\"/></options>",
                             c.reader);
    EXPECT_EQ(loaded.options.proxyhost, c.host) << c.source;
    EXPECT_EQ(loaded.options.proxyport, c.port) << c.source;
  }
  TempDir noFile;
  Options fresh = LoadFrom(noFile, systemProxy).options;
  EXPECT_EQ(fresh.proxyhost, "proxy.lan");
  EXPECT_EQ(fresh.proxyport, "8080");
}

Options Edited() {
  return DefaultsWith([](Options& o) {
    o.login = "ann";
    o.password = "a&b<c>\"d' \xc3\xa9\t\n\r\x01";
    o.proxysource = ProxySource::Manual;
    o.proxyhost = "proxy.lan";
    o.proxyport = "3128";
    o.proxyauthentication = true;
    o.proxylogin = "pl";
    o.proxypassword = "pp";
    o.showlogochange = true;
    o.fillemptyarea = true;
    o.emptyareacolor = 0x0000ff;
    o.jpegquality = 60;
    o.showjpegdialog = false;
    o.gifbitdepth = 4;
    o.showgifdialog = false;
    o.convertretainsource = RetainSource::Ask;
    o.convertasktargetname = true;
    o.mirrorretainsource = RetainSource::Retain;
    o.mirrorasktargetname = true;
    o.rotateretainsource = RetainSource::Ask;
    o.rotateasktargetname = true;
    o.importedfileformat = AcquiredFormat::Ask;
    o.importasktargetname = true;
    o.grabbedfileformat = AcquiredFormat::Bmp;
    o.grabasktargetname = true;
    o.enableaccesshint = false;
    o.checknewversion = false;
  });
}

TEST(Options, SavedOptionsReadBackUnchanged) {
  TempDir dir;
  ScriptedPrompts prompts;
  const Options edited = Edited();
  ASSERT_TRUE(SaveOptions(edited, dir.Path(), prompts));
  EXPECT_TRUE(prompts.Lines().empty());
  EXPECT_EQ(dir.Read("options.xml"), OptionsDocumentText(edited));
  Loaded loaded = LoadFrom(dir);
  EXPECT_TRUE(loaded.messages.empty());
  EXPECT_EQ(loaded.options, edited);
}

TEST(Options, SavedFileIsWrittenWhole) {
  TempDir dir;
  dir.Write("options.xml", "<options><login value=\"old\"/><extra value=\"x\"/></options>");
  ScriptedPrompts prompts;
  ASSERT_TRUE(SaveOptions(Options(), dir.Path(), prompts));
  EXPECT_EQ(dir.Read("options.xml"), kDefaultDocument);
}

// The file holds passwords: a new one is the owner's alone, while one the
// user has opened up on purpose keeps its permissions.
TEST(Options, NewFileIsPrivateAndAnExistingOneKeepsItsMode) {
  TempDir dir;
  ScriptedPrompts prompts;
  const std::string path = dir.Path() + "options.xml";
  ASSERT_TRUE(SaveOptions(Edited(), dir.Path(), prompts));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(SaveOptions(Options(), dir.Path(), prompts));
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(Options, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  const std::string old = "<options><login value=\"old\"/></options>";
  dir.Write("options.xml", old);
  ScriptedPrompts prompts;
  bool written;
  {
    FileSizeLimit fullDisk(64);
    written = SaveOptions(Edited(), dir.Path(), prompts);
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{"Error: Error saving application options"}));
  EXPECT_EQ(dir.Read("options.xml"), old);
}

TEST(Options, SaveIntoAMissingFolderFails) {
  TempDir dir;
  ScriptedPrompts prompts;
  EXPECT_FALSE(SaveOptions(Options(), dir.Path() + "gone/", prompts));
  EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{"Error: Error saving application options"}));
}

TEST(Options, ControlAdjustments) {
  const std::pair<int, int> jpeg[] = {{95, 100}, {94, 90}, {5, 10},  {250, 100},
                                      {10, 10},  {15, 20}, {-1, 10}, {2147483647, 100}};
  for (auto [position, expected] : jpeg)
    EXPECT_EQ(SnapJpegQuality(position), expected) << position;
  const std::pair<int, int> gif[] = {{2, 3}, {3, 3}, {8, 8}, {9, 8}, {-2147483647 - 1, 3}};
  for (auto [position, expected] : gif)
    EXPECT_EQ(ClampGifBitDepth(position), expected) << position;
}

TEST(Options, ProxyFieldsFollowSourceAndAuthentication) {
  struct Case {
    ProxySource source;
    bool authentication;
    ProxyFieldsEnabled expected;
  };
  const Case cases[] = {
      {ProxySource::System, false, {false, false}},  {ProxySource::System, true, {false, false}},
      {ProxySource::Manual, false, {true, false}},   {ProxySource::Manual, true, {true, true}},
      {ProxySource::NoProxy, false, {false, false}}, {ProxySource::NoProxy, true, {false, false}},
  };
  for (const Case& c : cases) {
    Options options;
    options.proxysource = c.source;
    options.proxyauthentication = c.authentication;
    EXPECT_EQ(ProxyFieldsEnabledFor(options), c.expected)
        << ProxySourceText(c.source) << " " << c.authentication;
  }
}

TEST(Options, ColourButtonFollowsFilling) {
  Options options;
  EXPECT_FALSE(ColourButtonEnabled(options));
  options.emptyareacolor = 255;
  options.fillemptyarea = true;
  EXPECT_TRUE(ColourButtonEnabled(options));
  options.fillemptyarea = false;
  EXPECT_EQ(options.emptyareacolor, 255);  // the colour stays while filling is off
}

}  // namespace
}  // namespace quillet
