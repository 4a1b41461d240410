#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <mutex>

namespace quillory {

// This computer's name for the main thread without waiting on D-Bus: the last answer of a lookup
// that runs on the global thread pool. Until the first answer arrives it is the host name alone,
// so the application starts the shared cache early, before it builds its views. Every read starts
// a new lookup unless one is running, so a renamed computer shows from the next read after the
// answer. Thread-safe.
class ComputerNameCache {
  public:
    using LookUp = std::function<QString()>;

    // Starts the first lookup. `lookUp` runs off the calling thread and may block; `initial` is
    // what name() answers before it returns.
    ComputerNameCache(LookUp lookUp, QString initial);
    // The process's: computerName(), first answered by the cleaned host name.
    static ComputerNameCache& shared();

    QString name();

  private:
    struct State {
        std::mutex mutex;
        QString name;
        bool lookingUp = false;
    };
    void refresh();

    const LookUp lookUp_;
    const std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace quillory
