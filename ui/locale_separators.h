#pragma once

// The decimal and grouping separators of the user's locale, as UTF-8.

#include <QLocale>
#include <string>

namespace ui {

struct LocaleSeparators {
    std::string decimal;
    std::string grouping;
};

inline LocaleSeparators CurrentLocaleSeparators(const QLocale& locale = QLocale()) {
    return {locale.decimalPoint().toStdString(), locale.groupSeparator().toStdString()};
}

}  // namespace ui
