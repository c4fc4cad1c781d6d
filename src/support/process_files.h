// Names of the files and folders a process writes beside others' (studies
// whose tasks share a folder, on one machine or several), and the clearing
// of what processes that have ended left behind.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace varnock {

// HOST-PID: a tag no other process uses, on this machine or another that
// shares the folder. The host name is kept to letters, digits and '-'.
std::string process_tag();

// True when a name ends in the tag of a process on this machine that has
// ended (a study killed part way leaves its scratch folders and half-written
// records behind); a tag may be followed by "-" and more. Another machine's
// names are left alone: whether their process lives cannot be told from
// here.
bool left_by_dead_process(const std::string& name);

// Removes what in dir the predicate calls ours (by its UTF-8 name) and a
// dead process left; best effort.
void remove_left_by_dead_processes(const std::filesystem::path& dir,
                                   const std::function<bool(const std::string&)>& ours);

}  // namespace varnock
