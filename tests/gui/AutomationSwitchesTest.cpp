// The automation switches as the command line gives them.
#include <QTest>
#include <string>
#include <vector>

#include "gui/automation/AutomationSwitches.h"

namespace {

quillet::AutomationSwitches Parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "quillet");
  std::vector<char*> argv;
  for (std::string& argument : arguments)
    argv.push_back(argument.data());
  return quillet::ParseAutomationSwitches(static_cast<int>(argv.size()), argv.data());
}

class AutomationSwitchesTest : public QObject {
  Q_OBJECT

 private slots:
  void switchesAreReadInAnyLetterCaseWithOneOrTwoDashes() {
    const quillet::AutomationSwitches none = Parse({});
    QVERIFY(!none.regServer && !none.unregServer && !none.automation);
    QVERIFY(!none.addImageUrl && !none.dataDir && !none.missingValue);

    QVERIFY(Parse({"--regserver"}).regServer);
    QVERIFY(Parse({"-RegServer"}).regServer);
    QVERIFY(Parse({"--UNREGSERVER"}).unregServer);
    QVERIFY(Parse({"--automation"}).automation);
    QVERIFY(Parse({"-Embedding"}).automation);
    // A word that only contains a switch's name is none.
    QVERIFY(!Parse({"regserver", "--regserverx", "---regserver"}).regServer);
  }

  void valuesFollowTheirSwitches() {
    struct Case {
      std::vector<std::string> arguments;
      std::optional<std::string> url, dataDir, missing;
    };
    const std::vector<Case> cases = {
        {{"--add-image-url", "http://a/b.png"}, "http://a/b.png", {}, {}},
        {{"--add-image-url=http://a/b.png?x=1"}, "http://a/b.png?x=1", {}, {}},
        {{"--data-dir", "/d", "--add-image-url", "--regserver"}, "--regserver", "/d", {}},
        {{"--data-dir=/my logos"}, {}, "/my logos", {}},
        {{"--add-image-url"}, {}, {}, "--add-image-url"},
        {{"--data-dir"}, {}, {}, "--data-dir"},
    };
    for (const Case& c : cases) {
      const quillet::AutomationSwitches switches = Parse(c.arguments);
      QCOMPARE(switches.addImageUrl, c.url);
      QCOMPARE(switches.dataDir, c.dataDir);
      QCOMPARE(switches.missingValue, c.missing);
    }
  }

  void anOrdinaryStartGoesOnToTheWindow() {
    int argc = 1;
    char name[] = "quillet";
    char* argv[] = {name, nullptr};
    QCOMPARE(quillet::RunAutomationSwitches(Parse({"--automation", "--data-dir", "/d"}), "/d/",
                                            argc, argv),
             std::nullopt);
    QCOMPARE(quillet::RunAutomationSwitches(Parse({"--data-dir"}), "/d/", argc, argv),
             std::nullopt);
    // An address that is missing ends the start with status 1.
    QCOMPARE(quillet::RunAutomationSwitches(Parse({"--add-image-url"}), "/d/", argc, argv),
             std::optional<int>(1));
  }
};

}  // namespace

QTEST_APPLESS_MAIN(AutomationSwitchesTest)
#include "AutomationSwitchesTest.moc"
