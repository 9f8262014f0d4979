// The application file of orvane-pack: its keys, the packing of a launcher
// from it, and the reading of a launcher back into it.
#pragma once
#include <map>
#include <string>
#include <vector>

// How a configuration value's text is written from its key.
enum class ValueForm {
    text,        // a string, stored as written ("" stores "<null>")
    display,     // a string whose line breaks are stored as backslash-n
    boolean,     // true or false, stored as "1" or "0"
    integer,     // an integer within the key's range
    list,        // an array joined with ";"
    options,     // an array of options, quoted so each stays one option
    main_class,  // a class name, stored scrambled
};

struct ConfigKey {
    unsigned id;
    const char* table;
    const char* name;  // the LauncherConfig field
    ValueForm form;
    int min, max;      // integers only
    const char* help;
};
extern const std::vector<ConfigKey> config_keys;

// Joins options so that the launcher's tokenizer gives each back as one
// option, even after a %NAME% inside it expands to text with blanks. Returns
// false with the index of an option that cannot survive the tokenizer (a
// backslash at its end or before a double quote or a blank).
bool join_options(const std::vector<std::string>& options, std::string* text, size_t* bad);
// The launcher's own split of an option text.
std::vector<std::string> split_options(const std::string& text);

// Writes the launcher the application file describes. Prints every mistake
// to errors (one line each, "FILE:LINE:COLUMN: message") and writes nothing
// when there is one. output_override replaces the file's output key, and
// architecture_override its architecture (and template).
bool pack_application(const std::string& app_file, const std::string& output_override, std::string* errors,
                      const std::string& architecture_override = "");

// Prints the configuration a launcher carries, in the application-file
// format, with template naming the launcher itself.
bool show_launcher(const std::string& launcher, std::string* text, std::string* errors);

// The help text of every key.
std::string key_help();

// The configuration values the application file sets, by value ID, as the
// launcher's table would store them ("<null>" for empty, the main class
// scrambled); keys it leaves out are absent. Mistakes as for packing.
bool read_application_values(const std::string& app_file, std::map<unsigned, std::string>* values,
                             std::string* errors);
