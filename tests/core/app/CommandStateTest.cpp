#include <gtest/gtest.h>

#include "core/app/CommandState.h"

namespace quillet {
namespace {

CommandFacts Facts(NodeKind kind, std::string name = "", bool uploading = false) {
  CommandFacts facts;
  facts.kind = kind;
  facts.nodeName = std::move(name);
  facts.uploading = uploading;
  return facts;
}

TEST(CommandState, RootFolderAndLogoEnableTheirCommands) {
  struct Case {
    NodeKind kind;
    bool uploading;
    bool save, grab, upload, rename, remove, logoEdits, fit;
  } cases[] = {
      {NodeKind::Root, false, false, true, false, false, false, false, false},
      {NodeKind::Folder, false, false, true, false, true, true, false, false},
      {NodeKind::Logo, false, true, true, true, true, true, true, true},
      // An upload keeps Upload usable (it stops the upload) and Rename, and
      // locks everything that would change the logo under it.
      {NodeKind::Root, true, false, false, true, false, false, false, false},
      {NodeKind::Folder, true, false, false, true, true, false, false, false},
      {NodeKind::Logo, true, true, false, true, true, false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind) * 2 + c.uploading);
    CommandState state = ComputeCommandState(Facts(c.kind, "a.bmp", c.uploading));
    EXPECT_EQ(state.save, c.save);
    EXPECT_EQ(state.grab, c.grab);
    EXPECT_EQ(state.upload, c.upload);
    EXPECT_EQ(state.rename, c.rename);
    EXPECT_EQ(state.remove, c.remove);
    EXPECT_EQ(state.convert, c.logoEdits);
    EXPECT_EQ(state.mirror, c.logoEdits);
    EXPECT_EQ(state.rotate, c.logoEdits);
    EXPECT_EQ(state.properties, c.logoEdits);
    EXPECT_EQ(state.fitToPane, c.fit);
  }
}

TEST(CommandState, UploadGlyphFollowsEnabledStateAndUpload) {
  EXPECT_EQ(ComputeCommandState(Facts(NodeKind::Folder)).uploadGlyph, UploadGlyph::None);
  EXPECT_EQ(ComputeCommandState(Facts(NodeKind::Logo)).uploadGlyph, UploadGlyph::Upload);
  EXPECT_EQ(ComputeCommandState(Facts(NodeKind::Folder, "", true)).uploadGlyph,
            UploadGlyph::StopUpload);
}

TEST(CommandState, TwainAndSendFollowTheirFacts) {
  CommandFacts facts = Facts(NodeKind::Logo);
  EXPECT_FALSE(ComputeCommandState(facts).twain);
  EXPECT_TRUE(ComputeCommandState(facts).sendToFriend);
  facts.twainPresent = true;
  facts.sending = true;
  EXPECT_TRUE(ComputeCommandState(facts).twain);
  EXPECT_FALSE(ComputeCommandState(facts).sendToFriend);
}

TEST(CommandState, OwnFormatIsHiddenAmongConvertItems) {
  using Shown = std::array<bool, kConvertItemCount>;
  struct Case {
    const char* name;
    std::optional<LogoFormat> format;
    Shown shown;
  } cases[] = {
      {"x.bmp", LogoFormat::Bmp, {false, true, true, true}},
      {"x.jpeg", LogoFormat::Jpg, {true, false, true, true}},
      {"x.JPG", LogoFormat::Jpg, {true, false, true, true}},
      {"x.Gif", LogoFormat::Gif, {true, true, false, true}},
      {"x.png", LogoFormat::Png, {true, true, true, false}},
      {"x.tiff", std::nullopt, {true, true, true, true}},
      {"noextension", std::nullopt, {true, true, true, true}},
      {"archive.png.bak", std::nullopt, {true, true, true, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(OwnFormatOf(c.name), c.format);
    EXPECT_EQ(ComputeCommandState(Facts(NodeKind::Logo, c.name)).convertItemShown, c.shown);
  }
}

TEST(CommandState, PopupUploadCaptionTellsWhatTheItemDoes) {
  CommandFacts facts = Facts(NodeKind::Logo, "a.jpg");
  EXPECT_EQ(UploadPopupItem(facts).caption, "Upload");
  EXPECT_TRUE(UploadPopupItem(facts).enabled);
  facts.uploadUrl = "http://wap.example/?id=7";
  EXPECT_EQ(UploadPopupItem(facts).caption, "Upload again");
  facts.uploading = true;
  EXPECT_EQ(UploadPopupItem(facts).caption, "Stop upload");

  CommandFacts folder = Facts(NodeKind::Folder);
  EXPECT_FALSE(UploadPopupItem(folder).enabled);
  folder.uploading = true;
  EXPECT_TRUE(UploadPopupItem(folder).enabled);
}

}  // namespace
}  // namespace quillet
