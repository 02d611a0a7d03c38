#include "core/acquire/TwainLayer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <utility>

#include "core/codecs/Codecs.h"

namespace quillet {

namespace {

constexpr std::string_view kUnknown = "<?>";

std::int32_t ReadInt32(const std::uint8_t* p) {
  std::uint32_t value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                        (static_cast<std::uint32_t>(p[2]) << 16) |
                        (static_cast<std::uint32_t>(p[3]) << 24);
  return static_cast<std::int32_t>(value);
}

// biWidth and biHeight of a BITMAPINFOHEADER, or of the old 12-byte header
// with its 16-bit fields; nothing for a block too short to tell.
std::optional<std::pair<std::int32_t, std::int32_t>> DibSize(TW_HANDLE dib) {
  const std::span<const std::uint8_t> bytes = GlobalLockBlock(dib);
  if (bytes.size() < 12) return std::nullopt;
  const std::uint32_t headerSize = static_cast<std::uint32_t>(ReadInt32(bytes.data()));
  if (headerSize == 12)
    return std::pair<std::int32_t, std::int32_t>{bytes[4] | (bytes[5] << 8),
                                                 bytes[6] | (bytes[7] << 8)};
  return std::pair{ReadInt32(bytes.data() + 4), ReadInt32(bytes.data() + 8)};
}

}  // namespace

TwainLayer::TwainLayer(SourceManager& sourceManager, TwainPlatform& platform)
    : sourceManager_(sourceManager), platform_(platform) {
  appId_.Id = 0;
  appId_.Version.MajorNum = 1;
  appId_.Version.MinorNum = 0;
  appId_.Version.Language = TWLG_USA;
  appId_.Version.Country = TWCY_USA;
  SetTwainString(appId_.Version.Info, kUnknown);
  appId_.ProtocolMajor = 1;
  appId_.ProtocolMinor = 6;
  appId_.SupportedGroups = DG_CONTROL | DG_IMAGE;
  SetTwainString(appId_.Manufacturer, kUnknown);
  SetTwainString(appId_.ProductFamily, kUnknown);
  SetTwainString(appId_.ProductName, kUnknown);
}

TwainLayer::~TwainLayer() {
  // Only a Source Manager that refused to close leaves the library loaded.
  if (entryLoaded_) sourceManager_.Unload();
}

bool TwainLayer::LoadSourceManager() {
  if (state_ >= 2) return true;
  if (!sourceManager_.Load()) return false;
  entryLoaded_ = true;
  available_ = true;
  state_ = 2;
  return true;
}

void TwainLayer::UnloadSourceManager() {
  if (state_ != 2) return;
  sourceManager_.Unload();
  entryLoaded_ = false;
  state_ = 1;
}

TW_UINT16 TwainLayer::Call(TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                           TW_MEMREF data) {
  lastResult_ = entryLoaded_ ? sourceManager_.DSM_Entry(&appId_, destination, dg, dat, msg, data)
                             : TWRC_FAILURE;
  return lastResult_;
}

bool TwainLayer::TWAIN_SourceManagerPresent() {
  if (entryLoaded_) return true;
  if (!available_) {
    if (LoadSourceManager()) {
      UnloadSourceManager();
    } else {
      available_ = false;
    }
  }
  return *available_;
}

bool TwainLayer::OpenSourceManager() {
  if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window_) != TWRC_SUCCESS) return false;
  state_ = 3;
  return true;
}

void TwainLayer::CloseSourceManager() {
  // Also sent to a Source Manager that failed to open; its answer then
  // changes nothing.
  if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &window_) == TWRC_SUCCESS && state_ == 3)
    state_ = 2;
}

bool TwainLayer::OpenDefaultSource() {
  // Id 0 and no product name make the Source Manager open its default
  // source; it fills the record in.
  sourceId_.Id = 0;
  SetTwainString(sourceId_.ProductName, "");
  if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &sourceId_) != TWRC_SUCCESS) return false;
  state_ = 4;
  return true;
}

void TwainLayer::CloseSource() {
  if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &sourceId_) == TWRC_SUCCESS) state_ = 3;
}

bool TwainLayer::EnableSource() {
  userInterface_.ShowUI = TW_TRUE;
  userInterface_.ModalUI = TW_FALSE;
  userInterface_.hParent = window_;
  // TWRC_CHECKSTATUS only says that the source changed a setting.
  if (Call(&sourceId_, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &userInterface_) ==
      TWRC_FAILURE)
    return false;
  state_ = 5;
  return true;
}

void TwainLayer::DisableSource() {
  if (Call(&sourceId_, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &userInterface_) ==
      TWRC_SUCCESS)
    state_ = 4;
}

void TwainLayer::EndTransfers() {
  if (state_ == 7 &&
      Call(&sourceId_, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pendingXfers_) == TWRC_SUCCESS)
    state_ = pendingXfers_.Count != 0 ? 6 : 5;
  if (state_ == 6 &&
      Call(&sourceId_, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pendingXfers_) == TWRC_SUCCESS)
    state_ = 5;
}

void TwainLayer::ReplaceImage(TW_HANDLE image) {
  if (image_ != image) GlobalFreeBlock(image_);
  image_ = image;
}

