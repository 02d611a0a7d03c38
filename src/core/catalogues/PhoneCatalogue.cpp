#include "core/catalogues/PhoneCatalogue.h"

#include <stdexcept>

#include <pugixml.hpp>

#include "core/app/ProgramFolder.h"
#include "core/platform/Text.h"
#include "core/platform/Xml.h"

namespace quillet {
namespace {

// Any failure other than a wrong root element: the program cannot go on.
class UnreadableCatalogue : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string RequiredName(const pugi::xml_node& element) {
  std::optional<std::string> name = AttributeText(element, "name");
  if (!name) throw UnreadableCatalogue("element without a name");
  return *name;
}

std::int32_t ScreenSide(const pugi::xml_node& model, const char* attribute) {
  std::optional<std::string> text = AttributeText(model, attribute);
  if (!text) return kDefaultScreenSide;
  return ParseInt32(*text).value_or(kDefaultScreenSide);
}

PhoneModel ReadModel(const pugi::xml_node& element) {
  std::string name = RequiredName(element);
  return PhoneModel{std::move(name), TPhoneAttributes(ScreenSide(element, "screenwidth"),
                                                      ScreenSide(element, "screenheight"))};
}

PhoneMake ReadMake(const pugi::xml_node& element) {
  PhoneMake make{RequiredName(element), {}};
  for (pugi::xml_node child : element.children())
    if (IsElementNamed(child, "model")) make.models.push_back(ReadModel(child));
  return make;
}

// An empty root element and a root holding only text or comments both give
// an empty, present list: an empty catalogue is no reason to stop the
// program.
std::vector<PhoneMake> ReadMakes(const pugi::xml_node& root) {
  std::vector<PhoneMake> makes;
  for (pugi::xml_node child : root.children())
    if (IsElementNamed(child, "make")) makes.push_back(ReadMake(child));
  return makes;
}

void LoadCatalogueDocument(pugi::xml_document& doc, const std::string& path) {
  std::string error;
  if (!LoadXmlFile(doc, path, error)) throw UnreadableCatalogue(error);
}

bool ValidPosition(std::int32_t position, std::size_t count) {
  return position >= 0 && static_cast<std::size_t>(position) < count;
}

}  // namespace

std::vector<std::string> PhoneCatalogue::MakeNames() const {
  std::vector<std::string> names;
  if (!makes_) return names;
  for (const PhoneMake& make : *makes_)
    names.push_back(make.name);
  return names;
}

std::vector<std::string> PhoneCatalogue::ModelNamesOf(std::int32_t make) const {
  std::vector<std::string> names;
  if (const PhoneMake* found = MakeAt(make))
    for (const PhoneModel& model : found->models)
      names.push_back(model.name);
  return names;
}

const PhoneMake* PhoneCatalogue::MakeAt(std::int32_t make) const {
  if (!makes_ || !ValidPosition(make, makes_->size())) return nullptr;
  return &(*makes_)[static_cast<std::size_t>(make)];
}

const PhoneModel* PhoneCatalogue::ModelAt(std::int32_t make, std::int32_t model) const {
  const PhoneMake* found = MakeAt(make);
  if (!found || !ValidPosition(model, found->models.size())) return nullptr;
  return &found->models[static_cast<std::size_t>(model)];
}

std::optional<TPhoneAttributes> PhoneCatalogue::AttributesOf(std::int32_t make,
                                                             std::int32_t model) const {
  const PhoneModel* found = ModelAt(make, model);
  if (!found) return std::nullopt;
  return found->attributes;
}

CatalogueReading ReadPhoneCatalogue(const std::string& programFolder, Prompts& prompts) {
  CatalogueReading reading;
  try {
    pugi::xml_document doc;
    LoadCatalogueDocument(doc, programFolder + kPhonesListFile);
    if (LowerElementName(doc.document_element()) != "phoneslist") {
      prompts.Error(kPhoneListDamagedMessage);
      reading.outcome = CatalogueOutcome::Damaged;
      return reading;
    }
    reading.catalogue = PhoneCatalogue(ReadMakes(doc.document_element()));
  } catch (const std::exception&) {
    prompts.Error(kInitializationFailedMessage);
    reading.catalogue = PhoneCatalogue();
    reading.outcome = CatalogueOutcome::EndProgram;
  }
  return reading;
}

TPhoneAttributes LogoSizeForModel(const TPhoneAttributes& model) {
  return TPhoneAttributes(ClampToLogoSide(model.ScreenWidth), ClampToLogoSide(model.ScreenHeight));
}

}  // namespace quillet
