// The files of telinv-read clean: names in UTF-8 on every system, a map file that only its
// owner can read, copies that appear whole or not at all.
#pragma once

#include <cstdio>
#include <string>

namespace telinv_read {

bool path_exists(const std::string &utf8_path);
bool is_directory(const std::string &utf8_path);

// Makes the directory and the parents it lacks; a directory made for the map is made
// readable by its owner only. False, with errno, on failure.
bool make_directories(const std::string &utf8_path, bool owner_only);

// Whether two names reach one file (the same device and file number; hard links too).
bool same_file(const std::string &a, const std::string &b);

// The path as an absolute one, "." and ".." taken out (Windows: GetFullPathNameW).
std::string absolute_path(const std::string &utf8_path);
// The folder of a path (empty for a bare name) and its last part, either separator on
// Windows.
std::string folder_of(const std::string &path);
std::string last_part(const std::string &path);
std::string join_path(const std::string &folder, const std::string &name);
// Whether `path` lies inside `folder` (both absolute; letters' case ignored on Windows).
bool path_inside(const std::string &path, const std::string &folder);
bool same_path(const std::string &a, const std::string &b);

// A new file that only its owner may read and write: mode 0600, or on Windows a
// protected access list that grants its owner alone; null (errno) when it exists or
// can't be made.
std::FILE *create_owner_only_file(const std::string &utf8_path);

// Renames `from` to `to`, replacing a file that is there (atomically where the system can).
bool replace_file(const std::string &from, const std::string &to);
bool remove_file(const std::string &utf8_path);

// Where the map goes when none is named: the user's own data folder,
// $XDG_DATA_HOME/telinv-read/clean-map.json or ~/.local/share/telinv-read/clean-map.json,
// on Windows %LOCALAPPDATA%\telinv-read\clean-map.json; empty when there is no such folder.
std::string default_map_path();

// This process's number, for names of temporary files.
unsigned long process_number();

} // namespace telinv_read
