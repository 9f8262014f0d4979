// Makes a launcher configured for one test scenario: a copy of the built
// launcher whose string table holds the scenario's values, rewritten as the
// packer rewrites a real configured launcher.
#pragma once
#include <map>
#include <string>

// The built launcher, as a Windows path.
std::string built_launcher_path();

// A fresh, empty directory for a test below the temporary directory.
std::string make_test_directory(const std::string& name);

// A resource added to a scenario launcher: RT_RCDATA 1 (embedded jars) or
// RT_BITMAP 1 (the splash image), keyed by type and ID.
using ExtraResources = std::map<std::pair<unsigned, unsigned>, std::string>;

// Copies the built launcher to target, replaces the given configuration
// values (ID to text; other values stay as shipped) and adds the extra
// resources (language neutral). False on any failure.
bool make_scenario_launcher(const std::string& target, const std::map<unsigned, std::string>& values,
                            const ExtraResources& resources = ExtraResources());

// The bytes of bitmap resource: a 24-bit bitmap of width x height without
// its file header, of one grey.
std::string encode_bitmap(int width, int height);

// The scrambled form of a main-class name, for value 1012.
std::string scrambled(const std::string& class_name);

// Writes text to a file; false on failure.
bool write_file(const std::string& path, const std::string& text);

// The bytes of a file, or "(missing)" when it cannot be read.
std::string read_file(const std::string& path);

// Removes a test directory and the files directly in it.
void remove_test_directory(const std::string& directory);
