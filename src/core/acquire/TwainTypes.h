#pragma once

// The TWAIN records and constants the scanner layer exchanges with a Source
// Manager, laid out as the TWAIN standard lays them out (two-byte packing), so
// that a TW_IDENTITY is the standard's 156-byte record.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillet {

using TW_UINT16 = std::uint16_t;
using TW_UINT32 = std::uint32_t;
using TW_INT16 = std::int16_t;
using TW_BOOL = std::uint16_t;
using TW_HANDLE = void*;
using TW_MEMREF = void*;
// 32 characters and the terminating zero, padded to an even size.
using TW_STR32 = char[34];

inline constexpr TW_BOOL TW_TRUE = 1;
inline constexpr TW_BOOL TW_FALSE = 0;

// Data groups.
inline constexpr TW_UINT32 DG_CONTROL = 1;
inline constexpr TW_UINT32 DG_IMAGE = 2;

// Data argument types.
inline constexpr TW_UINT16 DAT_NULL = 0;
inline constexpr TW_UINT16 DAT_EVENT = 2;
inline constexpr TW_UINT16 DAT_IDENTITY = 3;
inline constexpr TW_UINT16 DAT_PARENT = 4;
inline constexpr TW_UINT16 DAT_PENDINGXFERS = 5;
inline constexpr TW_UINT16 DAT_USERINTERFACE = 9;
inline constexpr TW_UINT16 DAT_IMAGENATIVEXFER = 0x0104;

// Messages.
inline constexpr TW_UINT16 MSG_NULL = 0;
inline constexpr TW_UINT16 MSG_GET = 1;
inline constexpr TW_UINT16 MSG_RESET = 7;
inline constexpr TW_UINT16 MSG_XFERREADY = 0x0101;
inline constexpr TW_UINT16 MSG_CLOSEDSREQ = 0x0102;
inline constexpr TW_UINT16 MSG_OPENDSM = 0x0301;
inline constexpr TW_UINT16 MSG_CLOSEDSM = 0x0302;
inline constexpr TW_UINT16 MSG_OPENDS = 0x0401;
inline constexpr TW_UINT16 MSG_CLOSEDS = 0x0402;
inline constexpr TW_UINT16 MSG_USERSELECT = 0x0403;
inline constexpr TW_UINT16 MSG_DISABLEDS = 0x0501;
inline constexpr TW_UINT16 MSG_ENABLEDS = 0x0502;
inline constexpr TW_UINT16 MSG_PROCESSEVENT = 0x0601;
inline constexpr TW_UINT16 MSG_ENDXFER = 0x0701;

// Return codes.
inline constexpr TW_UINT16 TWRC_SUCCESS = 0;
inline constexpr TW_UINT16 TWRC_FAILURE = 1;
inline constexpr TW_UINT16 TWRC_CHECKSTATUS = 2;
inline constexpr TW_UINT16 TWRC_CANCEL = 3;
inline constexpr TW_UINT16 TWRC_DSEVENT = 4;
inline constexpr TW_UINT16 TWRC_NOTDSEVENT = 5;
inline constexpr TW_UINT16 TWRC_XFERDONE = 6;

inline constexpr TW_UINT16 TWLG_USA = 13;
inline constexpr TW_UINT16 TWCY_USA = 1;

#pragma pack(push, 2)

struct TW_VERSION {
  TW_UINT16 MajorNum;
  TW_UINT16 MinorNum;
  TW_UINT16 Language;
  TW_UINT16 Country;
  TW_STR32 Info;
};

struct TW_IDENTITY {
  TW_UINT32 Id;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor;
  TW_UINT16 ProtocolMinor;
  TW_UINT32 SupportedGroups;
  TW_STR32 Manufacturer;
  TW_STR32 ProductFamily;
  TW_STR32 ProductName;
};

struct TW_USERINTERFACE {
  TW_BOOL ShowUI;
  TW_BOOL ModalUI;
  TW_HANDLE hParent;
};

struct TW_PENDINGXFERS {
  TW_UINT16 Count;
  TW_UINT32 Reserved;
};

struct TW_EVENT {
  TW_MEMREF pEvent;
  TW_UINT16 TWMessage;
};

#pragma pack(pop)

static_assert(sizeof(TW_VERSION) == 42);
static_assert(sizeof(TW_IDENTITY) == 156);
static_assert(offsetof(TW_IDENTITY, SupportedGroups) == 50);
static_assert(offsetof(TW_IDENTITY, ProductName) == 122);

// Copies `text` into a TW_STR32, cut to 32 characters, zero-filled.
void SetTwainString(TW_STR32& field, std::string_view text);
// The text of a TW_STR32 up to its first zero (never past its end).
std::string TwainString(const TW_STR32& field);

// "DG_CONTROL/DAT_PARENT/MSG_OPENDSM": the names of a call, for logs and tests.
std::string TwainCallName(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);
// "TWRC_SUCCESS", ... or the number.
std::string TwainResultName(TW_UINT16 result);
// "MSG_XFERREADY", ... or the number.
std::string TwainMessageName(TW_UINT16 msg);

// The movable memory block of a native transfer: the source allocates it and
// hands its handle over; whoever receives the handle frees it. Allocation
// gives nullptr when the memory cannot be had.
TW_HANDLE GlobalAllocBlock(std::size_t size);
// The block's bytes; empty for nullptr.
std::span<std::uint8_t> GlobalLockBlock(TW_HANDLE block);
void GlobalFreeBlock(TW_HANDLE block);
// How many blocks are allocated and not yet freed, in the whole process.
std::size_t GlobalBlocksInUse();

}  // namespace quillet
