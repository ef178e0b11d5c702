// A COM server program for the uninstall tests: it notes its arguments in the file that
// SCRIVANE_TEST_SERVER_LOG names, after a pause, so that only a caller that waits for it finds the note.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const char* log = std::getenv("SCRIVANE_TEST_SERVER_LOG");
    FILE* file = log ? std::fopen(log, "a") : nullptr;
    if (!file)
        return 1;
    for (int i = 1; i < argc; ++i)
        std::fprintf(file, i > 1 ? " %s" : "%s", argv[i]);
    std::fputs("\n", file);
    std::fclose(file);
    return 0;
}
