// Child process of the lifetime tests: loads the library with dlopen, queues commands, unloads it while the writer
// thread is still delivering, and goes on running.
//
//   xob_unload_child LIBRARY DEVICE COUNT
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

int main(int argc, char** argv) {
    void* handle = argc == 4 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : nullptr;
    void* setPath = handle ? dlsym(handle, "_ZN3xob5seams13setDevicePathEPKc") : nullptr;
    void* initFiles = handle ? dlsym(handle, "_ZN4GXob10Init_FilesEt") : nullptr;
    if (setPath == nullptr || initFiles == nullptr) {
        std::fprintf(stderr, "usage: %s LIBRARY DEVICE COUNT (%s)\n", argv[0], argc == 4 ? dlerror() : "arguments");
        return 2;
    }
    reinterpret_cast<void (*)(const char*)>(setPath)(argv[2]);
    for (int i = 0; i < std::atoi(argv[3]); ++i) reinterpret_cast<void (*)(unsigned short)>(initFiles)(i);
    dlclose(handle);
    usleep(300000);
    return 0;
}
