#include "core/catalogues/PhoneCatalogue.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::ScriptedPrompts;
using testing::TempDir;

const std::string kInitializationFailed =
    "Error: Unexpected error occurred during application initialization.";

struct Reading {
  CatalogueReading reading;
  std::vector<std::string> messages;
};

Reading ReadFile(const std::string& content) {
  TempDir dir;
  dir.Write("phoneslist.xml", content);
  ScriptedPrompts prompts;
  CatalogueReading reading = ReadPhoneCatalogue(dir.Path(), prompts);
  return {reading, prompts.Lines()};
}

TEST(PhoneCatalogue, ReadsMakesAndModelsInFileOrder) {
  Reading r = ReadFile(
      "<phoneslist>"
      "<make name=\"Nokia\">"
      "<model name=\"3310\" screenwidth=\"84\" screenheight=\"48\"/>"
      "<model name=\"6600\" screenwidth=\"176\" screenheight=\"208\"/>"
      "</make>"
      "<make name=\"Alcatel\"><model name=\"OT 511\" screenwidth=\"101\" screenheight=\"80\"/>"
      "</make>"
      "</phoneslist>");
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.reading.outcome, CatalogueOutcome::Read);
  const PhoneCatalogue& catalogue = r.reading.catalogue;
  EXPECT_EQ(catalogue.MakeNames(), (std::vector<std::string>{"Nokia", "Alcatel"}));
  EXPECT_EQ(catalogue.ModelNamesOf(0), (std::vector<std::string>{"3310", "6600"}));
  EXPECT_EQ(catalogue.AttributesOf(0, 1), TPhoneAttributes(176, 208));
  EXPECT_EQ(catalogue.AttributesOf(1, 0), TPhoneAttributes(101, 80));
}

TEST(PhoneCatalogue, ElementNamesInAnyCaseAndOnlyElementsCount) {
  Reading r = ReadFile(
      "<PhonesList>text<!--comment-->"
      "<vendor name=\"ignored\"/>"
      "<MAKE name=\"Siemens\">more text<!--c-->"
      "<Model name=\"C35\" screenwidth=\"101\" screenheight=\"64\">"
      "<model name=\"too deep\" screenwidth=\"1\" screenheight=\"1\"/></Model>"
      "<series name=\"ignored\"/>"
      "<mOdEl name=\"S55\" screenwidth=\"101\" screenheight=\"80\"/>"
      "</MAKE></PhonesList>");
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(r.reading.catalogue.MakeNames(), (std::vector<std::string>{"Siemens"}));
  EXPECT_EQ(r.reading.catalogue.ModelNamesOf(0), (std::vector<std::string>{"C35", "S55"}));
}

TEST(PhoneCatalogue, DuplicateMakesAndMakesWithoutModelsAreListed) {
  Reading r = ReadFile(
      "<phoneslist><make name=\"Nokia\"/><make name=\"Nokia\">"
      "<model name=\"7110\" screenwidth=\"96\" screenheight=\"65\"/></make></phoneslist>");
  EXPECT_EQ(r.reading.catalogue.MakeNames(), (std::vector<std::string>{"Nokia", "Nokia"}));
  EXPECT_TRUE(r.reading.catalogue.ModelNamesOf(0).empty());
  EXPECT_EQ(r.reading.catalogue.ModelNamesOf(1), (std::vector<std::string>{"7110"}));
}

