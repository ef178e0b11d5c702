// A COM server library for the registration tests: its DllRegisterServer notes the call in the file that
// SCRIVANE_TEST_REGISTER_LOG names and answers SCRIVANE_TEST_REGISTER_RESULT (0 when unset); its
// DllUnregisterServer answers SCRIVANE_TEST_UNREGISTER_RESULT.
#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int DllRegisterServer()
{
    if (const char* log = std::getenv("SCRIVANE_TEST_REGISTER_LOG")) {
        if (FILE* file = std::fopen(log, "a")) {
            std::fputs("registered\n", file);
            std::fclose(file);
        }
    }
    const char* result = std::getenv("SCRIVANE_TEST_REGISTER_RESULT");
    return result ? std::atoi(result) : 0;
}

// Answers SCRIVANE_TEST_UNREGISTER_RESULT (0 when unset).
extern "C" __attribute__((visibility("default"))) int DllUnregisterServer()
{
    const char* result = std::getenv("SCRIVANE_TEST_UNREGISTER_RESULT");
    return result ? static_cast<int>(std::strtoll(result, nullptr, 0)) : 0;
}
