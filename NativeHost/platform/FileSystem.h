#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kes::platform {

// Moves `from` over `to`, replacing an existing `to` (MoveFileExW with MOVEFILE_REPLACE_EXISTING).
bool moveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Creates `file` or truncates it, with sharing that denies nothing, writes every byte and flushes the
// file to the disk before it is closed. False when any of that failed; the file may then be partial.
bool writeFileDurably(const std::filesystem::path& file, std::string_view content);

// The whole content of `file`, opened for reading with sharing that denies nothing; nothing when it cannot
// be opened or read.
std::optional<std::string> readWholeFile(const std::filesystem::path& file);

// Moves `from` over `to` in one step, replacing an existing `to`, and returns only after the move reached
// the disk (MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
bool replaceFileWriteThrough(const std::filesystem::path& from, const std::filesystem::path& to);

enum class MoveResult { Moved, TargetExists, Failed };

// Moves `from` to `to` with write-through, never replacing anything that exists at `to`.
MoveResult moveFileWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Copies `from` to `to`, overwriting an existing `to` (CopyFileW with bFailIfExists false). The copy is
// writable even when `from` is read-only: it becomes a file the program replaces on every save.
bool copyFileOverwriting(const std::filesystem::path& from, const std::filesystem::path& to);

// Deletes `file`; a failure is not reported.
void deleteFileQuietly(const std::filesystem::path& file);

} // namespace kes::platform
