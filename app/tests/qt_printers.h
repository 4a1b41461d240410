#pragma once

#include <QString>
#include <ostream>

// Readable QStrings (and so QStringLists) in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
