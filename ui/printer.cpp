#include "ui/printer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cups/cups.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRectF>
#include <QSaveFile>
#include <QShortcut>
#include <QWidget>

#include "ui/dialogs.h"
#include "ui/fonts.h"
#include "ui/page.h"

namespace ui {

namespace {

constexpr int kTabColumns = 8;
constexpr double kTwipsPerInch = 1440.0;
constexpr double kMetresPerInch = 0.0254;
constexpr double kScreenDpi = 96.0;

// TABs to blanks up to the next stop; with a fixed-pitch font this lines columns up.
QString expandTabs(const QString& text) {
    if (!text.contains(QLatin1Char('\t'))) {
        return text;
    }
    QString out;
    out.reserve(text.size() + kTabColumns);
    for (const QChar c : text) {
        if (c == QLatin1Char('\t')) {
            out += QString(kTabColumns - out.size() % kTabColumns, QLatin1Char(' '));
        } else {
            out += c;
        }
    }
    return out;
}

// The picture's size in inches at the resolution it was made for (a screen grab: the
// screen's dots per inch).
QSizeF inches(const QImage& picture) {
    const double dpiX = picture.dotsPerMeterX() * kMetresPerInch;
    const double dpiY = picture.dotsPerMeterY() * kMetresPerInch;
    const QSizeF size = picture.deviceIndependentSize();
    return {size.width() / (dpiX > 0 ? dpiX : kScreenDpi),
            size.height() / (dpiY > 0 ? dpiY : kScreenDpi)};
}

}  // namespace

PrintJob::PrintJob() : m_font(PageFont("Arial", 10)) {}

void PrintJob::setFont(const char* family, double points) {
    const bool bold = m_font.bold();
    m_font = PageFont(family, points, bold ? Bold : Regular);
}

void PrintJob::setBold(bool bold) {
    m_font.setBold(bold);
}

void PrintJob::printLine(const QString& text) {
    Item item;
    item.kind = Item::Kind::Line;
    item.font = m_font;
    item.text = text;
    m_items.push_back(std::move(item));
}

void PrintJob::printText(const QString& text) {
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (const QString& line : lines.split(QLatin1Char('\n'))) {
        printLine(line);
    }
}

void PrintJob::drawPicture(QPoint atTwips, const QImage& picture) {
    Item item;
    item.kind = Item::Kind::Picture;
    item.at = atTwips;
    item.picture = picture;
    m_items.push_back(std::move(item));
}

void PrintJob::render(QPainter& painter, QPagedPaintDevice& printer) const {
    // Painter coordinates are device pixels from the top-left of the printable area.
    const double dpiX = printer.logicalDpiX();
    const double dpiY = printer.logicalDpiY();
    const double pageHeight = printer.height();
    double y = 0.0;
    for (const Item& item : m_items) {
        if (item.kind == Item::Kind::Picture) {
            const QSizeF size = inches(item.picture);
            const QRectF target(item.at.x() / kTwipsPerInch * dpiX,
                                item.at.y() / kTwipsPerInch * dpiY, size.width() * dpiX,
                                size.height() * dpiY);
            painter.drawImage(target, item.picture);
            continue;
        }
        painter.setFont(item.font);
        const QFontMetricsF metrics(item.font, &printer);
        const double height = metrics.lineSpacing();
        const double indent = metrics.horizontalAdvance(QString(kTabColumns / 2, QLatin1Char(' ')));
        const QStringList pieces =
            WrapPrintLine(expandTabs(item.text), metrics, printer.width(), indent);
        for (qsizetype k = 0; k < pieces.size(); ++k) {
            if (y > 0.0 && y + height > pageHeight) {
                printer.newPage();
                y = 0.0;
            }
            painter.drawText(QPointF(k == 0 ? 0.0 : indent, y + metrics.ascent()), pieces[k]);
            y += height;
        }
    }
}

QStringList WrapPrintLine(const QString& line, const QFontMetricsF& metrics, double width,
                          double indent) {
    QStringList pieces;
    QString rest = line;
    double room = width;
    while (metrics.horizontalAdvance(rest) > room) {
        // The longest start that fits (widths grow with length), at least one character so
        // that the loop always ends.
        qsizetype fits = 1;
        qsizetype tooLong = rest.size();
        while (tooLong - fits > 1) {
            const qsizetype middle = fits + (tooLong - fits) / 2;
            (metrics.horizontalAdvance(rest.left(middle)) <= room ? fits : tooLong) = middle;
        }
        // Break after the last blank that fits, so a value is not split across lines.
        const qsizetype blank = rest.lastIndexOf(QLatin1Char(' '), fits - 1);
        const qsizetype cut = blank > 0 ? blank + 1 : fits;
        pieces << rest.left(cut);
        rest = rest.mid(cut);
        while (rest.startsWith(QLatin1Char(' '))) {
            rest.remove(0, 1);
        }
        room = width - indent;
        if (rest.isEmpty()) {
            return pieces;
        }
    }
    pieces << rest;
    return pieces;
}

namespace {

// The pages of `job` as PDF bytes, laid out on `layout`.
bool pdfBytes(const PrintJob& job, const QString& title, const QPageLayout& layout,
              QByteArray* bytes, QString& error) {
    try {
        QBuffer pages(bytes);
        pages.open(QIODevice::WriteOnly);
        QPdfWriter writer(&pages);
        writer.setResolution(1200);
        writer.setTitle(title);
        if (layout.isValid()) {
            writer.setPageLayout(layout);
        }
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = QStringLiteral("the pages could not be made");
            return false;
        }
        job.render(painter, writer);
        painter.end();
        return true;
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("there is not enough memory to make the pages");
        return false;
    }
}

// The reason CUPS gave for its last failure, as a sentence's end.
QString cupsReason() {
    const char* reason = cupsLastErrorString();
    QString text = QString::fromUtf8(reason != nullptr ? reason : "").trimmed();
    while (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text.isEmpty() ? QStringLiteral("no reason was given") : text;
}

}  // namespace

bool SystemPrinter::print(const PrintJob& job, const QString& title, QString& printerName,
                          QString& error) {
    // Qt's printer hands its file to CUPS without asking whether a job was made, so the job
    // goes to CUPS here, whose answer is the job's number or the reason it was refused.
    const std::unique_ptr<cups_dest_t, void (*)(cups_dest_t*)> dest(
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr),
        [](cups_dest_t* d) { cupsFreeDests(1, d); });
    if (dest == nullptr) {
        error = QStringLiteral("There is no printer to print on.");
        return false;
    }
    const QString name = QString::fromUtf8(dest->name);
    // The printer's own paper and margins, as Qt's printer would lay the pages out.
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    QPageLayout layout;
    if (!info.isNull()) {
        layout = QPrinter(info, QPrinter::HighResolution).pageLayout();
    }
    QByteArray bytes;
    QString why;
    if (!pdfBytes(job, title, layout, &bytes, why)) {
        error = QStringLiteral("The pages for the printer \"%1\" could not be made: %2.")
                    .arg(name, why);
        return false;
    }
    const QByteArray titleBytes = title.toUtf8();
    const int id = cupsCreateJob(CUPS_HTTP_DEFAULT, dest->name, titleBytes.constData(), 0, nullptr);
    if (id == 0) {
        error = QStringLiteral("The printer \"%1\" did not take the print job: %2.")
                    .arg(name, cupsReason());
        return false;
    }
    bool sent = cupsStartDocument(CUPS_HTTP_DEFAULT, dest->name, id, titleBytes.constData(),
                                  CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE &&
                cupsWriteRequestData(CUPS_HTTP_DEFAULT, bytes.constData(),
                                     static_cast<size_t>(bytes.size())) == HTTP_STATUS_CONTINUE;
    // Finishing is needed either way: it ends the request the document was sent in.
    sent =
        cupsFinishDocument(CUPS_HTTP_DEFAULT, dest->name) <= IPP_STATUS_OK_EVENTS_COMPLETE && sent;
    if (!sent) {
        const QString reason = cupsReason();
        cupsCancelJob2(CUPS_HTTP_DEFAULT, dest->name, id, 0);
        error =
            QStringLiteral("The printer \"%1\" did not take the print job: %2.").arg(name, reason);
        return false;
    }
    printerName = name;
    return true;
}

Printer& TheSystemPrinter() {
    static SystemPrinter printer;
    return printer;
}

namespace {

bool nameTaken(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 || errno != ENOENT;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return ::fsync(fd) == 0;
}

}  // namespace

QString WriteNewPdf(const PrintJob& job, const QString& folder, const QString& baseName,
                    const QString& title, QString& error) {
    QByteArray bytes;
    if (!pdfBytes(job, title, QPageLayout(), &bytes, error)) {
        return {};
    }
    // Another program may take the free name first: then the next one is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString path = FreePdfPath(folder, baseName);
        const QByteArray name = QFile::encodeName(path);
        const int fd =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) {
            continue;
        }
        if (fd < 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            return {};
        }
        const bool written = writeAll(fd, bytes);
        const int code = errno;
        if (::close(fd) != 0 || !written) {
            error = QString::fromLocal8Bit(std::strerror(written ? errno : code));
            ::unlink(name.constData());
            return {};
        }
        return path;
    }
    error = QStringLiteral("no free file name was found");
    return {};
}

