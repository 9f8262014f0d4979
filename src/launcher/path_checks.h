// Questions about paths on disk.
#pragma once

// True when path cannot be opened as a file for reading.
bool file_is_missing(const char* path);

// 0 when path holds a "%" (not examined) or is not a directory, 1 when it is
// a directory, -1 when its attributes cannot be read.
int path_is_directory(const char* path);
