// The commands of quillfen-markers that look at a Quillfen folder or write a
// player's file: status, restore and merge.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

int run_status(const std::string& folder);
int run_restore(const std::string& folder, std::string from);
int run_merge(const std::string& into, const std::vector<std::string>& from);
// Clears the found marks of the markers of `pack` in `file`, keeping the old file as a .replaced- copy.
int run_unfound(const std::string& file, const std::string& pack);
// Puts the newest marker of deleted.json (beside `into`) called `label` back
// into `into`; or, when `entry` is not 0, its marker `entry` (counted from 1 in
// the file), which is how status names one whose label no command prompt
// takes safely.
int run_undelete(const std::string& into, std::string label, std::size_t entry = 0);
inline constexpr const char* undelete_entry_option = "--entry";
