// telvane-damage: writes COUNT damaged copies of SOURCE into OUT_DIR, named
// <source name>-<number>-<damage>.<extension>; the same SEED gives the same files.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/corpus/damage.h"

namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteAll(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: telvane-damage SOURCE OUT_DIR SEED COUNT\n");
        return 2;
    }
    const std::filesystem::path source = argv[1];
    const std::filesystem::path outDir = argv[2];
    const std::vector<uint8_t> good = ReadAll(source.string());
    if (good.empty()) {
        std::fprintf(stderr, "telvane-damage: cannot read %s\n", argv[1]);
        return 1;
    }
    Damager damager(good, static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)));
    const int count = std::atoi(argv[4]);
    for (int i = 0; i < count; ++i) {
        const DamagedFile damaged = damager.Next();
        char number[16];
        std::snprintf(number, sizeof number, "%03d", i);
        const std::string name = source.stem().string() + "-" + number + "-" + damaged.kind +
                                 source.extension().string();
        if (!WriteAll(outDir / name, damaged.bytes)) return 1;
    }
    return 0;
}
