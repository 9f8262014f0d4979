// The extraction directory's trust: only the current user, SYSTEM and the
// Administrators may write into it, so that no other user can plant a jar
// that passes the currency test, swap a file after it was written, or turn
// the directory into a junction that redirects writes and deletes.
#pragma once

// Makes extract_dir ready: "." as it is; otherwise creates it with an access
// list for the current user, SYSTEM and Administrators only, or accepts an
// existing directory that passes extract_directory_is_trusted. On refusal
// reports message 3 with the directory and returns false. A directory that
// cannot be created is not reported here: writing its first file fails and
// is reported then.
bool prepare_extract_directory();

// True when extract_dir is "." or an existing directory that is not a
// reparse point, is owned by the current user, SYSTEM or Administrators, and
// gives no one else a right to write, delete or change it. Reports nothing.
// On success the directory stays open without delete sharing until the
// process ends (or release_extract_directory), so it cannot be swapped.
bool extract_directory_is_trusted();

// Closes what extract_directory_is_trusted keeps open, so the directory can
// be removed.
void release_extract_directory();
