// The commands that read the catalogue, the server parameters and the options
// exactly as the program does at start-up, and print what it would hold.
#include <iostream>
#include <string>

#include "core/app/ErrorReport.h"
#include "core/catalogues/PhoneCatalogue.h"
#include "core/catalogues/ServerParameters.h"
#include "core/service/SystemProxy.h"
#include "core/settings/Options.h"
#include "tools/cli/Cli.h"

namespace quillet::cli {
namespace {

std::string ModelJson(const PhoneModel& model) {
  return "{\"name\":" + JsonString(model.name) +
         ",\"width\":" + std::to_string(model.attributes.ScreenWidth) +
         ",\"height\":" + std::to_string(model.attributes.ScreenHeight) + "}";
}

std::string MakeJson(const PhoneMake& make) {
  std::string models;
  for (const PhoneModel& model : make.models)
    models += (models.empty() ? "" : ",") + ModelJson(model);
  return "{\"name\":" + JsonString(make.name) + ",\"models\":[" + models + "]}";
}

std::string CatalogueJson(const PhoneCatalogue& catalogue) {
  if (!catalogue.HasMakes()) return "{\"makes\":null}";
  std::string makes;
  for (const PhoneMake& make : *catalogue.Makes())
    makes += (makes.empty() ? "" : ",") + MakeJson(make);
  return "{\"makes\":[" + makes + "]}";
}

std::string ParametersJson(const ServerParameters& parameters) {
  std::string fields;
  for (const ServerParameters::Entry& entry : parameters.Entries())
    fields +=
        (fields.empty() ? "" : ",") + JsonString(entry.key) + ":" + JsonString(entry.value.Value);
  return "{" + fields + "}";
}

}  // namespace

int RunCatalogue(const std::vector<std::string>& words) {
  Args args(words, {"data-dir"});
  if (!args.Positional().empty()) throw UsageError("unexpected argument " + args.Positional()[0]);
  StderrPrompts prompts(std::cerr);
  CatalogueReading reading = ReadPhoneCatalogue(ProgramFolderFor(args), prompts);
  std::cout << CatalogueJson(reading.catalogue) << '\n';
  return 0;
}

int RunParameters(const std::vector<std::string>& words) {
  Args args(words, {"data-dir"});
  if (!args.Positional().empty()) throw UsageError("unexpected argument " + args.Positional()[0]);
  StderrPrompts prompts(std::cerr);
  ServerParameters parameters;
  try {
    ReadServerParameters(ProgramFolderFor(args), parameters, prompts);
  } catch (const QuilletError& error) {
    prompts.ReportError(error.what());
  }
  std::cout << ParametersJson(parameters) << '\n';
  return 0;
}

int RunOptions(const std::vector<std::string>& words) {
  Args args(words, {"data-dir"});
  if (!args.Positional().empty()) throw UsageError("unexpected argument " + args.Positional()[0]);
  StderrPrompts prompts(std::cerr);
  Options options = LoadOptions(ProgramFolderFor(args), prompts, ReadSystemProxy);
  std::cout << OptionsDocumentText(options);
  return 0;
}

}  // namespace quillet::cli
