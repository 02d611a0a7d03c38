#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Who may read a file that does not exist yet; an existing file always keeps
// its own permissions.
enum class NewFileAccess { Default, OwnerOnly };

// Replaces the file at `path` with `bytes`: written whole to a temporary file
// in the same folder, flushed to disk, then renamed over the old one, so a
// crash or a full disk never leaves a half-written file. On failure the old
// file is untouched, the temporary file is gone, and std::runtime_error is
// thrown with the system's text.
//
// When `path` is a symbolic link (or a chain of them) the file it leads to is
// replaced, in that file's own folder, and the links stay; a link to nothing
// creates the file it names. A loop of links fails.
void WriteFileAtomically(const std::string& path, std::string_view bytes,
                         NewFileAccess access = NewFileAccess::Default);

// WriteFileAtomically's temporary file for "NAME" is ".NAME.tmp-" followed
// by six letters or digits, in NAME's folder. For a name of exactly that form
// this gives NAME; nothing for any other name.
std::optional<std::string> AtomicTemporaryTarget(std::string_view fileName);

// Whether anything (file, folder, ...) is at `path`; an unreadable place
// counts as nothing.
bool PathExists(const std::string& path);

// Reads a whole file; throws std::runtime_error when it cannot.
std::string ReadWholeFile(const std::string& path);

}  // namespace quillet
