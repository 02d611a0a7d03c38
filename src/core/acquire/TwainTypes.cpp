#include "core/acquire/TwainTypes.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace quillet {

void SetTwainString(TW_STR32& field, std::string_view text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min<std::size_t>(text.size(), 32));
}

std::string TwainString(const TW_STR32& field) {
  const char* end = static_cast<const char*>(std::memchr(field, 0, sizeof field));
  return std::string(field, end != nullptr ? end : field + sizeof field);
}

namespace {

std::string Hex(unsigned value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 12; shift >= 0; shift -= 4)
    text += digits[(value >> shift) & 0xF];
  return text;
}

const char* GroupName(TW_UINT32 dg) {
  switch (dg) {
    case DG_CONTROL:
      return "DG_CONTROL";
    case DG_IMAGE:
      return "DG_IMAGE";
    default:
      return nullptr;
  }
}

const char* DataName(TW_UINT16 dat) {
  switch (dat) {
    case DAT_NULL:
      return "DAT_NULL";
    case DAT_EVENT:
      return "DAT_EVENT";
    case DAT_IDENTITY:
      return "DAT_IDENTITY";
    case DAT_PARENT:
      return "DAT_PARENT";
    case DAT_PENDINGXFERS:
      return "DAT_PENDINGXFERS";
    case DAT_USERINTERFACE:
      return "DAT_USERINTERFACE";
    case DAT_IMAGENATIVEXFER:
      return "DAT_IMAGENATIVEXFER";
    default:
      return nullptr;
  }
}

const char* MessageName(TW_UINT16 msg) {
  switch (msg) {
    case MSG_NULL:
      return "MSG_NULL";
    case MSG_GET:
      return "MSG_GET";
    case MSG_RESET:
      return "MSG_RESET";
    case MSG_XFERREADY:
      return "MSG_XFERREADY";
    case MSG_CLOSEDSREQ:
      return "MSG_CLOSEDSREQ";
    case MSG_OPENDSM:
      return "MSG_OPENDSM";
    case MSG_CLOSEDSM:
      return "MSG_CLOSEDSM";
    case MSG_OPENDS:
      return "MSG_OPENDS";
    case MSG_CLOSEDS:
      return "MSG_CLOSEDS";
    case MSG_USERSELECT:
      return "MSG_USERSELECT";
    case MSG_DISABLEDS:
      return "MSG_DISABLEDS";
    case MSG_ENABLEDS:
      return "MSG_ENABLEDS";
    case MSG_PROCESSEVENT:
      return "MSG_PROCESSEVENT";
    case MSG_ENDXFER:
      return "MSG_ENDXFER";
    default:
      return nullptr;
  }
}

std::string NameOr(const char* name, unsigned value) {
  return name != nullptr ? std::string(name) : Hex(value);
}

// A block remembers its size in front of its bytes, as a global memory
// handle knows its own size.
constexpr std::size_t kBlockHeader = alignof(std::max_align_t) > sizeof(std::size_t)
                                         ? alignof(std::max_align_t)
                                         : sizeof(std::size_t);

std::atomic<std::size_t> blocksInUse{0};

}  // namespace

std::string TwainCallName(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  return NameOr(GroupName(dg), dg) + "/" + NameOr(DataName(dat), dat) + "/" +
         NameOr(MessageName(msg), msg);
}

std::string TwainMessageName(TW_UINT16 msg) {
  return NameOr(MessageName(msg), msg);
}

std::string TwainResultName(TW_UINT16 result) {
  switch (result) {
    case TWRC_SUCCESS:
      return "TWRC_SUCCESS";
    case TWRC_FAILURE:
      return "TWRC_FAILURE";
    case TWRC_CHECKSTATUS:
      return "TWRC_CHECKSTATUS";
    case TWRC_CANCEL:
      return "TWRC_CANCEL";
    case TWRC_DSEVENT:
      return "TWRC_DSEVENT";
    case TWRC_NOTDSEVENT:
      return "TWRC_NOTDSEVENT";
    case TWRC_XFERDONE:
      return "TWRC_XFERDONE";
    default:
      return Hex(result);
  }
}

TW_HANDLE GlobalAllocBlock(std::size_t size) {
  if (size > static_cast<std::size_t>(-1) - kBlockHeader) return nullptr;
  void* memory = std::calloc(1, kBlockHeader + std::max<std::size_t>(size, 1));
  if (memory == nullptr) return nullptr;
  std::memcpy(memory, &size, sizeof size);
  ++blocksInUse;
  return memory;
}

std::span<std::uint8_t> GlobalLockBlock(TW_HANDLE block) {
  if (block == nullptr) return {};
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  return {static_cast<std::uint8_t*>(block) + kBlockHeader, size};
}

void GlobalFreeBlock(TW_HANDLE block) {
  if (block == nullptr) return;
  std::free(block);
  --blocksInUse;
}

std::size_t GlobalBlocksInUse() {
  return blocksInUse.load();
}

}  // namespace quillet
