// A stand-in for a program the player starts: writes its argument vector, argv[0] included, one
// element a line, to argv.txt in its current directory. A script cannot stand in here, as the
// kernel hands a script's interpreter the script's path in place of argv[0].

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    std::ofstream out("argv.txt.part");
    for (int i = 0; i < argc; ++i) out << argv[i] << '\n';
    out.close();
    // Renamed into place, so a reader never sees half of it.
    return std::rename("argv.txt.part", "argv.txt") == 0 ? 0 : 1;
}
