#include "ui/geometry.h"

#include <QWidget>

namespace ui {

QStringList ApplyGeometry(QWidget* page, std::span<const ControlPlace> table) {
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
        control->setGeometry(ToPixels(place.rect));
    }
    return missing;
}

}  // namespace ui
