#include <sys/stat.h>

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/app/ErrorReport.h"
#include "core/app/ProgramFolder.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Text.h"
#include "core/platform/Xml.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::FileSizeLimit;
using testing::ScriptedPrompts;
using testing::TempDir;

TEST(ParseInt32, AcceptsDecimalIntegersOnly) {
  struct Case {
    const char* text;
    std::optional<int> value;
  } cases[] = {
      {"0", 0},
      {"128", 128},
      {"-1", -1},
      {"+7", 7},
      {" 42 ", 42},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", {}},
      {"", {}},
      {"abc", {}},
      {"12px", {}},
      {"1.5", {}},
      {"+-5", {}},
      {"--5", {}},
      {"0x10", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseInt32(c.text), c.value) << c.text;
}

TEST(NameParts, ExtensionIsFromTheLastDot) {
  struct Case {
    const char* name;
    const char* base;
    const char* extension;
  } cases[] = {
      {"photo.jpg", "photo", ".jpg"}, {"archive.tar.gz", "archive.tar", ".gz"},
      {"Cars", "Cars", ""},           {".hidden", "", ".hidden"},
      {"trailing.", "trailing", "."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BaseNameOf(c.name), c.base) << c.name;
    EXPECT_EQ(ExtensionOf(c.name), c.extension) << c.name;
  }
}

TEST(TextPieces, TrimBlanksHexDigitsAndPercentDecoding) {
  EXPECT_EQ(TrimBlanks(" \t a b \t"), "a b");
  EXPECT_EQ(TrimBlanks("\r\nx\r\n"), "\r\nx\r\n");  // line ends are no blanks
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(HexDigitValue('7'), 7);
  EXPECT_EQ(HexDigitValue('b'), 11);
  EXPECT_EQ(HexDigitValue('F'), 15);
  EXPECT_EQ(HexDigitValue('g'), -1);
  struct Case {
    const char* text;
    bool plusIsBlank;
    const char* decoded;
  } cases[] = {
      {"a%20b%2Fc", false, "a b/c"}, {"100%", false, "100%"}, {"%4", false, "%4"},
      {"%zz%41", false, "%zzA"},     {"a+b", false, "a+b"},   {"a+b%2B", true, "a b+"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PercentDecoded(c.text, c.plusIsBlank), std::string(c.decoded)) << c.text;
  EXPECT_EQ(PercentDecoded("%00x"), std::string("\0x", 2));  // a NUL is decoded too
}

TEST(AsciiCase, FoldsOnlyAToZ) {
  EXPECT_EQ(UpperAscii("photo-ä.Jpg"), "PHOTO-ä.JPG");
  EXPECT_EQ(LowerAscii("LOGODIRNODE"), "logodirnode");
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Photo", "pHOTO"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("Photo", "Photo2"));
}

TEST(ErrorReport, AddsAPeriodWhenTheLastCharacterSortsAfterIt) {
  EXPECT_EQ(ErrorReportText("Disk is full"), "Disk is full.");
  EXPECT_EQ(ErrorReportText("Disk is full."), "Disk is full.");
  EXPECT_EQ(ErrorReportText("failed (code 5)"), "failed (code 5)");  // ')' sorts before '.'
  EXPECT_EQ(ErrorReportText("code 5"), "code 5.");                   // '5' sorts after '.'
  EXPECT_EQ(ErrorReportText(""), "");

  ScriptedPrompts prompts;
  prompts.ReportError("Something went wrong");
  ASSERT_EQ(prompts.Lines().size(), 1u);
  EXPECT_EQ(prompts.Lines()[0], "Quillet: Something went wrong.");
}

TEST(AtomicFile, ReplacesTheWholeFile) {
  TempDir dir;
  std::string path = dir.Write("data.xml", "old content that is longer");
  WriteFileAtomically(path, "new");
  EXPECT_EQ(dir.Read("data.xml"), "new");
  // No temporary file is left behind.
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// A replaced file keeps its permissions: a private options file holding
// passwords must not become readable to all when the program saves it.
TEST(AtomicFile, ReplacedFileKeepsItsPermissions) {
  TempDir dir;
  std::string path = dir.Write("options.xml", "old");
  ::chmod(path.c_str(), 0600);
  WriteFileAtomically(path, "new");
  EXPECT_EQ(ModeOf(path), 0600u);
  EXPECT_EQ(dir.Read("options.xml"), "new");

  mode_t mask = ::umask(022);
  std::string fresh = dir.Path() + "fresh.xml";
  WriteFileAtomically(fresh, "x");
  ::umask(mask);
  EXPECT_EQ(ModeOf(fresh), 0644u);
}

TEST(AtomicFile, FailedWriteKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TempDir dir;
  std::string path = dir.Write("sub/data.xml", "old");
  ::chmod((dir.Path() + "sub").c_str(), 0555);
  EXPECT_THROW(WriteFileAtomically(path, "new"), std::runtime_error);
  ::chmod((dir.Path() + "sub").c_str(), 0755);
  EXPECT_EQ(dir.Read("sub/data.xml"), "old");
}

TEST(AtomicFile, FullDiskKeepsTheOldFileAndLeavesNoTemporary) {
  TempDir dir;
  std::string path = dir.Write("data.xml", "old");
  {
    FileSizeLimit fullDisk(16);
    EXPECT_THROW(WriteFileAtomically(path, std::string(4096, 'x')), std::runtime_error);
  }
  EXPECT_EQ(dir.Read("data.xml"), "old");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(AtomicFile, MissingFolderFails) {
  TempDir dir;
  EXPECT_THROW(WriteFileAtomically(dir.Path() + "no/such/data.xml", "x"), std::runtime_error);
  EXPECT_FALSE(dir.Exists("no"));
}

TEST(Xml, WritesWithoutDeclarationOrIndentation) {
  pugi::xml_document doc;
  auto root = doc.append_child("options");
  root.append_child("login").append_attribute("value") = "a&b";
  root.append_child("empty").append_attribute("value") = "";
  EXPECT_EQ(SerializeXml(doc), "<options><login value=\"a&amp;b\"/><empty value=\"\"/></options>");
}

TEST(Xml, ElementNamesFoldCaseAttributesDoNot) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string("<Root><!--c-->text<JPEGQuality value=\"5\" Value=\"6\"/></Root>"));
  auto root = doc.document_element();
  EXPECT_TRUE(IsElementNamed(root, "root"));
  auto child = root.first_child();
  EXPECT_EQ(LowerElementName(child), "");  // the comment is not an element
  auto element = root.child("JPEGQuality");
  EXPECT_EQ(LowerElementName(element), "jpegquality");
  EXPECT_EQ(AttributeText(element, "value"), "5");
  EXPECT_EQ(AttributeText(element, "VALUE"), std::nullopt);
}

TEST(Xml, LoadReportsParserText) {
  TempDir dir;
  std::string path = dir.Write("broken.xml", "<options><login></options>");
  pugi::xml_document doc;
  std::string error;
  EXPECT_FALSE(LoadXmlFile(doc, path, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(LoadXmlFile(doc, dir.Path() + "missing.xml", error));
  dir.MakeDir("folder.xml");
  EXPECT_FALSE(LoadXmlFile(doc, dir.Path() + "folder.xml", error));
  EXPECT_EQ(error, "Not a regular file");
}

// What pugixml would take but a conforming parser refuses.
TEST(Xml, LoadRefusesDocumentsThatAreNotWellFormed) {
  struct Case {
    const char* content;
    const char* error;  // empty: read
  } cases[] = {
      {"<options/>", ""},
      {"<?xml version=\"1.0\"?>\n<!-- c --><options><a x=\"1\" y=\"1\"/></options>\n", ""},
      {"<options/><options/>", "More than one document element"},
      {"<options/><!-- c --><x>", "Start-end tags mismatch"},
      {"<options><a><b value=\"1\" value=\"2\"/></a></options>", "Duplicate attribute in <b>"},
      {"<options><a/><b/></options><p/>", "More than one document element"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::string path = dir.Write("data.xml", c.content);
    pugi::xml_document doc;
    std::string error;
    EXPECT_EQ(LoadXmlFile(doc, path, error), std::string(c.error).empty()) << c.content;
    EXPECT_EQ(error, c.error) << c.content;
  }
}

TEST(ProgramFolder, DataDirWinsThenEnvironmentThenExecutable) {
  EXPECT_EQ(ResolveProgramFolder(std::string("/tmp/q")), "/tmp/q/");
  ::setenv("QUILLET_HOME", "/srv/quillet/", 1);
  EXPECT_EQ(ResolveProgramFolder(std::nullopt), "/srv/quillet/");
  EXPECT_EQ(ResolveProgramFolder(std::string("/tmp/q/")), "/tmp/q/");
  ::unsetenv("QUILLET_HOME");
  EXPECT_EQ(ResolveProgramFolder(std::nullopt), ExecutableFolder());
  EXPECT_EQ(ExecutableFolder().back(), '/');
}

}  // namespace
}  // namespace quillet
