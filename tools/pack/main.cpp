// orvane-pack: writes a configured launcher from an application file, or
// prints the configuration a launcher carries in the same format.
#include <cstdio>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "app_file.h"

int main(int argc, char** argv)
{
    CLI::App app{"orvane-pack: writes an Orvane launcher configured by an application file (TOML).\n\n"
                 "  orvane-pack APP.toml             write the launcher APP.toml describes\n"
                 "  orvane-pack --show LAUNCHER.exe  print a launcher's configuration as an application file\n"};
    std::string app_file, show, output, architecture;
    app.add_option("APP.toml", app_file, "the application file");
    app.add_option("--show", show, "print the configuration of this launcher");
    app.add_option("-o,--output", output, "write here instead of the file's output key");
    app.add_option("-a,--architecture", architecture, "x86 or x64: use that template instead of the file's");
    app.footer(key_help());
    CLI11_PARSE(app, argc, argv);

    std::string errors;
    if (!show.empty()) {
        std::string text;
        if (!show_launcher(show, &text, &errors)) {
            std::cerr << errors;
            return 1;
        }
        std::cout << text;
        return 0;
    }
    if (app_file.empty()) {
        std::cerr << app.help();
        return 2;
    }
    if (!pack_application(app_file, output, &errors, architecture)) {
        std::cerr << errors << "orvane-pack: nothing written\n";
        return 1;
    }
    return 0;
}
