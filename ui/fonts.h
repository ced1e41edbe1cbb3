#pragma once

// The fonts the pages name, mapped to metric-compatible faces that are installed
// (fonts-liberation): Arial and MS Sans Serif to Liberation Sans, Courier and Courier New
// to Liberation Mono, Times New Roman to Liberation Serif, so that texts fit the boxes
// they were chosen for. Other names are used as given.

#include <QFont>

namespace ui {

enum FontStyle { Regular = 0, Bold = 1, Italic = 2, Underline = 4 };

QFont PageFont(const char* family, double points, int style = Regular);

}  // namespace ui
