#pragma once

#include <filesystem>

#include "platform/secrets/stored_secret.h"

namespace quillory {

// A secret kept in a 0600 file inside a 0700 folder, replaced atomically.
class FileSecretItem final : public StoredSecret {
  public:
    explicit FileSecretItem(std::filesystem::path path);

    SecretRead read() override;
    SecretStatus add(ByteView value) override;
    SecretStatus update(ByteView value) override;
    std::string location() const override;

  private:
    std::filesystem::path path_;
};

// Writes the whole file next to its final name, syncs it, renames it over the old one and syncs
// the folder, so a crash leaves either the old or the new contents. Creates the folder (0700).
bool writeFileAtomically(const std::filesystem::path& path, ByteView contents);

}  // namespace quillory
