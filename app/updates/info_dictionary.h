#pragma once

#include <QHash>
#include <QString>

namespace quillory {

// The build's key → text table that names the release and its update feed: "SUFeedURL",
// "SUPublicEDKey", "CFBundleShortVersionString", "CFBundleVersion". Tests build their own.
using InfoDictionary = QHash<QString, QString>;

// The table this build was configured with (see QUILLORY_UPDATE_* in the top CMakeLists.txt).
const InfoDictionary& buildInfoDictionary();

// The value for `key` with surrounding white space and line breaks removed; empty when absent.
QString infoDictionaryString(const InfoDictionary& info, const QString& key);

}  // namespace quillory
