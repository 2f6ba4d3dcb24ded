// The copies beside markers.json, each one whole: a copy is written under a
// temporary name, flushed, and only then given its own name, so a crash leaves
// the old copy or the new one, never a cut one. Also the names of the daily
// copies and of the copies kept under a time stamp. No logging and no plug-in
// state: quillfen-markers uses these as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "src/base/growable_array.h"
#include "src/base/text_builder.h"
#include "src/file_formats/marker_file.h"
#include "src/platform/platform.h"

// Puts `size` bytes whole at `path`: into `temporary` first (a leftover of an
// earlier crash there is deleted), flushed, then renamed to `path`, replacing
// what is there when `replace`, else failing when `path` exists.
// `written` (optional) says how far the temporary file got. A symbolic link
// at `path` is not replaced but followed: the file it leads to is, through a
// temporary file of the same name as `temporary` beside it; a link that leads
// to nothing or loops fails with the error of following it, and nothing is written.
PlatformError write_whole_file(const char* temporary, const char* path, const void* data, std::size_t size,
                               bool replace, std::size_t* written = nullptr);

// Keeps `data` under `base`, or under `base`-2 … `base`-99 when that is taken,
// never over an existing file. The name used goes to `chosen`.
PlatformError keep_under_new_name(const char* temporary, const char* base, const void* data, std::size_t size,
                                  TextBuilder& chosen);

// "YYYYMMDD-HHMMSS" of a UTC instant, as the names of kept copies end.
void append_utc_stamp(TextBuilder& out, std::int64_t unix_ns);
// The newest copy in `directory` named `prefix` and a stamp ("PREFIXYYYYMMDD-HHMMSS",
// or with "-N" after it as keep_under_new_name makes them; see kept_copy_order): its name, without
// the directory, goes to `name`. False when there is none (or the folder
// cannot be listed).
bool newest_stamped_copy(const char* directory, const char* prefix, TextBuilder& name);

// The order of a kept copy's `name` among those of `file` (a file name, no
// folder; empty when `infix` is the whole prefix): YYYYMMDDHHMMSS * 100 + N of
// "FILE" `infix` "YYYYMMDD-HHMMSS[-N]", N from 2 to 99 (keep_under_new_name),
// else 1. 0 for any other name, and for a stamp that is no real date and time.
// The one reading of these names: the newest unreadable copy and the pruning of
// replaced copies both go by it.
std::uint64_t kept_copy_order(const char* name, std::string_view file, const char* infix);
// The order of the copy that a copy made at `unix_ns` gets first.
std::uint64_t kept_copy_order_at(std::int64_t unix_ns);

// Daily copies are named exactly "markers-YYYYMMDD.json" (UTC date), the date
// a real one (year 0001 on). The seven latest dated up to today are kept; a
// copy dated after today (written while the clock was set ahead) is neither
// counted nor deleted.
inline constexpr std::size_t daily_copies_kept = 7;
std::uint32_t utc_date_number(std::int64_t unix_ns);  // YYYYMMDD
// The date of a daily copy's name, or 0 when the name is not exactly of that
// form or its date is not one of the calendar ("markers-20261301.json").
std::uint32_t daily_copy_date(const char* name);
void append_daily_copy_name(TextBuilder& out, std::uint32_t date);
// The dates of the daily copies in `directory`: those dated `today` or earlier,
// newest first, then those dated later, newest first; `up_to_today` (optional)
// gets how many are of the first kind. A missing directory is no error and
// gives none.
PlatformError list_daily_copies(const char* directory, std::uint32_t today, const Allocator& allocator,
                                GrowableArray<std::uint32_t>& dates, std::size_t* up_to_today = nullptr);
