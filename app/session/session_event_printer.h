#pragma once

#include <QObject>
#include <cstdio>

#include "app/session/session_facade.h"
#include "protocol/json_codec.h"

namespace quillory {

// `quillory --test-events`: every change of the session's published values as one JSON line,
// {"event":name, ...}, in the form the test host prints, so that end-to-end scripts read the real
// application without the session knowing about them. Main thread.
class SessionEventPrinter : public QObject {
  public:
    SessionEventPrinter(SessionFacade* session, std::FILE* output);

  private:
    void print(const char* name, Json fields);

    SessionFacade* session_;
    std::FILE* output_;
};

}  // namespace quillory
