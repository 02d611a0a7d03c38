#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// What start-up checks in the program folder before the user starts working.

// --- A folder the program cannot write in ----------------------------------

// The warning shown once at start-up when the program folder cannot be
// written: the folder's name goes between the two parts.
inline constexpr std::string_view kFolderNotWritableTextStart =
    "Quillet cannot save changes in the folder ";
inline constexpr std::string_view kFolderNotWritableTextEnd =
    " because you may not write there. Logos cannot be added, and your changes will not be kept "
    "when you close the program.";

// The whole warning for `folder` (shown without its trailing "/").
std::string FolderNotWritableText(std::string_view folder);

// Whether this process can create files in `folder`. The check leaves
// nothing behind: its file has no name, or (where the file system cannot do
// that) is removed at once.
bool CanWriteInFolder(const std::string& folder);

// The start-up warning (caption "Warning") for the program folder, or nothing
// when the program can write there.
std::optional<std::string> ProgramFolderWarning(const std::string& programFolder);

// --- Temporary files a killed save left behind -----------------------------

// A temporary file is taken for stale once it has not changed for this long,
// so that a save still being written by a second copy of the program (one
// started without a session bus) is never touched.
inline constexpr std::chrono::seconds kStaleTemporaryAge{60};

// Removes the program's own temporary files that a save interrupted by a
// kill or a crash left behind (".NAME.tmp-XXXXXX", see WriteFileAtomically):
// in the program folder those of the data files the program writes there, in
// "Temp" those of the upload copies, and in "Logo Directory" and every folder
// below it (symbolic links are not followed) those of the pictures. Only
// regular files of exactly that form and at least `minimumAge` old; nothing
// else is touched. Call at start-up once this copy knows it is the only one.
// Returns the paths removed.
std::vector<std::string> RemoveStaleTemporaryFiles(
    const std::string& programFolder, std::chrono::seconds minimumAge = kStaleTemporaryAge);

}  // namespace quillet
