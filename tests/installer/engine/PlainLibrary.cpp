// A library without DllRegisterServer.
extern "C" __attribute__((visibility("default"))) int PlainLibraryAnswer()
{
    return 42;
}