QString FreePdfPath(const QString& folder, const QString& baseName) {
    const QDir dir(folder);
    QString path = dir.absoluteFilePath(baseName + QStringLiteral(".pdf"));
    for (int n = 2; nameTaken(path); ++n) {
        path = dir.absoluteFilePath(QStringLiteral("%1-%2.pdf").arg(baseName).arg(n));
    }
    return path;
}

void PrintOrOfferPdf(Printer& printer, Dialogs& dialogs, QWidget* parent, const PrintJob& job,
                     const QString& title, const QString& pdfFolder, const QString& pdfBaseName) {
    QString reason;
    try {
        if (QString printerName; printer.print(job, title, printerName, reason)) {
            dialogs.messageBox(parent, QStringLiteral("Sent to the printer %1").arg(printerName),
                               dialogs.programTitle(), Buttons::Ok, Icon::Information, Answer::Ok);
            return;
        }
    } catch (const std::bad_alloc&) {
        dialogs.warn(parent, QStringLiteral("The pages could not be printed: there is not enough "
                                            "memory to make them. Nothing else is lost."));
        return;
    }
    const QString folder = pdfFolder.isEmpty() ? QDir::homePath() : pdfFolder;
    const QString shown = QDir::toNativeSeparators(FreePdfPath(folder, pdfBaseName));
    const QString question =
        QStringLiteral("%1\n\nWrite the pages to the PDF file \"%2\" instead?").arg(reason, shown);
    if (dialogs.messageBox(parent, question, dialogs.programTitle(), Buttons::YesNo, Icon::Question,
                           Answer::Yes) != Answer::Yes) {
        return;
    }
    QString error;
    const QString written = WriteNewPdf(job, folder, pdfBaseName, title, error);
    if (written.isEmpty()) {
        dialogs.warn(parent,
                     QStringLiteral("The PDF file \"%1\" could not be written: %2. Check that the "
                                    "folder exists and that you may write to it.")
                         .arg(shown, error));
        return;
    }
    // The name shown before may have been taken since: name the file really written.
    dialogs.messageBox(
        parent,
        QStringLiteral("The pages were written to \"%1\".").arg(QDir::toNativeSeparators(written)),
        dialogs.programTitle(), Buttons::Ok, Icon::Information, Answer::Ok);
}

