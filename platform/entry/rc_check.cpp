// The build's check of the resource script: reads the preprocessed script as
// the program will, and only when it reads whole writes it where the
// program's resources are made from. What the reader does not take stops the
// build at its line of app/melodiane.rc.
//   rc_check PREPROCESSED OUTPUT
#include "platform/qt/resources/rc_script.h"

#include <cstdio>
#include <fstream>
#include <iterator>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: rc_check PREPROCESSED OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: error: cannot be read\n", argv[1]);
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RcScript script;
    std::string error = parse_rc_script(text, &script);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\nerror: the resource reader takes only what the script uses\n",
                     error.c_str());
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << text;
    return out.flush() ? 0 : 1;
}
