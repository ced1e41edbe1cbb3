#pragma once

// Printing. A page first records its print job (text lines in a chosen font, pictures at a
// position), then hands it to a Printer, which sends it to the system's default printer
// without a dialog. Recording first lets the very same pages go to a PDF file instead when
// no printer can take them, and lets tests read what a page printed.

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

#include <vector>

class QPagedPaintDevice;
class QPainter;

class QPrinter;
class QWidget;

namespace ui {

class Dialogs;

class PrintJob {
  public:
    struct Item {
        enum class Kind { Line, Picture };
        Kind kind = Kind::Line;
        QFont font;      // Line: the font it is printed in
        QString text;    // Line: no line breaks; a TAB advances to the next 8th column
        QPoint at;       // Picture: its top-left corner, in twips from the page origin
        QImage picture;  // Picture: drawn at its own size (its pixels at its dots per inch)
    };

    // Lines are printed in the printer's default font, Arial 10, until setFont.
    PrintJob();

    // The font of the lines that follow; `family` as ui::pageFont takes it. Bold stays as
    // it was.
    void setFont(const char* family, double points);
    void setBold(bool bold);

    // One line below the last; a page that is full goes on on the next one.
    void printLine(const QString& text);
    // Each piece of `text` between line breaks (CR LF or LF) as a line of its own, then a
    // line break: "a\r\nb" prints "a" and "b", "a\r\n" prints "a" and an empty line, and ""
    // prints one empty line.
    void printText(const QString& text);
    // Draws `picture` on the current page; the next line is printed where it would have
    // been without the picture.
    void drawPicture(QPoint atTwips, const QImage& picture);

    const std::vector<Item>& items() const { return m_items; }

    // Draws every page onto `printer`, on which `painter` is active.
    void render(QPainter& painter, QPagedPaintDevice& printer) const;

  private:
    QFont m_font;
    std::vector<Item> m_items;
};

// A printed line too wide for the page, cut into pieces that each fit: the first `width`
// wide, the others `width` - `indent` (they are printed indented). Breaks fall after a
// blank where one fits, else between characters. A line that fits is one piece.
QStringList WrapPrintLine(const QString& line, const QFontMetricsF& metrics, double width,
                          double indent);

class Printer {
  public:
    virtual ~Printer() = default;
    // Sends `job` to the default printer as one document named `title`, and names that
    // printer in `printerName`. Returns false, with a sentence saying why in `error`, when
    // there is no default printer or it does not take the job. A job handed over to the
    // print system is not followed further.
    virtual bool print(const PrintJob& job, const QString& title, QString& printerName,
                       QString& error) = 0;
};

// The system's default printer through CUPS, the pages laid out as Qt's printer would lay
// them out on its paper. The default printer is looked up at every job, so one that was
// removed or added while a page was open is seen. A job counts as printed only when CUPS
// accepted it.
class SystemPrinter final : public Printer {
  public:
    bool print(const PrintJob& job, const QString& title, QString& printerName,
               QString& error) override;
};

// The program's one system printer.
Printer& TheSystemPrinter();

// Writes the pages of `job` to a new PDF file: the first of the names FreePdfPath() gives
// that can be created, never following a link or replacing anything. Returns the path
// written, or an empty string with the reason in `error` (memory running out included).
QString WriteNewPdf(const PrintJob& job, const QString& folder, const QString& baseName,
                    const QString& title, QString& error);

// The absolute path `folder`/`baseName`.pdf, or, when that name is taken, the first of
// `baseName`-2.pdf, `baseName`-3.pdf, ... that is not. A name is taken by any directory
// entry, a link to nothing included.
QString FreePdfPath(const QString& folder, const QString& baseName);

// Prints `job` on the default printer and says which printer took it ("Sent to the printer
// PDF"), so that a student who clicks twice knows two jobs went. When that fails, says why
// and asks whether to write the pages to a PDF file in `pdfFolder` (the home folder when
// empty), named after `pdfBaseName` without replacing any file; then says where the file
// was written, or why it could not be. Never fails silently.
void PrintOrOfferPdf(Printer& printer, Dialogs& dialogs, QWidget* parent, const PrintJob& job,
                     const QString& title, const QString& pdfFolder, const QString& pdfBaseName);

// A picture of `view` at the size its page gives it by default (Page::defaultPlace), however
// far the page has grown: printed and copied charts look the same at any window size. With a
// footnote set on the view, the picture carries it in a white band below.
QImage DefaultSizePicture(QWidget* view);

// A line that belongs with the picture of `view` on paper and on the clipboard (a note the
// page shows beside the view); empty: none.
void SetPictureFootnote(QWidget* view, const QString& footnote);

// `picture` with `footnote` below it in `font`, wrapped to the picture's width; `picture`
// itself when the footnote is empty.
QImage WithFootnote(const QImage& picture, const QString& footnote, const QFont& font);

// Ctrl+C (the platform's copy keys) anywhere on `page` puts a picture of `view` on the
// system clipboard, unless `mayCopy` (when given) says no; it then tells the student why.
void CopyPictureOnCopyKeys(QWidget* page, QWidget* view, std::function<bool()> mayCopy = {});

// Puts a picture of `view` on the system clipboard, then prints the picture as the
// clipboard holds it (PrintOrOfferPdf) below the one line `heading` (a blank line when empty). The
// job and any PDF file are named after `trainingFile` without its extension ("network" when empty)
// and `suffix`, e.g. "tiny-graph"; a PDF goes to `folder`.
void PrintPictureOf(QWidget* view, Printer& printer, Dialogs& dialogs, QWidget* parent,
                    const QString& trainingFile, const QString& folder, const QString& suffix,
                    const QString& heading = QString());

}  // namespace ui