namespace {

constexpr const char* kPictureFootnote = "pictureFootnote";

}  // namespace

void SetPictureFootnote(QWidget* view, const QString& footnote) {
    view->setProperty(kPictureFootnote, footnote);
}

QImage WithFootnote(const QImage& picture, const QString& footnote, const QFont& font) {
    if (footnote.isEmpty() || picture.isNull()) {
        return picture;
    }
    constexpr int kMargin = 4;
    const qreal ratio = picture.devicePixelRatio();
    const int width = static_cast<int>(picture.width() / ratio);
    const int height = static_cast<int>(picture.height() / ratio);
    const QRect room(kMargin, height + kMargin, width - 2 * kMargin, 1 << 20);
    const QRect text = QFontMetrics(font).boundingRect(room, Qt::TextWordWrap, footnote);
    const int band = text.height() + 2 * kMargin;
    QImage out(picture.width(), picture.height() + static_cast<int>(band * ratio),
               QImage::Format_RGB32);
    out.setDevicePixelRatio(ratio);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.drawImage(QPoint(0, 0), picture);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(room.topLeft(), QSize(room.width(), text.height())),
                     Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, footnote);
    return out;
}

QImage DefaultSizePicture(QWidget* view) {
    const QString footnote = view->property(kPictureFootnote).toString();
    const QFont font = PageFont("Arial", 9);
    const auto* page = qobject_cast<const Page*>(view->window());
    const QRect now = view->geometry();
    const QRect place = page != nullptr ? page->defaultPlace(view) : now;
    if (place.size() == now.size()) {
        return WithFootnote(view->grab().toImage(), footnote, font);
    }
    // Drawn at that size for the moment of the picture; no paint of the window comes between.
    view->setGeometry(QRect(now.topLeft(), place.size()));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QImage picture = view->grab().toImage();
    view->setGeometry(now);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    return WithFootnote(picture, footnote, font);
}

void CopyPictureOnCopyKeys(QWidget* page, QWidget* view, std::function<bool()> mayCopy) {
    auto* copy = new QShortcut(QKeySequence::Copy, page);
    QObject::connect(copy, &QShortcut::activated, view, [view, mayCopy = std::move(mayCopy)] {
        if (!mayCopy || mayCopy()) {
            QGuiApplication::clipboard()->setImage(DefaultSizePicture(view));
        }
    });
}

void PrintPictureOf(QWidget* view, Printer& printer, Dialogs& dialogs, QWidget* parent,
                    const QString& trainingFile, const QString& folder, const QString& suffix,
                    const QString& heading) {
    const QImage picture = DefaultSizePicture(view);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setImage(picture);

    PrintJob job;
    job.printLine(heading.isEmpty() ? QStringLiteral(" ") : heading);
    QImage printed = clipboard->image();
    if (printed.isNull()) {
        // Another program may have taken the clipboard over already.
        printed = picture;
    }
    job.drawPicture(QPoint(0, 0), printed);

    const QString base = QFileInfo(trainingFile).completeBaseName();
    const QString name = (base.isEmpty() ? QStringLiteral("network") : base) + '-' + suffix;
    PrintOrOfferPdf(printer, dialogs, parent, job, name, folder, name);
}

}  // namespace ui
