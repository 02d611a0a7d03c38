#include "core/acquire/SaneSourceManager.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "core/platform/AtomicFile.h"

namespace quillet {

namespace {

constexpr std::string_view kDeviceKey = "device=";
constexpr std::string_view kVendorKey = "vendor=";
constexpr std::string_view kModelKey = "model=";

// The Id the Source Manager gives the application; sources get the next ones.
constexpr TW_UINT32 kApplicationId = 1;

}  // namespace

std::string ScannerChoicePath(const EnvironmentLookup& environment) {
  if (const auto config = environment("XDG_CONFIG_HOME"); config && !config->empty())
    return *config + "/Quillet/scanner";
  if (const auto home = environment("HOME"); home && !home->empty())
    return *home + "/.config/Quillet/scanner";
  return {};
}

std::optional<SaneDeviceInfo> ReadScannerChoice(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::string text;
  try {
    text = ReadWholeFile(path);
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
  SaneDeviceInfo device;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    for (const auto& [key, field] :
         {std::pair{kDeviceKey, &device.name}, std::pair{kVendorKey, &device.vendor},
          std::pair{kModelKey, &device.model}})
      if (line.substr(0, key.size()) == key) *field = std::string(line.substr(key.size()));
    start = end + 1;
  }
  if (device.name.empty()) return std::nullopt;
  return device;
}

void WriteScannerChoice(const std::string& path, const SaneDeviceInfo& device) {
  if (path.empty()) throw std::runtime_error("no configuration folder is known");
  const std::string_view name = device.name;
  if (name.empty() || name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    throw std::runtime_error("the scanner's name cannot be kept");
  // Maker and model are only shown; a line break in them would end the line.
  auto oneLine = [](std::string text) {
    for (char& c : text)
      if (c == '\r' || c == '\n') c = ' ';
    return text;
  };
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::filesystem::create_directories(folder, error);
  if (error) throw std::runtime_error(folder.string() + ": " + error.message());
  std::string text = "# The scanner Quillet opens, by its SANE device name.\n";
  text += std::string(kDeviceKey) + device.name + "\n";
  text += std::string(kVendorKey) + oneLine(device.vendor) + "\n";
  text += std::string(kModelKey) + oneLine(device.model) + "\n";
  WriteFileAtomically(path, text);
}

void SaneScanSession::Deliver(SanePicture picture) {
  if (closeRequested_) return;
  picture_ = std::move(picture);
  transferAnnounced_ = false;
}

void SaneScanSession::RequestClose() {
  closeRequested_ = true;
  picture_.reset();
}

std::optional<TW_UINT16> SaneScanSession::NextEvent() {
  if (closeRequested_) {
    if (closeAnnounced_) return std::nullopt;
    closeAnnounced_ = true;
    return MSG_CLOSEDSREQ;
  }
  if (picture_ && !transferAnnounced_) {
    transferAnnounced_ = true;
    return MSG_XFERREADY;
  }
  return std::nullopt;
}

std::optional<SanePicture> SaneScanSession::TakePicture() {
  std::optional<SanePicture> picture = std::move(picture_);
  picture_.reset();
  return picture;
}

SaneSourceManager::SaneSourceManager(SaneUi& ui, std::string choicePath, std::string libraryName)
    : ui_(ui), choicePath_(std::move(choicePath)), library_(std::move(libraryName)) {}

SaneSourceManager::~SaneSourceManager() {
  // The layer closes everything when it behaves; this is for a run that
  // ends in the middle.
  if (session_) ui_.CloseSourceWindow();
  session_.reset();
  device_.reset();
  if (open_) library_.Api().exit();
}

bool SaneSourceManager::Load() {
  return library_.Load();
}

void SaneSourceManager::Unload() {
  if (session_) ui_.CloseSourceWindow();
  session_.reset();
  device_.reset();
  if (open_) library_.Api().exit();
  open_ = false;
  sourceState_ = 0;
  library_.Unload();
}

TW_UINT16 SaneSourceManager::DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg,
                                       TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (!library_.Loaded() || origin == nullptr) return TWRC_FAILURE;
  if (destination != nullptr) {
    if (device_ == nullptr || destination->Id != sourceId_) return TWRC_FAILURE;
    return SourceCall(dg, dat, msg, data);
  }
  if (dg != DG_CONTROL) return TWRC_FAILURE;
  if (dat == DAT_PARENT && msg == MSG_OPENDSM) return OpenDsm(origin, data);
  if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) return CloseDsm();
  if (dat != DAT_IDENTITY || data == nullptr) return TWRC_FAILURE;
  auto* identity = static_cast<TW_IDENTITY*>(data);
  switch (msg) {
    case MSG_USERSELECT:
      return UserSelect(identity);
    case MSG_OPENDS:
      return OpenDs(identity);
    case MSG_CLOSEDS:
      return CloseDs(identity);
    default:
      return TWRC_FAILURE;
  }
}

