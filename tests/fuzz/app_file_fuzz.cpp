// The packager's application-file reader on hostile files, and its option
// quoting: what the reader accepts names only configuration values, what it
// refuses it says why, and joined options split back into the same options.
#include <unistd.h>

#include "app_file.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // In memory where the system has such a directory: a write to disk per
    // input would make the target ten times slower.
    static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    "/orvane-fuzz-app-" + std::to_string(getpid()) + ".toml";
    FILE* file = fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr, "%s cannot be written", path.c_str());
    fwrite(data, 1, size, file);
    fclose(file);
    std::map<unsigned, std::string> values;
    std::string errors;
    if (read_application_values(path, &values, &errors)) {
        for (const auto& value : values)
            FUZZ_CHECK(value.first >= 1001 && value.first <= 1043, "value %u", value.first);
    } else {
        FUZZ_CHECK(!errors.empty(), "a refusal without a reason");
    }

    std::vector<std::string> options;
    std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        options.push_back(fuzz_text(reinterpret_cast<const uint8_t*>(text.data() + start), end - start));
        start = end + 1;
    }
    std::string joined;
    size_t bad = 0;
    if (join_options(options, &joined, &bad))
        FUZZ_CHECK(split_options(joined) == options, "%zu options did not survive joining", options.size());
    return 0;
}