TEST(PhoneCatalogue, ScreenSidesFallBackTo128) {
  struct Case {
    const char* attributes;
    TPhoneAttributes expected;
  };
  const Case cases[] = {
      {"screenwidth=\"240\" screenheight=\"320\"", {240, 320}},
      {"screenwidth=\" 176 \" screenheight=\"+208\"", {176, 208}},
      {"screenwidth=\"abc\" screenheight=\"320\"", {128, 320}},
      {"screenwidth=\"240\"", {240, 128}},
      {"screenheight=\"\"", {128, 128}},
      {"screenwidth=\"12.5\" screenheight=\"0x40\"", {128, 128}},
      {"screenwidth=\"99999999999\" screenheight=\"-20\"", {128, -20}},
      // Attribute names are matched exactly.
      {"ScreenWidth=\"240\" SCREENHEIGHT=\"320\"", {128, 128}},
  };
  for (const Case& c : cases) {
    Reading r = ReadFile(std::string("<phoneslist><make name=\"M\"><model name=\"X\" ") +
                         c.attributes + "/></make></phoneslist>");
    EXPECT_TRUE(r.messages.empty()) << c.attributes;
    EXPECT_EQ(r.reading.catalogue.AttributesOf(0, 0), c.expected) << c.attributes;
  }
}

TEST(PhoneCatalogue, WrongRootIsDamagedAndStartUpGoesOn) {
  Reading r = ReadFile("<phones><make name=\"Nokia\"/></phones>");
  EXPECT_EQ(r.messages, (std::vector<std::string>{"Error: Phone list file is damaged."}));
  EXPECT_EQ(r.reading.outcome, CatalogueOutcome::Damaged);
  EXPECT_FALSE(r.reading.catalogue.HasMakes());
  EXPECT_TRUE(r.reading.catalogue.MakeNames().empty());
}

TEST(PhoneCatalogue, UnreadableCatalogueEndsTheProgram) {
  struct Case {
    const char* name;
    const char* content;
  };
  const Case cases[] = {
      {"not well-formed", "<phoneslist><make name=\"A\"></phoneslist>"},
      {"empty file", ""},
      {"make without name", "<phoneslist><make Name=\"A\"/></phoneslist>"},
      {"model without name",
       "<phoneslist><make name=\"A\"><model screenwidth=\"1\" screenheight=\"1\"/></make>"
       "</phoneslist>"},
  };
  for (const Case& c : cases) {
    Reading r = ReadFile(c.content);
    EXPECT_EQ(r.messages, (std::vector<std::string>{kInitializationFailed})) << c.name;
    EXPECT_EQ(r.reading.outcome, CatalogueOutcome::EndProgram) << c.name;
  }
}

TEST(PhoneCatalogue, MissingFileEndsTheProgram) {
  for (bool folderInItsPlace : {false, true}) {
    TempDir dir;
    if (folderInItsPlace) dir.MakeDir("phoneslist.xml");
    ScriptedPrompts prompts;
    CatalogueReading reading = ReadPhoneCatalogue(dir.Path(), prompts);
    EXPECT_EQ(prompts.Lines(), (std::vector<std::string>{kInitializationFailed}));
    EXPECT_EQ(reading.outcome, CatalogueOutcome::EndProgram);
  }
}

// An empty catalogue is a present, empty list whether the root element is
// empty or holds only text and comments: neither stops the program.
TEST(PhoneCatalogue, EmptyRootGivesAnEmptyList) {
  for (const char* content : {"<phoneslist/>", "<phoneslist>  <!-- none --></phoneslist>"}) {
    Reading r = ReadFile(content);
    EXPECT_TRUE(r.messages.empty()) << content;
    EXPECT_EQ(r.reading.outcome, CatalogueOutcome::Read) << content;
    EXPECT_TRUE(r.reading.catalogue.HasMakes()) << content;
    EXPECT_TRUE(r.reading.catalogue.MakeNames().empty()) << content;
  }
}

