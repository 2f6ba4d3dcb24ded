// quillfen-hold-file.exe PATH SECONDS READY_FILE: opens PATH without sharing,
// writes READY_FILE, and keeps PATH open for SECONDS (a player's editor or
// another program holding the plug-in's file, in the end-to-end tests).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: quillfen-hold-file PATH SECONDS READY_FILE\n");
        return 2;
    }
    HANDLE h =
        CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    HANDLE ready = CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
    CloseHandle(h);
    return 0;
}
