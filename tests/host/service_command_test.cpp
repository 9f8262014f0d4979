#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "expect_rows.h"
#include "service/service_command.h"

TEST(ServiceCommand, NamesTheServiceManagerWouldMisreadAreInvalid)
{
    expect_rows<std::string, bool>({
        {"MySvc", true},          {"My Svc-1", true},     {std::string(256, 'n'), true},
        {"", false},              {"a\\b", false},        {"a/b", false},
        {std::string(257, 'n'), false},
    }, [](const std::string& name) { return service_name_is_valid(name.c_str()); });
}

// Each form of the path is in the service tier's installation rows; here
// the bound: 259 characters fit 260 bytes, one more does not, nothing is cut.
TEST(ServiceCommand, BinaryPathIsComposedWholeOrRefused)
{
    char path[260];
    std::string exe(259 - 7, 'x'); // two quotes, a blank and "-run" besides
    EXPECT_TRUE(compose_binary_path(path, sizeof path, exe.c_str(), "-run", false, "S", "", true));
    EXPECT_EQ(std::string(path), "\"" + exe + "\" -run");
    exe += 'x';
    EXPECT_FALSE(compose_binary_path(path, sizeof path, exe.c_str(), "-run", false, "S", "", true));
    EXPECT_STREQ(path, "");
}

TEST(ServiceCommand, DependencyListBecomesADoubleNulTerminatedMultiString)
{
    EXPECT_EQ(dependency_multi_string(""), nullptr);
    char* names = dependency_multi_string("RpcSs;PlugPlay");
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(std::string(names, 16), std::string("RpcSs\0PlugPlay\0\0", 16));
    free(names);
}
