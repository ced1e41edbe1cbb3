#include "pages/weight_map_view.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace pages {

namespace {

// Room for the unit numbers (left, top) and the scale (right), in pixels.
constexpr int kLeft = 44;
constexpr int kTop = 18;
constexpr int kRight = 84;
constexpr int kBottom = 4;
constexpr int kScaleWidth = 14;
// Cells at least this many pixels wide (or high) are drawn all the same size.
constexpr int kEvenCells = 4;

QColor colourOf(double w, double largest) {
    const views::Rgb c = views::WeightColour(w, largest);
    return {c.red, c.green, c.blue};
}

}  // namespace

WeightMapView::WeightMapView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect WeightMapView::plotArea() const {
    return {kLeft, kTop, std::max(1, width() - kLeft - kRight),
            std::max(1, height() - kTop - kBottom)};
}

void WeightMapView::refresh(const core::ConnectionMatrix* weights) {
    m_weights = weights != nullptr && weights->exists() ? weights : nullptr;
    const QRect plot = plotArea();
    m_grid = m_weights != nullptr ? views::ReduceWeights(*m_weights, plot.height(), plot.width())
                                  : views::WeightGrid();
    if (m_grid.empty()) {
        m_cells = QImage();
    } else {
        m_cells = QImage(m_grid.columns(), m_grid.rows(), QImage::Format_RGB32);
        const double largest = m_grid.largestMagnitude();
        for (int r = 0; r < m_grid.rows(); ++r) {
            auto* line = reinterpret_cast<QRgb*>(m_cells.scanLine(r));
            for (int c = 0; c < m_grid.columns(); ++c) {
                const views::Rgb rgb = views::WeightColour(m_grid.value(r, c), largest);
                line[c] = qRgb(rgb.red, rgb.green, rgb.blue);
            }
        }
    }
    update();
}

QRect WeightMapView::cellArea() const {
    if (m_grid.empty()) {
        return {};
    }
    // Whole pixels per cell, so that every cell of a small network is the same size; cells
    // too small for that to show fill the whole area instead.
    const QRect plot = plotArea();
    const auto length = [](int room, int cells) {
        const int each = room / cells;
        return each >= kEvenCells ? each * cells : room;
    };
    return {plot.left(), plot.top(), length(plot.width(), m_grid.columns()),
            length(plot.height(), m_grid.rows())};
}

QString WeightMapView::connectionAt(QPoint pos) const {
    const QRect area = cellArea();
    // Weights resized since the last refresh are not read through the old grid.
    if (m_weights == nullptr || !m_weights->exists() || !area.contains(pos) ||
        m_weights->outputs() != m_grid.outputs() || m_weights->inputs() != m_grid.inputs()) {
        return {};
    }
    const int row = (pos.y() - area.top()) * m_grid.rows() / area.height();
    const int column = (pos.x() - area.left()) * m_grid.columns() / area.width();
    const views::ShownConnection shown = views::ShownInCell(*m_weights, m_grid.span(row, column));
    return QString::fromStdString(views::ConnectionText(shown.output, shown.input, shown.weight));
}

void WeightMapView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QRect area = cellArea();
    if (area.isEmpty()) {
        return;
    }
    painter.drawImage(area, m_cells);
    painter.setPen(Qt::black);
    painter.drawRect(area.adjusted(-1, -1, 0, 0));

    // Unit numbers at the middle of the cell that holds them, never closer than a label.
    const QFontMetrics metrics(font());
    const double rowPixels = static_cast<double>(area.height()) / m_grid.outputs();
    for (const int j : views::LabelledUnits(m_grid.outputs(), rowPixels, metrics.height())) {
        const int y = area.top() + static_cast<int>((j - 0.5) * rowPixels);
        painter.drawText(QRect(0, y - metrics.height() / 2, kLeft - 4, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(j));
    }
    const double columnPixels = static_cast<double>(area.width()) / m_grid.inputs();
    const int columnRoom = metrics.horizontalAdvance(QString::number(m_grid.inputs())) + 6;
    for (const int i : views::LabelledUnits(m_grid.inputs(), columnPixels, columnRoom)) {
        const int x = area.left() + static_cast<int>((i - 0.5) * columnPixels);
        painter.drawText(QRect(x - 40, 0, 80, kTop - 2), Qt::AlignHCenter | Qt::AlignBottom,
                         QString::number(i));
    }

    // The scale: +largest at the top, 0 in the middle, -largest at the bottom.
    const double largest = m_grid.largestMagnitude();
    const QRect scale(width() - kRight + 10, area.top(), kScaleWidth, area.height());
    for (int y = 0; y < scale.height(); ++y) {
        const double w = largest * (1.0 - (2.0 * (y + 0.5) / scale.height()));
        painter.setPen(colourOf(w, largest));
        painter.drawLine(scale.left(), scale.top() + y, scale.right(), scale.top() + y);
    }
    painter.setPen(Qt::black);
    painter.drawRect(scale.adjusted(-1, -1, 0, 0));
    const QRect numbers(scale.right() + 4, 0, kRight - kScaleWidth - 14, metrics.height());
    const auto number = [&](double v, int y) {
        painter.drawText(numbers.translated(0, y - metrics.height() / 2),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(views::ScaleNumber(v)));
    };
    number(largest, scale.top());
    number(0.0, scale.center().y());
    number(-largest, scale.bottom());
}

bool WeightMapView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = connectionAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void WeightMapView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // During a run the weights are away: the picture keeps what was read, drawn larger.
    if (m_weights != nullptr && m_weights->exists()) {
        refresh(m_weights);
    }
}

}  // namespace pages
