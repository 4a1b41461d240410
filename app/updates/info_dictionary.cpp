#include "app/updates/info_dictionary.h"

namespace quillory {

const InfoDictionary& buildInfoDictionary() {
    static const InfoDictionary info{
        {QStringLiteral("SUFeedURL"), QStringLiteral(QUILLORY_UPDATE_FEED_URL)},
        {QStringLiteral("SUPublicEDKey"), QStringLiteral(QUILLORY_UPDATE_PUBLIC_KEY)},
        {QStringLiteral("CFBundleShortVersionString"), QStringLiteral(QUILLORY_VERSION)},
        {QStringLiteral("CFBundleVersion"), QStringLiteral(QUILLORY_BUILD)},
    };
    return info;
}

QString infoDictionaryString(const InfoDictionary& info, const QString& key) {
    return info.value(key).trimmed();
}

}  // namespace quillory
