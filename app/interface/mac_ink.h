#pragma once

#include <QtQml/qqmlregistration.h>

#include <QPointer>
#include <QQuickPaintedItem>
#include <memory>
#include <optional>

#include "app/controls/input_control.h"
#include "app/interface/ink/ink_raster.h"
#include "design/colors.h"

namespace quillory {

// The pen test canvas: the input control's history as pressure-weighted strokes over an
// optional dot grid, kept in an InkRaster at the window's device pixel ratio, and a ring where
// the pen is now, drawn over it on every frame. Colours come from `colors`: rule (dots),
// primaryText (ink), surface and accent (the ring).
class MacInk : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(quillory::InputControl* input READ input WRITE setInput NOTIFY inputChanged)
    Q_PROPERTY(bool grid READ grid WRITE setGrid NOTIFY gridChanged)
    Q_PROPERTY(quillory::Colors* colors READ colors WRITE setColors NOTIFY colorsChanged)
    // Corner radius of the box the canvas fills; ink and ring stay inside it.
    Q_PROPERTY(double radius READ radius WRITE setRadius NOTIFY radiusChanged)

  public:
    explicit MacInk(QQuickItem* parent = nullptr);
    ~MacInk() override;

    InputControl* input() const { return input_; }
    void setInput(InputControl* input);
    bool grid() const { return grid_; }
    void setGrid(bool grid);
    Colors* colors() const { return colors_; }
    void setColors(Colors* colors);
    double radius() const { return radius_; }
    void setRadius(double radius);

    const InkRaster& raster() const { return *raster_; }
    void paint(QPainter* painter) override;

  signals:
    void inputChanged();
    void gridChanged();
    void colorsChanged();
    void radiusChanged();

  protected:
    void updatePolish() override;
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData& data) override;

  private:
    InkLook look() const;

    QPointer<InputControl> input_;
    QPointer<Colors> colors_;
    bool grid_ = true;
    double radius_ = 0;
    std::unique_ptr<InkRaster> raster_;
    std::optional<PenSample> pointer_;  // as of the last polish
    QColor ringOuter_;
    QColor ringInner_;
};

}  // namespace quillory
