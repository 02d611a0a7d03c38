// The form reader, the limiter and the other pure parts of the service.
#include <gtest/gtest.h>

#include <set>

#include "ServiceHarness.h"
#include "tools/service/Forms.h"
#include "tools/service/Limiter.h"
#include "tools/service/Mail.h"
#include "tools/service/Service.h"

namespace quillet::service {
namespace {

using testing::ProgramForm;

constexpr const char* kProgramAgent = "Mozilla/3.0 (compatible; Indy Library)";

// A body as curl -F and browsers write it (RFC 7578): no extra line before
// the closing delimiter.
std::string StandardBody(const std::string& boundary,
                         const std::vector<std::pair<std::string, std::string>>& texts,
                         const std::string& fileName, const std::string& bytes) {
  std::string body;
  for (const auto& [name, value] : texts)
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
            value + "\r\n";
  body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"logofile\"; filename=\"" +
          fileName + "\"\r\nContent-Type: image/png\r\n\r\n" + bytes + "\r\n--" + boundary +
          "--\r\n";
  return body;
}

TEST(ProgramLayout, IsToldByBoundaryAndUserAgent) {
  struct Case {
    const char* boundary;
    const char* agent;
    bool program;
  };
  const Case cases[] = {
      {"--------121024153045123", kProgramAgent, true},
      {"--------121024153045123", "curl/7.88.1", false},
      {"------------------------d74496d66958873e", kProgramAgent, false},
      {"--------12102415304512", kProgramAgent, false},   // fourteen digits
      {"-------1121024153045123", kProgramAgent, false},  // seven hyphens
      {"--------12102415304512x", kProgramAgent, false},
      {"--------121024153045123", "Mozilla/3.0 (compatible; Indy Library) ", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsProgramLayout(c.boundary, c.agent), c.program) << c.boundary << " / " << c.agent;
}

TEST(MultipartForm, ReadsEveryFieldOfTheProgramExactly) {
  // File contents that end in CR LF, begin with one, or hold text that looks
  // like a delimiter must all come back byte for byte.
  const std::string contents[] = {
      std::string("\x89PNG\r\n\x1a\n\0\0binary", 16),
      "ends in a line break\r\n",
      "ends in two\r\n\r\n",
      "\r\nbegins with one",
      "holds --------121024153045123 without a line break before it",
      "",
  };
  for (const std::string& bytes : contents) {
    ProgramForm form;
    form.AddText("login", "anna");
    form.AddText("password", "p\"w;d");
    form.AddText("fakefield", "qqq");
    form.AddFile("logofile", "C:\\Program Files\\Quillet\\Temp\\sunset.jpg", bytes);
    ASSERT_TRUE(IsProgramLayout(form.Boundary(), kProgramAgent));
    const std::string body = form.Body();
    const ParsedForm parsed = ParseMultipart(body, form.Boundary(), true, FormLimits{});
    ASSERT_EQ(parsed.error, FormError::None);
    ASSERT_EQ(parsed.parts.size(), 4u);
    EXPECT_EQ(parsed.Text("login"), "anna");
    EXPECT_EQ(parsed.Text("password"), "p\"w;d");
    EXPECT_EQ(parsed.Text("fakefield"), "qqq");
    const FormPart* file = parsed.Find("logofile");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->value, bytes);
    EXPECT_EQ(file->fileName.value_or(""), "C:\\Program Files\\Quillet\\Temp\\sunset.jpg");
    EXPECT_EQ(file->contentType, "image/unknown");

    // Read as a standard body, the same bytes gain the program's extra line.
    const ParsedForm plain = ParseMultipart(body, form.Boundary(), false, FormLimits{});
    ASSERT_EQ(plain.error, FormError::None);
    EXPECT_EQ(plain.Find("logofile")->value, bytes + "\r\n");
  }
}

TEST(MultipartForm, LastTextFieldOfTheProgramMayBeEmpty) {
  ProgramForm form;
  form.AddText("login", "guest");
  form.AddText("comments", "line one\r\nline two");
  form.AddText("sendername", "");
  const std::string body = form.Body();
  const ParsedForm parsed = ParseMultipart(body, form.Boundary(), true, FormLimits{});
  ASSERT_EQ(parsed.error, FormError::None);
  EXPECT_EQ(parsed.Text("comments"), "line one\r\nline two");
  ASSERT_NE(parsed.Find("sendername"), nullptr);
  EXPECT_EQ(parsed.Text("sendername"), "");
}

TEST(MultipartForm, ReadsAStandardClientsFileExactly) {
  const std::string boundary = "------------------------d74496d66958873e";
  for (const std::string& bytes : {std::string("plain"), std::string("ends in CR LF\r\n"),
                                   std::string("\r\n"), std::string()}) {
    const std::string body =
        "preamble to be ignored\r\n" +
        StandardBody(boundary, {{"login", "guest"}, {"password", "guest"}}, "a.png", bytes);
    const ParsedForm parsed = ParseMultipart(body, boundary, false, FormLimits{});
    ASSERT_EQ(parsed.error, FormError::None);
    EXPECT_EQ(parsed.Text("login"), "guest");
    EXPECT_EQ(parsed.Find("logofile")->value, bytes);
    EXPECT_EQ(parsed.Find("logofile")->fileName.value_or("?"), "a.png");
  }
}

TEST(MultipartForm, RefusesBrokenAndOversizedBodies) {
  const std::string b = "XyZ";
  auto text = [&](const std::string& name, const std::string& value) {
    return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
           "\r\n";
  };
  FormLimits small;
  small.maxParts = 3;
  small.maxTextBytes = 8;
  small.maxFileBytes = 10;
  struct Case {
    std::string body;
    FormError error;
  };
  const std::string file10 =
      "--" + b + "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"x\"\r\n\r\n0123456789";
  const Case cases[] = {
      {text("a", "1"), FormError::Malformed},                   // never closed
      {text("a", "1") + "--" + b + "-", FormError::Malformed},  // half a close
      {"no delimiter at all", FormError::Malformed},
      {"--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n" + std::string(3000, 'x'),
       FormError::Malformed},  // head without end
      {text("a", "1") + text("b", "2") + text("c", "3") + text("d", "4") + "--" + b + "--",
       FormError::TooManyParts},
      {text("a", "123456789") + "--" + b + "--", FormError::FieldTooLarge},
      {text("a", "12345678") + "--" + b + "--", FormError::None},
      {file10 + "\r\n--" + b + "--", FormError::None},
      {file10 + "X\r\n--" + b + "--", FormError::FileTooLarge},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseMultipart(c.body, b, false, small).error, c.error) << c.body.substr(0, 80);
}

TEST(MultipartForm, ReadsDispositionParameters) {
  const std::string b = "q";
  const std::string body =
      "--q\r\ncontent-disposition: FORM-DATA; filename=\"we;ird.png\"; name=\"logofile\"\r\n"
      "Content-Type: image/png\r\n\r\nbytes\r\n"
      "--q\r\nContent-Disposition: form-data; name=login\r\n\r\nbob\r\n"
      "--q\r\nContent-Disposition: attachment; name=\"skipped\"\r\n\r\nx\r\n"
      "--q\r\nContent-Disposition: form-data\r\n\r\nno name\r\n"
      "--q--\r\nepilogue";
  const ParsedForm parsed = ParseMultipart(body, b, false, FormLimits{});
  ASSERT_EQ(parsed.error, FormError::None);
  ASSERT_EQ(parsed.parts.size(), 2u);
  EXPECT_EQ(parsed.parts[0].name, "logofile");
  EXPECT_EQ(parsed.parts[0].fileName.value_or(""), "we;ird.png");
  EXPECT_EQ(parsed.parts[0].contentType, "image/png");
  EXPECT_EQ(parsed.Text("login"), "bob");
  EXPECT_FALSE(parsed.parts[1].fileName.has_value());
}

TEST(MultipartForm, BoundaryComesFromTheContentType) {
  struct Case {
    const char* type;
    const char* boundary;  // nullptr: none
  };
  const Case cases[] = {
      {"multipart/form-data; boundary=--------121024153045123", "--------121024153045123"},
      {"Multipart/Form-Data; charset=x; boundary=\"a b;c\"", "a b;c"},
      {"multipart/mixed; boundary=abc", nullptr},
      {"multipart/form-data", nullptr},
      {"multipart/form-data; boundary=", nullptr},
      {"text/plain; boundary=abc", nullptr},
  };
  for (const Case& c : cases) {
    const auto boundary = MultipartBoundary(c.type);
    if (c.boundary == nullptr) {
      EXPECT_FALSE(boundary.has_value()) << c.type;
    } else {
      EXPECT_EQ(boundary.value_or("?"), c.boundary) << c.type;
    }
  }
  EXPECT_FALSE(MultipartBoundary("multipart/form-data; boundary=" + std::string(71, 'a')));
}

TEST(UrlEncodedForm, DecodesNamesAndValues) {
  const ParsedForm parsed =
      ParseUrlEncoded("login=a%20b+c&password=%E2%82%AC%zz&&empty=&bare", FormLimits{});
  ASSERT_EQ(parsed.error, FormError::None);
  EXPECT_EQ(parsed.Text("login"), "a b c");
  EXPECT_EQ(parsed.Text("password"), "\xE2\x82\xAC%zz");
  ASSERT_NE(parsed.Find("empty"), nullptr);
  ASSERT_NE(parsed.Find("bare"), nullptr);
  EXPECT_EQ(parsed.Text("bare"), "");
}

TEST(EventLimiter, AllowsSoManyEventsInTheWindow) {
  EventLimiter limiter(3, std::chrono::seconds(60));
  const auto start = EventLimiter::Clock::now();
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(limiter.Allows("a", start));
    limiter.Record("a", start + std::chrono::seconds(i));
  }
  EXPECT_FALSE(limiter.Allows("a", start + std::chrono::seconds(10)));
  EXPECT_TRUE(limiter.Allows("b", start + std::chrono::seconds(10)));
  // The first event ages out a minute after it happened.
  EXPECT_FALSE(limiter.Allows("a", start + std::chrono::seconds(59)));
  EXPECT_TRUE(limiter.Allows("a", start + std::chrono::seconds(60)));
}

TEST(EventLimiter, StaysBoundedWithManyKeys) {
  EventLimiter limiter(1, std::chrono::seconds(60), 4);
  const auto now = EventLimiter::Clock::now();
  for (int i = 0; i < 100; ++i)
    limiter.Record("key" + std::to_string(i), now);
  // The latest keys are still remembered, the first were let go.
  EXPECT_FALSE(limiter.Allows("key99", now));
  EXPECT_TRUE(limiter.Allows("key0", now));
}

TEST(MailAddress, OnlyPlainMailboxesGoToTheRelay) {
  struct Case {
    const char* address;
    bool plausible;
  };
  const Case cases[] = {
      {"anna@example.org", true},
      {"a.b+c@mail.example.co.uk", true},
      {"@.", false},
      {"anna@example", false},
      {"anna.example.org", false},
      {"", false},
      {"a@b@example.org", false},
      {"anna@example.org>\r\nRCPT TO:<x@y.z", false},
      {"anna@example.org, bob@example.org", false},
      {"<anna@example.org>", false},
      {"anna@.example.org", false},
      {"anna@example..org", false},
      {"anna@example.org.", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsPlausibleMailAddress(c.address), c.plausible) << c.address;
}

TEST(Recommendation, KeepsTypedTextOutOfTheHeaders) {
  MailRelay relay;
  relay.from = "service@example.org";
  const std::string message =
      ComposeRecommendation(relay, "friend@example.org", "Eve\r\nBcc: victim@example.org",
                            "Hi\nthere\r\n.\r\nlast", "http://192.168.1.5:8711/download", 0);
  const std::string headers = message.substr(0, message.find("\r\n\r\n"));
  EXPECT_EQ(headers.find("\r\nBcc:"), std::string::npos) << headers;
  EXPECT_NE(headers.find("Subject: Eve  Bcc: victim@example.org recommends Quillet"),
            std::string::npos)
      << headers;
  EXPECT_NE(message.find("http://192.168.1.5:8711/download"), std::string::npos);
  EXPECT_NE(message.find("Hi\r\nthere\r\n.\r\nlast"), std::string::npos);
  EXPECT_NE(headers.find("Date: Thu, 01 Jan 1970 00:00:00 +0000"), std::string::npos);
}

TEST(Recommendation, ReadsLatin1AndEncodesTheSubject) {
  EXPECT_EQ(ToUtf8("caf\xe9"), "caf\xc3\xa9");
  EXPECT_EQ(ToUtf8("caf\xc3\xa9"), "caf\xc3\xa9");
  MailRelay relay;
  relay.from = "service@example.org";
  const std::string message =
      ComposeRecommendation(relay, "friend@example.org", "Ren\xe9", "", "http://h/download", 0);
  EXPECT_NE(message.find("Subject: =?UTF-8?B?"), std::string::npos);
  EXPECT_NE(message.find("Ren=C3=A9"), std::string::npos);
}

TEST(PictureId, IsLongRandomAndUrlSafe) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    const std::string id = NewPictureId();
    EXPECT_TRUE(IsPictureId(id)) << id;
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 1000u);
  EXPECT_FALSE(IsPictureId("short"));
  EXPECT_FALSE(IsPictureId("aaaaaaaaaaaaaaaaaaaa/."));
  EXPECT_FALSE(IsPictureId("aaaaaaaaaaaaaaaaaaaaaaa"));
}

TEST(AccountName, TakesPlainNamesButNotTheGuests) {
  struct Case {
    const char* name;
    bool valid;
  };
  const Case cases[] = {{"anna", true},
                        {"A.b-c_9", true},
                        {"guest", false},
                        {"GUEST", false},
                        {"", false},
                        {".anna", false},
                        {"a b", false},
                        {"../etc", false},
                        {"anna\xc3\xa9", false},
                        {"abcdefghijklmnopqrstuvwxyz012345", true},
                        {"abcdefghijklmnopqrstuvwxyz0123456", false}};
  for (const Case& c : cases)
    EXPECT_EQ(IsValidNewAccountName(c.name), c.valid) << c.name;
}

}  // namespace
}  // namespace quillet::service
