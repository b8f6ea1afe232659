// Child process of the lifetime tests: loads the library with dlopen, queues commands, unloads it
// while the writer thread is still delivering, and goes on running.
//
//   xob_unload_child LIBRARY DEVICE COUNT
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <thread>

int main(int argc, char** argv) {
    void* handle = argc == 4 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : nullptr;
    void* setPath = handle ? dlsym(handle, "_ZN3xob5seams13setDevicePathEPKc") : nullptr;
    void* initFiles = handle ? dlsym(handle, "_ZN4GXob10Init_FilesEt") : nullptr;
    if (setPath == nullptr || initFiles == nullptr) {
        std::fprintf(stderr, "usage: %s LIBRARY DEVICE COUNT (%s)\n", argv[0], argc == 4 ? dlerror() : "arguments");
        return 2;
    }
    reinterpret_cast<void (*)(const char*)>(setPath)(argv[2]);
    for (int i = 0; i < std::atoi(argv[3]); ++i) reinterpret_cast<void (*)(std::uint16_t)>(initFiles)(std::uint16_t(i));
    dlclose(handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return 0;
}
