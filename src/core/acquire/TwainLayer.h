#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/acquire/SourceManager.h"
#include "core/acquire/TwainPlatform.h"
#include "core/acquire/TwainTypes.h"
#include "core/codecs/Bitmap.h"

namespace quillet {

// The layer's messages, each shown in a "TWAIN Error" box.
inline constexpr std::string_view kTwainErrorCaption = "TWAIN Error";
inline constexpr std::string_view kSelectInvalidWindowText =
    "TWAIN_SelectImageSource: window handle is invalid";
inline constexpr std::string_view kSelectNoProxyText =
    "TWAIN_SelectImageSource: Unable to create proxy window";
inline constexpr std::string_view kAcquireNoProxyText = "Unable to create proxy window";
inline constexpr std::string_view kLoadSourceManagerFailedText =
    "Unable to load Source Manager (TWAIN_32.DLL)";
inline constexpr std::string_view kOpenSourceManagerFailedText =
    "Unable to open Source Manager (TWAIN_32.DLL)";
inline constexpr std::string_view kLastErrorText = "TWAIN_ReportLastError: an error occurred";

// The TWAIN layer: selects a source and runs one acquisition through a
// Source Manager, knowing nothing of logos. It keeps the TWAIN states 1
// (nothing loaded) to 7 (transferring) and leaves every operation in state
// 1 again when the Source Manager and the source behave. One instance serves
// the whole program; everything runs on the thread of the windows, and the
// acquisition runs its own message loop.
class TwainLayer {
 public:
  TwainLayer(SourceManager& sourceManager, TwainPlatform& platform);
  ~TwainLayer();
  TwainLayer(const TwainLayer&) = delete;
  TwainLayer& operator=(const TwainLayer&) = delete;

  // Whether a Source Manager is installed; tried on the first call of the
  // run (loaded and unloaded at once) and the answer kept.
  bool TWAIN_SourceManagerPresent();
  // Lets the Source Manager show its source selection dialog; true when the
  // user chose a source. A null window gets a proxy window.
  bool TWAIN_SelectImageSource(WindowHandle window);
  // One acquisition from the default source, from opening the Source
  // Manager to closing it: the last image the source delivered, as a packed
  // DIB in a memory block the caller releases with TWAIN_ReleaseDib, or null.
  // `pixelTypes` 0 means any pixel type (nothing else is negotiated).
  TW_HANDLE TWAIN_AcquireToDib(WindowHandle window, unsigned pixelTypes);
  // The header's biWidth and biHeight (the height without the sign that
  // marks a top-down DIB); 0 for null or a block too short for a header.
  static int TWAIN_GetDibWidth(TW_HANDLE dib);
  static int TWAIN_GetDibHeight(TW_HANDLE dib);
  // Paints the DIB 1:1 at (0, 0) into `target`, which the caller has sized to
  // the DIB; what lies outside the target is left out. Throws PictureError
  // for a block that holds no valid DIB.
  static void TWAIN_PaintDib(TW_HANDLE dib, Bitmap& target);
  static void TWAIN_ReleaseDib(TW_HANDLE dib);
  void TWAIN_ReportLastError();

  // For tests and diagnostics.
  int State() const { return state_; }
  TW_UINT16 LastResult() const { return lastResult_; }
  const TW_IDENTITY& AppIdentity() const { return appId_; }
  const TW_IDENTITY& SourceIdentity() const { return sourceId_; }

 private:
  bool LoadSourceManager();
  void UnloadSourceManager();
  TW_UINT16 Call(TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                 TW_MEMREF data);
  bool OpenSourceManager();
  void CloseSourceManager();
  bool OpenDefaultSource();
  void CloseSource();
  bool EnableSource();
  void DisableSource();
  // Ends an unfinished transfer (state 7 or 6) so that the source is back
  // in state 5.
  void EndTransfers();
  void ModalLoop();
  bool MessageFilter(TwainMessage& message);
  void TransferImages();
  void ReplaceImage(TW_HANDLE image);
  void TearDown();
  void ShowMessage(std::string_view text);

  SourceManager& sourceManager_;
  TwainPlatform& platform_;
  int state_ = 1;
  bool entryLoaded_ = false;
  std::optional<bool> available_;
  TW_IDENTITY appId_{};
  TW_IDENTITY sourceId_{};
  TW_USERINTERFACE userInterface_{};
  TW_PENDINGXFERS pendingXfers_{};
  TW_UINT16 lastResult_ = TWRC_FAILURE;
  TW_HANDLE image_ = nullptr;
  WindowHandle window_ = nullptr;
  WindowHandle proxy_ = nullptr;
  bool running_ = false;  // a selection or acquisition is under way
};

}  // namespace quillet
