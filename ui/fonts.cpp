#include "ui/fonts.h"

#include <QString>

namespace ui {

namespace {

struct Substitute {
    const char* name;
    const char* face;
    QFont::StyleHint hint;
};

// The page's fonts, mapped to metric-compatible faces so texts keep their widths.
constexpr Substitute Substitutes[] = {
    {"Arial", "Liberation Sans", QFont::SansSerif},
    {"MS Sans Serif", "Liberation Sans", QFont::SansSerif},
    {"Courier", "Liberation Mono", QFont::Monospace},
    {"Courier New", "Liberation Mono", QFont::Monospace},
    {"Times New Roman", "Liberation Serif", QFont::Serif},
};

}  // namespace

QFont PageFont(const char* family, double points, int style) {
    const QString name = QString::fromUtf8(family);
    QFont font(name);
    for (const Substitute& s : Substitutes) {
        if (name.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0) {
            font.setFamily(QString::fromUtf8(s.face));
            // Without fonts-liberation, at least the kind of face is kept.
            font.setStyleHint(s.hint);
            break;
        }
    }
    font.setPointSizeF(points);
    font.setBold((style & Bold) != 0);
    font.setItalic((style & Italic) != 0);
    font.setUnderline((style & Underline) != 0);
    return font;
}

}  // namespace ui
