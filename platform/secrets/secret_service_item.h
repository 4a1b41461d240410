#pragma once

#include <string>

#include "platform/secrets/stored_secret.h"

namespace quillory {

enum class SecretServiceState {
    unlocked,  // answers, and its default collection is open
    locked,    // answers, but the default collection is locked or missing
    absent,    // nobody answers on the session bus
    timedOut,
};

// Each call runs on a thread of its own and is abandoned (cancelled, then joined) at the
// deadline. Nothing here ever asks the user to unlock: locked items count as unavailable.
SecretServiceState probeSecretService(double deadlineSeconds);

// A generic item of the Secret Service with attributes "service" and "account".
class SecretServiceItem final : public StoredSecret {
  public:
    SecretServiceItem(std::string service, std::string account, std::string label,
                      double deadlineSeconds);

    SecretRead read() override;
    SecretStatus add(ByteView value) override;
    SecretStatus update(ByteView value) override;
    std::string location() const override;

  private:
    SecretStatus store(ByteView value);

    std::string service_;
    std::string account_;
    std::string label_;
    double deadlineSeconds_;
};

}  // namespace quillory