TW_UINT16 SaneSourceManager::OpenDsm(TW_IDENTITY* origin, TW_MEMREF data) {
  if (open_) return TWRC_FAILURE;
  SANE_Int version = 0;
  if (library_.Api().init(&version, nullptr) != SANE_STATUS_GOOD) return TWRC_FAILURE;
  open_ = true;
  parent_ = data != nullptr ? *static_cast<WindowHandle*>(data) : nullptr;
  origin->Id = kApplicationId;
  return TWRC_SUCCESS;
}

TW_UINT16 SaneSourceManager::CloseDsm() {
  // Sources are closed first, as the standard orders.
  if (!open_ || device_ != nullptr) return TWRC_FAILURE;
  library_.Api().exit();
  open_ = false;
  return TWRC_SUCCESS;
}

TW_UINT16 SaneSourceManager::UserSelect(TW_IDENTITY* identity) {
  if (!open_) return TWRC_FAILURE;
  std::vector<SaneDeviceInfo> devices;
  ui_.RunWhileBusy(kLookingForScannersText, [&] { devices = ListSaneDevices(library_.Api()); });
  const auto remembered = ReadScannerChoice(choicePath_);
  const std::optional<std::string> chosen =
      ui_.SelectSource(devices, remembered ? remembered->name : std::string(), parent_);
  if (!chosen) return TWRC_CANCEL;
  SaneDeviceInfo device{*chosen, {}, {}, {}};
  for (const SaneDeviceInfo& listed : devices)
    if (listed.name == *chosen) device = listed;
  try {
    WriteScannerChoice(choicePath_, device);
  } catch (const std::runtime_error& error) {
    ui_.ReportProblem(std::string(kScannerChoiceNotSavedText) + error.what());
  }
  *identity = TW_IDENTITY{};
  SetTwainString(identity->Manufacturer, device.vendor);
  SetTwainString(identity->ProductFamily, device.model);
  SetTwainString(identity->ProductName, device.name);
  return TWRC_SUCCESS;
}

std::unique_ptr<SaneDevice> SaneSourceManager::Open(const SaneDeviceInfo& device) {
  SANE_Handle handle = nullptr;
  if (library_.Api().open(device.name.c_str(), &handle) != SANE_STATUS_GOOD || handle == nullptr)
    return nullptr;
  return std::make_unique<SaneDevice>(library_, handle, device);
}

std::unique_ptr<SaneDevice> SaneSourceManager::OpenAsked(const std::string& asked) {
  std::unique_ptr<SaneDevice> device;
  if (!asked.empty()) {
    // A product name holds 32 characters; SANE names can be longer.
    for (const SaneDeviceInfo& info : ListSaneDevices(library_.Api()))
      if (!device && info.name.substr(0, 32) == asked) device = Open(info);
    if (!device) device = Open(SaneDeviceInfo{asked, {}, {}, {}});
  } else {
    // The default source: the one chosen last, opened without a search for
    // devices (which takes seconds where network scanners are looked for);
    // else the first one found.
    const auto remembered = ReadScannerChoice(choicePath_);
    if (remembered) device = Open(*remembered);
    if (!device) {
      for (const SaneDeviceInfo& info : ListSaneDevices(library_.Api()))
        if (!device && (!remembered || info.name != remembered->name)) device = Open(info);
    }
  }
  return device;
}

TW_UINT16 SaneSourceManager::OpenDs(TW_IDENTITY* identity) {
  if (!open_ || device_ != nullptr) return TWRC_FAILURE;
  const std::string asked = TwainString(identity->ProductName);
  std::unique_ptr<SaneDevice> device;
  ui_.RunWhileBusy(kOpeningScannerText, [&] { device = OpenAsked(asked); });
  if (!device) return TWRC_FAILURE;
  device_ = std::move(device);
  sourceId_ = ++lastId_;
  sourceState_ = 4;
  FillIdentity(*identity);
  return TWRC_SUCCESS;
}

