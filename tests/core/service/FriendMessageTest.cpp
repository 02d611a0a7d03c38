#include "core/service/FriendMessage.h"
#include "core/service/UploadAddress.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(FriendMessage, RecommendationHasFourteenLinesWithTheRootUrl) {
  const std::vector<std::string> lines = RecommendationLines("http://wap.example.org/");
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Hello!");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[4], "<<YOUR NAME WILL BE HERE>>.");
  EXPECT_EQ(lines[5], "We want to introduce you \"Quillet\" - application ");
  EXPECT_EQ(lines[11], "You can download it at address http://wap.example.org/");
  EXPECT_EQ(lines[12], "");
  EXPECT_EQ(lines[13], "With best regards from \"Quillet\" developers!");
  // Exactly lines 4, 6, 7, 8 and 10 end in a blank.
  std::vector<int> blankEnded;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].empty() && lines[i].back() == ' ') blankEnded.push_back(static_cast<int>(i) + 1);
  EXPECT_EQ(blankEnded, (std::vector<int>{4, 6, 7, 8, 10}));
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find("  "), std::string::npos) << line;
  }
}

TEST(FriendMessage, RootUrl) {
  EXPECT_EQ(RootUrlOf("wap.example.org"), "http://wap.example.org/");
  EXPECT_EQ(RootUrlOf("127.0.0.1:8080"), "http://127.0.0.1:8080/");
}

TEST(FriendMessage, RecipientAddressCheck) {
  struct Case {
    const char* address;
    bool valid;
  };
  const Case cases[] = {
      {"ann@example.org", true},
      {"ann.smith@example", false},  // the only dot stands before the at sign
      {"@.", true},
      {"a@b.", true},
      {"ann.example.org", false},  // no at sign
      {"", false},
      {"@", false},
      {"ann@", false},
      {"a@b@c.d", true},  // the dot only has to follow the first at sign
      {"a.b@c", false},
      {"a@.b", true},
      {" @ . ", true},  // the service, not the dialog, judges the rest
  };
  for (const Case& c : cases)
    EXPECT_EQ(RecipientAddressLooksValid(c.address), c.valid) << "'" << c.address << "'";
}

TEST(FriendMessage, CommentLinesAreJoinedByCrLf) {
  EXPECT_EQ(JoinCommentLines({}), "");
  EXPECT_EQ(JoinCommentLines({""}), "");
  EXPECT_EQ(JoinCommentLines({"one"}), "one");
  EXPECT_EQ(JoinCommentLines({"one", "two", "", "four"}), "one\r\ntwo\r\n\r\nfour");
  EXPECT_EQ(JoinCommentLines({"ends in a break", ""}), "ends in a break\r\n");
}

TEST(FriendMessage, GuestLogin) {
  EXPECT_TRUE(IsGuestLogin("guest"));
  EXPECT_TRUE(IsGuestLogin("Guest"));
  EXPECT_TRUE(IsGuestLogin("GUEST"));
  EXPECT_FALSE(IsGuestLogin("guest "));
  EXPECT_FALSE(IsGuestLogin("guests"));
  EXPECT_FALSE(IsGuestLogin(""));
}

}  // namespace
}  // namespace quillet
