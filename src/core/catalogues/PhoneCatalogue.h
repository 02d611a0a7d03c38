#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/logodir/LogoDirObject.h"
#include "core/platform/Prompts.h"

namespace quillet {

// The screen of one phone model, in pixels.
class TPhoneAttributes {
 public:
  TPhoneAttributes(std::int32_t screenWidth, std::int32_t screenHeight)
      : ScreenWidth(screenWidth), ScreenHeight(screenHeight) {}
  bool operator==(const TPhoneAttributes&) const = default;

  std::int32_t ScreenWidth;
  std::int32_t ScreenHeight;
};

struct PhoneModel {
  std::string name;
  TPhoneAttributes attributes;
};

struct PhoneMake {
  std::string name;
  std::vector<PhoneModel> models;
};

// Makes and models in file order. Logos refer to them by 0-based position
// (-1 for none), so every look-up takes positions and answers "nothing" for
// a position the catalogue does not have, rather than failing: a hand-edited
// catalogue may have shrunk since a logo stored its position.
class PhoneCatalogue {
 public:
  PhoneCatalogue() = default;
  explicit PhoneCatalogue(std::vector<PhoneMake> makes) : makes_(std::move(makes)) {}

  // False when the catalogue file was damaged: there is no list at all.
  bool HasMakes() const { return makes_.has_value(); }
  const std::optional<std::vector<PhoneMake>>& Makes() const { return makes_; }

  // Names shown in the make list; empty when the list is absent.
  std::vector<std::string> MakeNames() const;
  // Names shown in the model list for the make at `make`; empty for an
  // unknown position.
  std::vector<std::string> ModelNamesOf(std::int32_t make) const;
  const PhoneMake* MakeAt(std::int32_t make) const;
  const PhoneModel* ModelAt(std::int32_t make, std::int32_t model) const;
  std::optional<TPhoneAttributes> AttributesOf(std::int32_t make, std::int32_t model) const;

 private:
  std::optional<std::vector<PhoneMake>> makes_;
};

// What the start-up routine does after reading the catalogue.
enum class CatalogueOutcome {
  Read,        // the catalogue is in place (possibly empty)
  Damaged,     // wrong root element: reported, catalogue absent, start-up goes on
  EndProgram,  // reported as an initialization failure: the program ends
               // without writing any data file
};

struct CatalogueReading {
  PhoneCatalogue catalogue;
  CatalogueOutcome outcome = CatalogueOutcome::Read;
};

inline constexpr const char* kPhoneListDamagedMessage = "Phone list file is damaged.";
inline constexpr const char* kInitializationFailedMessage =
    "Unexpected error occurred during application initialization.";
// Used for a model whose screen size is missing or not a number.
inline constexpr std::int32_t kDefaultScreenSide = 128;

// Reads "phoneslist.xml" from the program folder, showing the failure
// messages itself.
CatalogueReading ReadPhoneCatalogue(const std::string& programFolder, Prompts& prompts);

// The logo size that choosing a model sets: each side held to what the size
// controls accept (kMinLogoSide to kMaxLogoSide, see LogoDirObject.h).
TPhoneAttributes LogoSizeForModel(const TPhoneAttributes& model);

}  // namespace quillet
