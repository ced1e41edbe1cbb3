#include "pages/chart_legend.h"

#include <QFontMetricsF>
#include <QGraphicsRectItem>
#include <QGraphicsTextItem>
#include <QPen>
#include <QTextDocument>

namespace pages {

namespace {

constexpr double kSwatch = 10.0;  // the colour square's side, in pixels
constexpr double kGap = 4.0;      // between the square and its text
constexpr double kTextMargin = 2.0;

}  // namespace

void ChartLegend::clear() {
    qDeleteAll(m_texts);
    qDeleteAll(m_swatches);
    m_texts.clear();
    m_swatches.clear();
}

void ChartLegend::setEntries(const QList<Entry>& entries, const QFont& font) {
    clear();
    for (const Entry& entry : entries) {
        auto* swatch = new QGraphicsRectItem(0.0, 0.0, kSwatch, kSwatch, m_chart);
        swatch->setBrush(entry.fill);
        swatch->setPen(QPen(entry.edge, 1.0));
        auto* text = new QGraphicsTextItem(m_chart);
        text->setFont(font);
        text->document()->setDocumentMargin(kTextMargin);
        text->setPlainText(entry.text);
        m_swatches.append(swatch);
        m_texts.append(text);
    }
}

double ChartLegend::height(double width) {
    double total = 0.0;
    for (QGraphicsTextItem* text : m_texts) {
        text->setTextWidth(width - kSwatch - kGap);
        total += text->boundingRect().height();
    }
    return total;
}

double ChartLegend::layOut(double left, double bottom, double width) {
    double y = bottom - height(width);
    const double top = y;
    for (qsizetype k = 0; k < m_texts.size(); ++k) {
        QGraphicsTextItem* text = m_texts[k];
        text->setPos(left + kSwatch + kGap, y);
        // The square beside the text's first line.
        const double firstLine = QFontMetricsF(text->font()).height() + 2 * kTextMargin;
        m_swatches[k]->setPos(left, y + (firstLine - kSwatch) / 2);
        y += text->boundingRect().height();
    }
    return bottom - top;
}

}  // namespace pages
