#pragma once

#include <QFont>
#include <QHash>
#include <QString>

namespace quillory {

class DesignResources;

// The module's own typeface. The three faces are registered with Qt once, on first use; each
// face then has a family name of its own ("Barlow Semi Condensed Medium", ...) with the single
// style "Regular", so a face is chosen by family, never by weight. A face whose file is missing
// or unreadable is drawn in the system UI family at the same size. GUI thread only.
class FontRegistry {
  public:
    static constexpr const char* faces[] = {"Regular", "Medium", "SemiBold"};

    explicit FontRegistry(const DesignResources& resources);
    static FontRegistry& shared();

    // The family to draw a face with; "Bold" is drawn with the SemiBold file.
    QString family(const QString& face);
    // A font of that face at `pixelSize` logical pixels.
    QFont font(const QString& face, double pixelSize);

    // How many times the faces were registered; stays 1 however often fonts are asked for.
    int registrations() const { return registrations_; }

  private:
    void registerFonts();

    const DesignResources& resources_;
    int registrations_ = 0;
    QHash<QString, QString> families_;
};

}  // namespace quillory