void SaneSourceManager::FillIdentity(TW_IDENTITY& identity) const {
  identity = TW_IDENTITY{};
  identity.Id = sourceId_;
  identity.Version.MajorNum = 1;
  identity.Version.Language = TWLG_USA;
  identity.Version.Country = TWCY_USA;
  SetTwainString(identity.Version.Info, "SANE");
  identity.ProtocolMajor = 1;
  identity.ProtocolMinor = 6;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  SetTwainString(identity.Manufacturer, device_->Info().vendor);
  SetTwainString(identity.ProductFamily, device_->Info().model);
  SetTwainString(identity.ProductName, device_->Info().name);
}

TW_UINT16 SaneSourceManager::CloseDs(TW_IDENTITY* identity) {
  if (device_ == nullptr || identity->Id != sourceId_ || sourceState_ != 4) return TWRC_FAILURE;
  device_.reset();
  sourceId_ = 0;
  sourceState_ = 0;
  return TWRC_SUCCESS;
}

TW_UINT16 SaneSourceManager::SourceCall(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                        TW_MEMREF data) {
  if (data == nullptr) return TWRC_FAILURE;
  if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_ENABLEDS)
    return EnableDs(static_cast<TW_USERINTERFACE*>(data));
  if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS) return DisableDs();
  if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT)
    return ProcessEvent(static_cast<TW_EVENT*>(data));
  if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET)
    return NativeTransfer(static_cast<TW_HANDLE*>(data));
  if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS)
    return PendingTransfers(msg, static_cast<TW_PENDINGXFERS*>(data));
  return TWRC_FAILURE;
}

TW_UINT16 SaneSourceManager::EnableDs(TW_USERINTERFACE* userInterface) {
  if (sourceState_ != 4) return TWRC_FAILURE;
  // The source always shows its window: scanning without it would take
  // settings the user never saw.
  session_ = std::make_unique<SaneScanSession>(*device_);
  if (!ui_.ShowSourceWindow(*session_, userInterface->hParent)) {
    session_.reset();
    return TWRC_FAILURE;
  }
  sourceState_ = 5;
  return TWRC_SUCCESS;
}

TW_UINT16 SaneSourceManager::DisableDs() {
  if (sourceState_ != 5) return TWRC_FAILURE;
  ui_.CloseSourceWindow();
  session_.reset();
  transfer_.reset();
  sourceState_ = 4;
  return TWRC_SUCCESS;
}

TW_UINT16 SaneSourceManager::ProcessEvent(TW_EVENT* event) {
  event->TWMessage = MSG_NULL;
  if (sourceState_ != 5 || session_ == nullptr) return TWRC_NOTDSEVENT;
  const std::optional<TW_UINT16> next = session_->NextEvent();
  if (!next) return TWRC_NOTDSEVENT;
  if (*next == MSG_XFERREADY) {
    transfer_ = session_->TakePicture();
    if (!transfer_) return TWRC_NOTDSEVENT;
    sourceState_ = 6;
  }
  event->TWMessage = *next;
  return TWRC_DSEVENT;
}

TW_UINT16 SaneSourceManager::NativeTransfer(TW_HANDLE* handle) {
  if (sourceState_ != 6 || !transfer_) return TWRC_FAILURE;
  TW_HANDLE block = PackedDibOfPicture(*transfer_);
  if (block == nullptr) {
    ui_.SourceStatus(kTransferFailedText);
    return TWRC_FAILURE;
  }
  *handle = block;
  transfer_.reset();
  sourceState_ = 7;
  return TWRC_XFERDONE;
}

TW_UINT16 SaneSourceManager::PendingTransfers(TW_UINT16 msg, TW_PENDINGXFERS* pending) {
  // One scan is one picture: nothing is pending after it.
  if ((msg == MSG_ENDXFER && (sourceState_ == 6 || sourceState_ == 7)) ||
      (msg == MSG_RESET && sourceState_ == 6)) {
    transfer_.reset();
    pending->Count = 0;
    sourceState_ = 5;
    return TWRC_SUCCESS;
  }
  return TWRC_FAILURE;
}

}  // namespace quillet
