// Version constraints, runtime version forms and the release file.
#include <cstring>

#include "fuzz_input.h"
#include "jvm/runtime_choice.h"
#include "jvm/version_constraints.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string version, constraints;
    fuzz_two_texts(data, size, &version, &constraints);
    VersionConstraint parsed = parse_version_constraint(version.c_str());
    FUZZ_CHECK(parsed.op >= version_greater_than && parsed.op <= version_at_most, "operator %d", parsed.op);
    bool accepted = version_satisfies_all(version.c_str(), constraints.c_str());
    if (constraints.empty())
        FUZZ_CHECK(accepted, "an empty list refused %s", version.c_str());
    // A runtime's version is the same text without what stands before its
    // first digit.
    size_t digit = version.find_first_of("0123456789");
    if (digit != std::string::npos)
        FUZZ_CHECK(runtime_version_value(version.c_str()) ==
                       parse_version_constraint(version.c_str() + digit).value, "%s", version.c_str());
    runtime_version_accepted(version.c_str(), constraints.c_str());

    char found[16];
    memset(found, 'x', sizeof found);
    if (release_file_version(version.c_str(), found, sizeof found))
        FUZZ_CHECK(memchr(found, '\0', sizeof found) != nullptr && found[0] != '\0', "version not terminated");
    return 0;
}
