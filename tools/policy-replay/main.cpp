#include <cstring>
#include <fstream>
#include <iostream>

#include "tools/policy-replay/policy_replay.h"

namespace {

constexpr const char* usage =
    "Usage: quillory-policy-replay [FILE]\n"
    "Replays scripted adaptation events (one JSON record per line, from FILE or standard input)\n"
    "against the Studio operating-point policy and prints each decision as a JSON line.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 ||
        (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))) {
        (argc > 2 ? std::cerr : std::cout) << usage;
        return argc > 2 ? 2 : 0;
    }
    quillory::PolicyReplay replay;
    if (argc == 2 && std::strcmp(argv[1], "-") != 0) {
        std::ifstream file(argv[1]);
        if (!file) {
            std::cerr << "quillory-policy-replay: cannot read " << argv[1] << ": "
                      << std::strerror(errno) << '\n';
            return 2;
        }
        return replay.run(file, std::cout, std::cerr) ? 0 : 1;
    }
    return replay.run(std::cin, std::cout, std::cerr) ? 0 : 1;
}
