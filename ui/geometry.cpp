#include "ui/geometry.h"

#include <QWidget>

namespace ui {

QStringList ApplyGeometry(QWidget* page, std::span<const ControlPlace> table, QSize grown) {
    QStringList missing;
    for (const ControlPlace& place : table) {
        const QString name = QString::fromUtf8(place.name);
        // Controls inside a frame are looked up through it; setGeometry then takes the
        // rectangle relative to the frame, as the tables give it.
        auto* control = page->findChild<QWidget*>(name);
        if (control == nullptr) {
            missing << name;
            continue;
        }
        // Whole pixels are whole multiples of 15 twips: the grown place rounds as the default.
        control->setGeometry(
            ToPixels(Anchored(place.rect, place.anchors, grown.width() * TwipsPerPixel,
                              grown.height() * TwipsPerPixel)));
    }
    return missing;
}

}  // namespace ui
