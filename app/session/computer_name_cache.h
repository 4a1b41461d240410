#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace quillory {

// This computer's name for the main thread without waiting on D-Bus: the last answer of a lookup
// that runs on the global thread pool. Until the first answer arrives it is the host name alone.
// Every read starts a new lookup unless one is running, so a renamed computer shows from the
// next read after the answer. Main thread; the answer comes back through the main queue.
class ComputerNameCache : public std::enable_shared_from_this<ComputerNameCache> {
  public:
    using LookUp = std::function<QString()>;

    // Starts the first lookup. `lookUp` runs off the main thread and may block; `initial` is
    // what name() answers before it returns.
    static std::shared_ptr<ComputerNameCache> create(LookUp lookUp, QString initial);
    // The system's: computerName(), first answered by the cleaned host name.
    static std::shared_ptr<ComputerNameCache> system();

    QString name();

  private:
    ComputerNameCache(LookUp lookUp, QString initial)
        : lookUp_(std::move(lookUp)), name_(std::move(initial)) {}
    void refresh();

    const LookUp lookUp_;
    QString name_;
    bool lookingUp_ = false;
};

}  // namespace quillory
