#pragma once
// Shared by the fuzz targets: a scratch folder of their own and a way to
// turn fuzz bytes into a file or a text.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace ozn::fuzz {

inline const std::string& scratch() {
    static const std::string dir = [] {
        std::string d = (std::filesystem::temp_directory_path() / ("ozn-fuzz-" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

inline std::string fileWith(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::string path = scratch() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
    return path;
}

inline std::string textOf(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// A failed property: reported by libFuzzer as a crash with its input.
#define OZN_CHECK(cond)                                                  \
    do {                                                                 \
        if (!(cond)) {                                                   \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                \
        }                                                                \
    } while (0)

}  // namespace ozn::fuzz