void TwainLayer::TransferImages() {
  while (state_ == 6) {
    TW_HANDLE handle = nullptr;
    const TW_UINT16 result = Call(&sourceId_, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (result == TWRC_XFERDONE) {
      // Only the last image of the acquisition is kept.
      ReplaceImage(handle);
      state_ = 7;
    } else if (result == TWRC_CANCEL) {
      ReplaceImage(nullptr);
      state_ = 7;
    } else {
      ReplaceImage(nullptr);
      if (Call(&sourceId_, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pendingXfers_) == TWRC_SUCCESS)
        state_ = 5;
      return;
    }
    if (Call(&sourceId_, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pendingXfers_) == TWRC_SUCCESS)
      state_ = pendingXfers_.Count != 0 ? 6 : 5;
  }
}

bool TwainLayer::MessageFilter(TwainMessage& message) {
  if (state_ < 5) return false;
  TW_EVENT event{};
  event.pEvent = &message;
  event.TWMessage = MSG_NULL;
  const bool consumed =
      Call(&sourceId_, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT;
  switch (event.TWMessage) {
    case MSG_XFERREADY:
      state_ = 6;
      TransferImages();
      break;
    case MSG_CLOSEDSREQ:
      EndTransfers();
      if (state_ == 5) DisableSource();
      break;
    default:
      break;
  }
  return consumed;
}

void TwainLayer::ModalLoop() {
  while (state_ >= 5 && image_ == nullptr) {
    TwainMessage message;
    if (!platform_.GetMessage(message)) break;
    if (!MessageFilter(message)) platform_.TranslateAndDispatch(message);
  }
}

void TwainLayer::TearDown() {
  // A source whose transfer did not end cleanly is brought back to its
  // enabled state first, so that it can still be disabled and closed.
  EndTransfers();
  if (state_ == 5) DisableSource();
  if (state_ == 4) CloseSource();
  if (state_ <= 3) CloseSourceManager();
  UnloadSourceManager();
  if (proxy_ != nullptr) {
    platform_.DestroyWindow(proxy_);
    proxy_ = nullptr;
  }
}

bool TwainLayer::TWAIN_SelectImageSource(WindowHandle window) {
  if (running_) return false;
  running_ = true;
  proxy_ = nullptr;
  window_ = window;
  if (!platform_.IsWindow(window)) {
    if (window != nullptr) {
      ShowMessage(kSelectInvalidWindowText);
      running_ = false;
      return false;
    }
    proxy_ = platform_.CreateProxyWindow();
    if (proxy_ == nullptr || !platform_.IsWindow(proxy_)) {
      ShowMessage(kSelectNoProxyText);
      if (proxy_ != nullptr) platform_.DestroyWindow(proxy_);
      proxy_ = nullptr;
      running_ = false;
      return false;
    }
    window_ = proxy_;
  }

  bool chosen = false;
  if (!LoadSourceManager()) {
    ShowMessage(kLoadSourceManagerFailedText);
  } else if (!OpenSourceManager()) {
    ShowMessage(kOpenSourceManagerFailedText);
  } else {
    TW_IDENTITY choice{};
    chosen = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &choice) == TWRC_SUCCESS;
    CloseSourceManager();
  }
  UnloadSourceManager();
  if (proxy_ != nullptr) {
    platform_.DestroyWindow(proxy_);
    proxy_ = nullptr;
  }
  running_ = false;
  return chosen;
}

TW_HANDLE TwainLayer::TWAIN_AcquireToDib(WindowHandle window, unsigned pixelTypes) {
  // The acquisition window is disabled while the loop runs, which keeps a
  // second command away; this also holds when something else calls in.
  if (running_) return nullptr;
  running_ = true;
  image_ = nullptr;
  proxy_ = nullptr;
  window_ = window;
  if (!platform_.IsWindow(window_)) {
    proxy_ = platform_.CreateProxyWindow();
    window_ = proxy_;
  }

  if (!platform_.IsWindow(window_)) {
    ShowMessage(kAcquireNoProxyText);
  } else if (!LoadSourceManager()) {
    ShowMessage(kLoadSourceManagerFailedText);
  } else if (!OpenSourceManager()) {
    ShowMessage(kOpenSourceManagerFailedText);
  } else if (!OpenDefaultSource()) {
    TWAIN_ReportLastError();
  } else {
    // Pixel types 0 is any pixel type: nothing is negotiated, the source
    // only has to be open. The program passes nothing else.
    static_cast<void>(pixelTypes);
    if (!EnableSource()) {
      TWAIN_ReportLastError();
    } else {
      platform_.EnableWindow(window_, false);
      ModalLoop();
      platform_.EnableWindow(window_, true);
    }
  }
  TearDown();
  TW_HANDLE image = image_;
  image_ = nullptr;
  running_ = false;
  return image;
}

int TwainLayer::TWAIN_GetDibWidth(TW_HANDLE dib) {
  const auto size = DibSize(dib);
  return size ? size->first : 0;
}

int TwainLayer::TWAIN_GetDibHeight(TW_HANDLE dib) {
  const auto size = DibSize(dib);
  if (!size) return 0;
  // A negative height marks rows stored top-down; the picture is as high.
  return size->second == INT32_MIN ? 0 : std::abs(size->second);
}

void TwainLayer::TWAIN_PaintDib(TW_HANDLE dib, Bitmap& target) {
  if (dib == nullptr) return;
  const Bitmap picture = PaintPackedDib(GlobalLockBlock(dib));
  const int width = std::min(picture.Width(), target.Width());
  const int height = std::min(picture.Height(), target.Height());
  for (int y = 0; y < height; ++y)
    std::memcpy(target.Row(y), picture.Row(y), static_cast<std::size_t>(width) * 3);
}

void TwainLayer::TWAIN_ReleaseDib(TW_HANDLE dib) {
  GlobalFreeBlock(dib);
}

void TwainLayer::TWAIN_ReportLastError() {
  ShowMessage(kLastErrorText);
}

void TwainLayer::ShowMessage(std::string_view text) {
  platform_.MessageBox(text);
}

}  // namespace quillet