TEST(PhoneCatalogue, PositionsOutsideTheCatalogueFindNothing) {
  PhoneCatalogue catalogue(
      {PhoneMake{"A", {PhoneModel{"a1", TPhoneAttributes(1, 2)}}}, PhoneMake{"B", {}}});
  const PhoneCatalogue absent;
  struct Case {
    std::int32_t make;
    std::int32_t model;
  };
  const Case cases[] = {{-1, 0}, {0, -1}, {0, 1}, {1, 0}, {2, 0}, {-1, -1}, {2147483647, 0}};
  for (const Case& c : cases) {
    EXPECT_FALSE(catalogue.AttributesOf(c.make, c.model)) << c.make << "," << c.model;
    EXPECT_EQ(catalogue.ModelAt(c.make, c.model), nullptr);
    EXPECT_FALSE(absent.AttributesOf(c.make, c.model));
  }
  EXPECT_TRUE(catalogue.ModelNamesOf(-1).empty());
  EXPECT_TRUE(catalogue.ModelNamesOf(2).empty());
  EXPECT_TRUE(absent.ModelNamesOf(0).empty());
  EXPECT_EQ(absent.MakeAt(0), nullptr);
  EXPECT_EQ(catalogue.AttributesOf(0, 0), TPhoneAttributes(1, 2));
}

TEST(PhoneCatalogue, ChosenModelSetsAClampedLogoSize) {
  struct Case {
    TPhoneAttributes screen;
    TPhoneAttributes logo;
  };
  // Today's phones keep their true screen size: a tall phone gets a tall logo.
  const Case cases[] = {
      {{500, 20}, {500, 20}},       {{10, 10}, {16, 16}},   {{84, 48}, {84, 48}},
      {{16, 400}, {16, 400}},       {{401, 15}, {401, 16}}, {{1170, 2532}, {1170, 2532}},
      {{4096, 4097}, {4096, 4096}}, {{-5, 128}, {16, 128}}, {{1179, 2556}, {1179, 2556}},
      {{100000, 16}, {4096, 16}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LogoSizeForModel(c.screen), c.logo)
        << c.screen.ScreenWidth << "x" << c.screen.ScreenHeight;
}

TEST(PhoneCatalogue, ShippedCatalogueIsComplete) {
  ScriptedPrompts prompts;
  CatalogueReading reading =
      ReadPhoneCatalogue(std::string(QUILLET_SOURCE_DIR) + "/data/", prompts);
  EXPECT_TRUE(prompts.Lines().empty());
  ASSERT_EQ(reading.outcome, CatalogueOutcome::Read);
  const auto& makes = *reading.catalogue.Makes();
  EXPECT_GE(makes.size(), 20u);
  std::size_t models = 0;
  for (const PhoneMake& make : makes) {
    EXPECT_FALSE(make.models.empty()) << make.name;
    for (const PhoneModel& model : make.models) {
      ++models;
      // Every size is that of a real screen.
      EXPECT_GE(model.attributes.ScreenWidth, 48) << make.name << " " << model.name;
      EXPECT_GE(model.attributes.ScreenHeight, 32) << make.name << " " << model.name;
      EXPECT_LE(model.attributes.ScreenWidth, 2160) << make.name << " " << model.name;
      EXPECT_LE(model.attributes.ScreenHeight, 3840) << make.name << " " << model.name;
    }
  }
  EXPECT_GE(models, 300u);
}

TEST(PhoneCatalogue, AShippedTallPhoneGetsALogoOfItsTrueSize) {
  ScriptedPrompts prompts;
  CatalogueReading reading =
      ReadPhoneCatalogue(std::string(QUILLET_SOURCE_DIR) + "/data/", prompts);
  ASSERT_EQ(reading.outcome, CatalogueOutcome::Read);
  const PhoneCatalogue& catalogue = reading.catalogue;
  std::optional<TPhoneAttributes> iphone;
  for (std::int32_t make = 0; !iphone && catalogue.MakeAt(make); ++make)
    for (std::int32_t model = 0; catalogue.ModelAt(make, model); ++model)
      if (catalogue.ModelAt(make, model)->name == "iPhone 15 Pro")
        iphone = catalogue.AttributesOf(make, model);
  ASSERT_TRUE(iphone.has_value());
  EXPECT_EQ(LogoSizeForModel(*iphone), TPhoneAttributes(1179, 2556));
}

}  // namespace
}  // namespace quillet
