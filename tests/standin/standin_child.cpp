// The child program of the stand-in's tests, for the scenarios that end the
// process: standin_child <scenario> [status]. The hooks print what they got
// on standard output; a scenario that returns at all ends with 99.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standin_client.h"

static void JNICALL exit_hook(jint status)
{
    printf("exit hook %ld\n", static_cast<long>(status));
    fflush(stdout);
    ExitProcess(static_cast<UINT>(status));
}

static void JNICALL abort_hook(void)
{
    printf("abort hook\n");
    fflush(stdout);
    ExitProcess(42);
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 98;
    const char* scenario = argv[1];
    std::vector<Option> options;
    if (strcmp(scenario, "exit-hook") == 0)
        options.push_back({"exit", reinterpret_cast<void*>(exit_hook)});
    if (strcmp(scenario, "abort-hook") == 0)
        options.push_back({"abort", reinterpret_cast<void*>(abort_hook)});
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create_jvm(options, &vm, &env) != JNI_OK)
        return 97;
    std::wstring status = argc > 2 ? std::wstring(argv[2], argv[2] + strlen(argv[2])) : L"";
    if (strcmp(scenario, "exit-hook") == 0 || strcmp(scenario, "exit") == 0)
        call_main(env, "orvane/standin/Exit", {status});
    else if (strcmp(scenario, "abort-hook") == 0)
        call_main(env, "orvane/standin/Abort", {});
    else if (strcmp(scenario, "unimplemented") == 0)
        env->GetSuperclass(env->FindClass("java/lang/String"));
    return 99;
}
