// quillory-update-sign keygen <seed file>   writes a new signing seed (mode 0600) and prints
//                                           the public key for QUILLORY_UPDATE_PUBLIC_KEY
// quillory-update-sign sign <seed file> <file>
//                                           prints the base64 Ed25519 signature of the file
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/crypto/crypto.h"
#include "platform/files/atomic_write.h"
#include "platform/files/unique_fd.h"
#include "protocol/base64.h"

namespace {

using namespace quillory;

constexpr const char* usageText =
    "usage: quillory-update-sign keygen <seed file>\n"
    "       quillory-update-sign sign <seed file> <file>\n";

std::optional<std::string> readFile(const char* path) {
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        std::fprintf(stderr, "quillory-update-sign: %s: %s\n", path, std::strerror(errno));
        return std::nullopt;
    }
    auto contents = readAll(fd.get());
    if (!contents) {
        std::fprintf(stderr, "quillory-update-sign: %s: %s\n", path, std::strerror(errno));
    }
    return contents;
}

int keygen(const char* seedPath) {
    // Never replace a key: every release signed with it would stop verifying.
    if (::access(seedPath, F_OK) == 0) {
        std::fprintf(stderr, "quillory-update-sign: %s exists; not replacing a signing key\n",
                     seedPath);
        return 1;
    }
    const crypto::Ed25519SigningKey key = crypto::Ed25519SigningKey::generate();
    const std::string seed = base64Encode(key.seed().view()) + "\n";
    if (const auto error = writeFileAtomically(seedPath, seed, 0600, 0700)) {
        std::fprintf(stderr, "quillory-update-sign: %s: %s\n", seedPath, describe(*error).c_str());
        return 1;
    }
    std::printf("%s\n", base64Encode(key.publicKey()).c_str());
    return 0;
}

int sign(const char* seedPath, const char* filePath) {
    const auto seedText = readFile(seedPath);
    if (!seedText) {
        return 1;
    }
    std::string_view trimmed = *seedText;
    while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back()))) {
        trimmed.remove_suffix(1);
    }
    const auto seed = base64Decode(trimmed);
    const auto key = seed ? crypto::Ed25519SigningKey::fromSeed(*seed) : std::nullopt;
    if (!key) {
        std::fprintf(stderr, "quillory-update-sign: %s does not hold a signing seed\n", seedPath);
        return 1;
    }
    const auto contents = readFile(filePath);
    if (!contents) {
        return 1;
    }
    std::printf("%s\n", base64Encode(key->sign(asBytes(*contents))).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view command = argc > 1 ? argv[1] : "";
    if (command == "keygen" && argc == 3) {
        return keygen(argv[2]);
    }
    if (command == "sign" && argc == 4) {
        return sign(argv[2], argv[3]);
    }
    std::fputs(usageText, stderr);
    return 2;
}
