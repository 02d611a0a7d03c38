// The send-mail script with a real SMTP server (aiosmtpd) on 127.0.0.1.
#include <gtest/gtest.h>

#include "ServiceHarness.h"

namespace quillet::testing {
namespace {

using Lines = std::vector<std::string>;

ProgramForm SendForm(const std::string& login, const std::string& password,
                     const std::string& address, const std::string& comments,
                     const std::string& senderName) {
  ProgramForm form;
  form.AddText("login", login);
  form.AddText("password", password);
  form.AddText("address", address);
  form.AddText("comments", comments);
  form.AddText("sendername", senderName);
  return form;
}

// The text of a quoted-printable body.
std::string DecodeQuotedPrintable(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '=' && text.compare(i + 1, 2, "\r\n") == 0) {
      i += 2;
    } else if (text[i] == '=' && i + 2 < text.size()) {
      out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

class MailTest : public ::testing::Test {
 protected:
  MailTest() : service_({"--smtp", sink_.Url(), "--mail-from", "logos@quillet.test"}) {
    service_.AddUser("anna", "anna-pw-1");
  }
  Lines Send(const ProgramForm& form) {
    return PostProgramForm(service_.Port(), "/sendtofriend.php", form);
  }

  SmtpSink sink_;
  ServiceProcess service_;
};

TEST_F(MailTest, MemberSendsTheLinkWithComment) {
  EXPECT_EQ(Send(SendForm("anna", "anna-pw-1", "friend@example.org",
                          "Have a look!\r\nIt makes logos.", "")),
            (Lines{"SUCCESS"}));
  const std::vector<std::string> messages = sink_.Messages(1);
  ASSERT_EQ(messages.size(), 1u);
  const std::string& message = messages[0];
  EXPECT_NE(message.find("X-Envelope-From: logos@quillet.test\r\n"), std::string::npos) << message;
  EXPECT_NE(message.find("X-Envelope-To: friend@example.org\r\n"), std::string::npos);
  EXPECT_NE(message.find("\r\nTo: <friend@example.org>\r\n"), std::string::npos);
  EXPECT_NE(message.find("\r\nSubject: anna recommends Quillet\r\n"), std::string::npos);
  const std::string body = DecodeQuotedPrintable(message.substr(message.find("\r\n\r\n") + 4));
  EXPECT_NE(body.find("on behalf of\r\nanna.\r\n"), std::string::npos) << body;
  EXPECT_NE(body.find("Have a look!\r\nIt makes logos."), std::string::npos) << body;
  EXPECT_NE(body.find("http://" + service_.Host() + "/download"), std::string::npos) << body;
  // The page the link names is there.
  const HttpResponse download = Get(service_.Port(), "/download");
  EXPECT_EQ(download.status, 200);
  EXPECT_NE(download.body.find("1.1.3"), std::string::npos);
}

TEST_F(MailTest, GuestSignsWithTheNameTyped) {
  EXPECT_EQ(Send(SendForm("Guest", "guest", "friend@example.org", "Lovely", "Ren\xc3\xa9 Dupont")),
            (Lines{"SUCCESS"}));
  const std::vector<std::string> messages = sink_.Messages(1);
  ASSERT_EQ(messages.size(), 1u);
  const std::string body =
      DecodeQuotedPrintable(messages[0].substr(messages[0].find("\r\n\r\n") + 4));
  EXPECT_NE(body.find("on behalf of\r\nRen\xc3\xa9 Dupont.\r\n"), std::string::npos) << body;
  EXPECT_NE(body.find("Lovely"), std::string::npos);

  EXPECT_EQ(Send(SendForm("guest", "guest", "friend@example.org", "x", "")),
            (Lines{"ERROR", "Please give your name: it tells your friend who sends the link."}));
  EXPECT_EQ(sink_.Messages(2, std::chrono::milliseconds(300)).size(), 1u);
}

TEST_F(MailTest, RefusedAndMalformedRecipientsCouldNotBeSentTo) {
  const Lines couldNot{"MESSAGE", "COULD_NOT_SEND_MAIL"};
  EXPECT_EQ(Send(SendForm("anna", "anna-pw-1", "refused@example.org", "x", "")), couldNot);
  for (const std::string& address :
       std::vector<std::string>{"@.", "no-at-sign.example.org", "", "a@b@example.org",
                                "friend@example.org\r\nBcc: x@example.org"}) {
    EXPECT_EQ(Send(SendForm("anna", "anna-pw-1", address, "x", "")), couldNot) << address;
  }
  EXPECT_EQ(Send(SendForm("anna", "wrong", "friend@example.org", "x", "")),
            (Lines{"MESSAGE", "WRONG_LOGIN_OR_PASSWORD"}));
  EXPECT_EQ(Send(SendForm("nobody", "x", "friend@example.org", "x", "")),
            (Lines{"MESSAGE", "WRONG_LOGIN_OR_PASSWORD"}));
  EXPECT_TRUE(sink_.Messages(1, std::chrono::milliseconds(300)).empty());
}

TEST(MailWithoutRelay, SaysThatNoRelayIsSetUp) {
  ServiceProcess service;
  const Lines reply = PostProgramForm(service.Port(), "/sendtofriend.php",
                                      SendForm("guest", "guest", "friend@example.org", "", "Me"));
  EXPECT_EQ(reply, (Lines{"ERROR",
                          "This service has no mail relay set up, so it cannot send "
                          "mail. Its operator can give it one with --smtp."}));
}

TEST(MailWithoutRelay, ARelayThatIsDownIsAnErrorOfTheService) {
  int closedPort = 0;
  {
    SmtpSink gone;
    closedPort = gone.Port();
  }
  ServiceProcess service({"--smtp", "smtp://127.0.0.1:" + std::to_string(closedPort)});
  const Lines reply = PostProgramForm(service.Port(), "/sendtofriend.php",
                                      SendForm("guest", "guest", "friend@example.org", "", "Me"));
  EXPECT_EQ(reply, (Lines{"ERROR",
                          "The service could not hand the message to its mail relay. "
                          "Please try again later."}));
}

}  // namespace
}  // namespace quillet::testing
