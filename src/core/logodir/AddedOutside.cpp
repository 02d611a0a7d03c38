#include "core/logodir/AddedOutside.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <unordered_set>

#include "core/app/ProgramFolder.h"
#include "core/codecs/Codecs.h"
#include "core/compose/SourceImage.h"
#include "core/logodir/LogoPaths.h"
#include "core/platform/Text.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

struct DiskEntry {
  std::string name;
  bool folder = false;
};

// The folders and regular files of a folder, sorted by name; hidden names
// and symbolic links are never taken in.
std::vector<DiskEntry> EntriesOf(const std::string& path) {
  std::vector<DiskEntry> entries;
  std::error_code error;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.' || !IsSafeNodeName(name)) continue;
    std::error_code kind;
    if (it->is_symlink(kind)) continue;
    if (it->is_directory(kind))
      entries.push_back({std::move(name), true});
    else if (it->is_regular_file(kind))
      entries.push_back({std::move(name), false});
  }
  std::sort(entries.begin(), entries.end(), [](const DiskEntry& a, const DiskEntry& b) {
    std::string upperA = UpperAscii(a.name), upperB = UpperAscii(b.name);
    return upperA != upperB ? upperA < upperB : a.name < b.name;
  });
  return entries;
}

// A file that Open would take in: one of the extensions the program reads,
// decoding to a picture of at least 16 × 16.
bool IsPictureFile(const std::string& path, const std::string& name) {
  if (!WritableFormatOfFileName(name)) return false;
  try {
    Bitmap picture = DecodePictureFile(path);
    return picture.Width() >= kMinimumPictureSide && picture.Height() >= kMinimumPictureSide;
  } catch (const std::exception&) {
    return false;
  }
}

LogoNode* ChildNamed(const LogoNode& folder, const std::string& name) {
  for (int i = 0; i < folder.ChildCount(); ++i)
    if (folder.ChildAt(i)->Text() == name) return folder.ChildAt(i);
  return nullptr;
}

// A folder on disk that no node names, with what it would bring in.
struct NewFolder {
  std::string name;
  std::vector<NewFolder> folders;
  std::vector<std::string> logos;
  bool Empty() const { return folders.empty() && logos.empty(); }
};

// What a folder without a node holds that can be taken in, with the same
// name rule as the tree: one base name once among its children.
NewFolder ScanNewFolder(const std::string& path, std::string name) {
  NewFolder found{std::move(name), {}, {}};
  // The base names of the children taken so far, as NameIsFree compares
  // them: a folder's whole name, a logo's base name, against the children's
  // base names.
  std::set<std::string> taken;
  auto free = [&taken](std::string_view wanted, std::string_view childName) {
    if (taken.count(UpperAscii(wanted)) != 0) return false;
    taken.insert(UpperAscii(BaseNameOf(childName)));
    return true;
  };
  std::vector<DiskEntry> entries = EntriesOf(path);
  for (const DiskEntry& entry : entries) {
    if (!entry.folder) continue;
    NewFolder inner = ScanNewFolder(path + entry.name + "/", entry.name);
    if (!inner.Empty() && free(entry.name, entry.name)) found.folders.push_back(std::move(inner));
  }
  for (const DiskEntry& entry : entries)
    if (!entry.folder && IsPictureFile(path + entry.name, entry.name) &&
        free(BaseNameOf(entry.name), entry.name))
      found.logos.push_back(entry.name);
  return found;
}

// A new folder goes before the first logo of its parent, as New folder puts it.
int NewFolderPosition(const LogoNode& parent) {
  for (int i = 0; i < parent.ChildCount(); ++i)
    if (parent.ChildAt(i)->IsLogo()) return i;
  return parent.ChildCount();
}

class Finder {
 public:
  Finder(LogoDirContext& context, const TLogoDirObject& newLogoTemplate)
      : context_(context), template_(newLogoTemplate) {}

  // Takes in what the directory of an existing folder node holds.
  void Search(LogoNode& folder) {
    const std::string path = FolderPath(folder, context_.programFolder);
    std::vector<DiskEntry> entries = EntriesOf(path);
    for (const DiskEntry& entry : entries) {
      if (!entry.folder) continue;
      if (LogoNode* named = ChildNamed(folder, entry.name)) {
        if (named->IsFolder()) Search(*named);
        continue;
      }
      if (!NameIsFree(folder, entry.name)) continue;
      NewFolder found = ScanNewFolder(path + entry.name + "/", entry.name);
      if (!found.Empty()) Insert(folder, NewFolderPosition(folder), found);
    }
    for (const DiskEntry& entry : entries) {
      if (entry.folder || ChildNamed(folder, entry.name) != nullptr) continue;
      if (NameIsFree(folder, BaseNameOf(entry.name)) &&
          IsPictureFile(path + entry.name, entry.name))
        AddLogo(folder, entry.name);
    }
  }

  std::unordered_set<const LogoNode*>& Added() { return added_; }
  int logos = 0;
  int folders = 0;

 private:
  void Insert(LogoNode& parent, int position, const NewFolder& found) {
    LogoNode& node =
        context_.tree.Insert(parent, position, TLogoDirObject(NodeKind::Folder, found.name));
    added_.insert(&node);
    ++folders;
    for (const NewFolder& inner : found.folders)
      Insert(node, node.ChildCount(), inner);
    for (const std::string& logo : found.logos)
      AddLogo(node, logo);
  }

  void AddLogo(LogoNode& folder, const std::string& name) {
    added_.insert(&context_.tree.Append(folder, NewLogoObject(template_, name)));
    ++logos;
  }

  LogoDirContext& context_;
  const TLogoDirObject& template_;
  std::unordered_set<const LogoNode*> added_;
};

// The added nodes in tree order, depth first, without recursion.
void CollectInTreeOrder(LogoNode& root, const std::unordered_set<const LogoNode*>& added,
                        FoundPictures& found) {
  std::vector<LogoNode*> pending{&root};
  while (!pending.empty()) {
    LogoNode* node = pending.back();
    pending.pop_back();
    if (added.count(node) != 0) {
      found.added.push_back(node);
      if (node->IsLogo() && found.select == nullptr) found.select = node;
    }
    for (int i = node->ChildCount() - 1; i >= 0; --i)
      pending.push_back(node->ChildAt(i));
  }
}

}  // namespace

FoundPictures FindPicturesAddedOutside(LogoDirContext& context,
                                       const TLogoDirObject& newLogoTemplate) {
  Finder finder(context, newLogoTemplate);
  finder.Search(context.tree.Root());
  FoundPictures found;
  found.logos = finder.logos;
  found.folders = finder.folders;
  found.changed = !finder.Added().empty();
  CollectInTreeOrder(context.tree.Root(), finder.Added(), found);
  return found;
}

std::string FoundPicturesText(const FoundPictures& found) {
  const std::string folder = std::string("the folder \"") + kLogoDirectoryFolder + "\"";
  if (found.logos == 0)
    return "No pictures were found in " + folder + " that are not in the logo directory already.";
  if (found.logos == 1) return "1 picture found in " + folder + " was added to the logo directory.";
  return std::to_string(found.logos) + " pictures found in " + folder +
         " were added to the logo directory.";
}

}  // namespace quillet
