#include "core/service/Credentials.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillet {
namespace {

using Answer = std::optional<Credentials>;

// A prompt that answers from a script and records what it was shown, and the
// options as each save found them.
struct Script {
  explicit Script(std::vector<Answer> answers) : answers(answers.begin(), answers.end()) {}

  std::deque<Answer> answers;
  std::vector<Credentials> shown;
  std::vector<Options> saved;

  CredentialDialog Dialog() {
    return [this](const Credentials& current) -> Answer {
      shown.push_back(current);
      if (answers.empty()) {
        ADD_FAILURE() << "asked more often than scripted";
        return std::nullopt;
      }
      Answer answer = answers.front();
      answers.pop_front();
      return answer;
    };
  }
};

Options ServiceLogin(std::string login, std::string password) {
  Options options;
  options.login = std::move(login);
  options.password = std::move(password);
  return options;
}

TEST(Credentials, ServiceLoginLoop) {
  struct Case {
    const char* name;
    Credentials stored;
    std::vector<Answer> answers;
    bool result;
    std::vector<Credentials> shown;
    std::vector<Credentials> saves;  // the login in the options at each save
    Credentials after;
  };
  const Credentials none;
  const Case cases[] = {
      {"both present: no prompt", {"ann", "pw"}, {}, true, {}, {}, {"ann", "pw"}},
      {"both typed at once",
       {},
       {Credentials{"ann", "pw"}},
       true,
       {none},
       {{"ann", "pw"}},
       {"ann", "pw"}},
      {"cancel at once: nothing saved",
       {"ann", ""},
       {std::nullopt},
       false,
       {{"ann", ""}},
       {},
       {"ann", ""}},
      {"OK with an empty password saves the login and asks again",
       {},
       {Credentials{"ann", ""}, Credentials{"ann", "pw"}},
       true,
       {none, {"ann", ""}},
       {{"ann", ""}, {"ann", "pw"}},
       {"ann", "pw"}},
      {"cancel keeps what earlier OKs saved",
       {"", "old"},
       {Credentials{"ann", ""}, std::nullopt},
       false,
       {{"", "old"}, {"ann", ""}},
       {{"ann", ""}},
       {"ann", ""}},
      {"OK with both emptied asks again with empty fields",
       {"ann", ""},
       {Credentials{"", ""}, Credentials{"bob", "x"}},
       true,
       {{"ann", ""}, none},
       {none, {"bob", "x"}},
       {"bob", "x"}},
      {"only the password missing",
       {"", "pw"},
       {Credentials{"ann", "pw"}},
       true,
       {{"", "pw"}},
       {{"ann", "pw"}},
       {"ann", "pw"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options options = ServiceLogin(c.stored.name, c.stored.password);
    options.proxylogin = "untouched";
    Script script(c.answers);
    const bool result =
        EnsureServiceLogin(options, script.Dialog(), [&] { script.saved.push_back(options); });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(script.shown, c.shown);
    std::vector<Credentials> saves;
    for (const Options& saved : script.saved)
      saves.push_back({saved.login, saved.password});
    EXPECT_EQ(saves, c.saves);
    EXPECT_EQ(Credentials(options.login, options.password), c.after);
    EXPECT_EQ(options.proxylogin, "untouched");
    EXPECT_TRUE(script.answers.empty()) << "not every scripted answer was asked for";
  }
}

// The proxy settings under which a proxy user is needed, and the ones under
// which the request goes out without asking.
TEST(Credentials, ProxyLoginIsNeededOnlyForAnAuthenticatingProxyInUse) {
  struct Case {
    const char* name;
    ProxySource source;
    const char* host;
    const char* port;
    bool authentication;
    const char* user;
    const char* password;
    bool needed;
  };
  const Case cases[] = {
      {"manual, authenticating, no user", ProxySource::Manual, "gate", "8080", true, "", "", true},
      {"system proxy with authentication stored on", ProxySource::System, "gate", "3128", true, "u",
       "", true},
      {"password but no user", ProxySource::Manual, "gate", "8080", true, "", "pw", true},
      {"user and password present", ProxySource::Manual, "gate", "8080", true, "u", "pw", false},
      {"authentication off", ProxySource::Manual, "gate", "8080", false, "", "", false},
      {"no proxy", ProxySource::NoProxy, "gate", "8080", true, "", "", false},
      {"manual without port: direct", ProxySource::Manual, "gate", "", true, "", "", false},
      {"manual without host: direct", ProxySource::Manual, "", "8080", true, "", "", false},
      {"system without proxy: direct", ProxySource::System, "", "", true, "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options options;
    options.proxysource = c.source;
    options.proxyhost = c.host;
    options.proxyport = c.port;
    options.proxyauthentication = c.authentication;
    options.proxylogin = c.user;
    options.proxypassword = c.password;
    EXPECT_EQ(ProxyLoginNeeded(options), c.needed);

    // Where it is not needed the loop asks nothing and lets the request go.
    Script script(c.needed ? std::vector<Answer>{std::nullopt} : std::vector<Answer>{});
    int saves = 0;
    EXPECT_EQ(EnsureProxyLogin(options, script.Dialog(), [&] { ++saves; }), !c.needed);
    EXPECT_EQ(script.shown.size(), c.needed ? 1u : 0u);
    if (c.needed) {
      EXPECT_EQ(script.shown[0], Credentials(c.user, c.password));
    }
    EXPECT_EQ(saves, 0);
  }
}

TEST(Credentials, ProxyLoginLoop) {
  Options options;
  options.proxysource = ProxySource::Manual;
  options.proxyhost = "gate";
  options.proxyport = "8080";
  options.proxyauthentication = true;
  options.login = "ann";
  options.password = "pw";
  Script script({Credentials{"", "secret"}, Credentials{"proxyuser", "secret"}});
  std::vector<Credentials> saves;
  EXPECT_TRUE(EnsureProxyLogin(options, script.Dialog(), [&] {
    saves.push_back({options.proxylogin, options.proxypassword});
  }));
  EXPECT_EQ(script.shown, (std::vector<Credentials>{{"", ""}, {"", "secret"}}));
  EXPECT_EQ(saves, (std::vector<Credentials>{{"", "secret"}, {"proxyuser", "secret"}}));
  EXPECT_EQ(options.proxylogin, "proxyuser");
  EXPECT_EQ(options.proxypassword, "secret");
  // The service login is another matter.
  EXPECT_EQ(options.login, "ann");
  EXPECT_EQ(options.password, "pw");
  EXPECT_FALSE(ProxyLoginNeeded(options));
}

TEST(Credentials, ServiceLoginNeededWhenEitherFieldIsEmpty) {
  EXPECT_TRUE(ServiceLoginNeeded(ServiceLogin("", "")));
  EXPECT_TRUE(ServiceLoginNeeded(ServiceLogin("ann", "")));
  EXPECT_TRUE(ServiceLoginNeeded(ServiceLogin("", "pw")));
  EXPECT_FALSE(ServiceLoginNeeded(ServiceLogin("ann", "pw")));
  // A blank is text: the service decides whether it is a valid password.
  EXPECT_FALSE(ServiceLoginNeeded(ServiceLogin("guest", " ")));
}

}  // namespace
}  // namespace quillet
