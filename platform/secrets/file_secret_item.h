#pragma once

#include <filesystem>

#include "platform/secrets/stored_secret.h"

namespace quillory {

// A secret kept in a 0600 file inside a 0700 folder, replaced atomically (see writeFileAtomically).
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

}  // namespace quillory
