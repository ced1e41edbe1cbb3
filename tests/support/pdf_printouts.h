#pragma once

// Printing tests print through the real print system: a CUPS scheduler whose default printer
// is a cups-pdf queue (scripts/cups-pdf-printer.sh sets one up), which writes every job as a
// PDF file into ~/PDF of the user who printed. These helpers check that such a printer is
// there, wait for a job's file, read PDF files back with the poppler tools, and run a test
// again in a child process that sees no print system at all.

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

namespace support {

// Empty when the poppler tools that read PDF files back are installed, else what is missing.
inline QString popplerProblem() {
    for (const char* tool : {"pdftotext", "pdffonts", "pdftoppm", "pdfinfo", "pdfimages"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            return QStringLiteral("%1 is not installed (poppler-utils)").arg(QLatin1String(tool));
        }
    }
    return {};
}

// Empty when the default printer is a cups-pdf printer and its files can be read back;
// otherwise why printing tests cannot run here.
inline QString cupsPdfPrinterProblem() {
    if (QString problem = popplerProblem(); !problem.isEmpty()) {
        return problem;
    }
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull()) {
        return QStringLiteral(
            "there is no default printer (is cupsd running?); scripts/cups-pdf-printer.sh "
            "starts cupsd and sets up the PDF printer");
    }
    // Never print a test page on paper.
    if (!printer.makeAndModel().contains(QLatin1String("CUPS-PDF"), Qt::CaseInsensitive)) {
        return QStringLiteral("the default printer \"%1\" (%2) is not a cups-pdf printer")
            .arg(printer.printerName(), printer.makeAndModel());
    }
    return {};
}

// Where cups-pdf puts the jobs of the user running the tests: ~/PDF from the password
// database, as cups-pdf reads it, not from $HOME.
inline QString cupsPdfFolder() {
    const passwd* user = getpwuid(getuid());
    const QString home = user != nullptr ? QString::fromLocal8Bit(user->pw_dir) : QDir::homePath();
    return home + QStringLiteral("/PDF");
}

// A name part no earlier job has used, so that parallel tests find their own files.
inline QString uniqueToken(const char* prefix) {
    return QStringLiteral("%1%2")
        .arg(QLatin1String(prefix))
        .arg(QRandomGenerator::global()->generate64(), 16, 36, QLatin1Char('0'));
}

// Output of a tool; exit code in *exitCode.
inline QByteArray runTool(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        *exitCode = -1;
        return {};
    }
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

// The number of pages of a complete PDF file, 0 when it cannot be read (yet).
inline int pdfPageCount(const QString& path) {
    int exitCode = 0;
    const QByteArray info = runTool(QStringLiteral("pdfinfo"), {path}, &exitCode);
    if (exitCode != 0) {
        return 0;
    }
    for (const QByteArray& line : info.split('\n')) {
        if (line.startsWith("Pages:")) {
            return line.mid(6).trimmed().toInt();
        }
    }
    return 0;
}

// The newest PDF of the cups-pdf folder whose name holds `token`, once it is complete;
// empty when none has appeared within `timeoutMs`.
inline QString waitForCupsPdf(const QString& token, int timeoutMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const QFileInfoList files =
            QDir(cupsPdfFolder()).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
        for (const QFileInfo& file : files) {
            if (file.fileName().contains(token, Qt::CaseInsensitive) &&
                pdfPageCount(file.absoluteFilePath()) > 0) {
                return file.absoluteFilePath();
            }
        }
        QThread::msleep(100);
    }
    return {};
}

// The lines of text of a PDF file, each with its runs of blanks made one blank, empty lines
// left out: columns that TABs lined up compare with the TABs made single blanks.
inline QStringList pdfLines(const QString& path) {
    int exitCode = 0;
    const QByteArray text =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")},
                &exitCode);
    QStringList lines;
    for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        const QString simple = line.simplified();
        if (!simple.isEmpty()) {
            lines << simple;
        }
    }
    return lines;
}

// Text lines as they should come out of pdfLines.
inline QStringList simplifiedLines(const QString& text) {
    QStringList lines;
    for (const QString& line : QString(text).replace(QLatin1Char('\r'), QString()).split('\n')) {
        const QString simple = line.simplified();
        if (!simple.isEmpty()) {
            lines << simple;
        }
    }
    return lines;
}

// The words of a PDF file's first page, in reading order, each with the x position (in
// points) at which it starts.
inline QList<QPair<QString, double>> pdfWordStarts(const QString& path) {
    int exitCode = 0;
    const QByteArray html =
        runTool(QStringLiteral("pdftotext"),
                {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                 QStringLiteral("-l"), QStringLiteral("1"), path, QStringLiteral("-")},
                &exitCode);
    // <word xMin="72.000000" yMin="..." xMax="..." yMax="...">text</word>
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
    QList<QPair<QString, double>> words;
    for (auto match = word.globalMatch(QString::fromUtf8(html)); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        words.append({m.captured(2), m.captured(1).toDouble()});
    }
    return words;
}

// The names of the fonts a PDF file uses, without subset prefixes ("LiberationMono-Bold").
inline QStringList pdfFonts(const QString& path) {
    int exitCode = 0;
    const QByteArray listing = runTool(QStringLiteral("pdffonts"), {path}, &exitCode);
    QStringList fonts;
    const QList<QByteArray> lines = listing.split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {  // after the heading and its underline
        const QByteArray name = lines[i].split(' ').front();
        if (!name.isEmpty()) {
            fonts << QString::fromLatin1(name.mid(name.indexOf('+') + 1));
        }
    }
    return fonts;
}

// How many pictures a PDF file holds.
inline int pdfPictureCount(const QString& path) {
    int exitCode = 0;
    const QByteArray listing =
        runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path}, &exitCode);
    int count = 0;
    const QList<QByteArray> lines = listing.split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        count += lines[i].trimmed().isEmpty() ? 0 : 1;
    }
    return count;
}

// The first page of a PDF file as a picture at `dpi` dots per inch.
inline QImage pdfFirstPage(const QString& path, int dpi) {
    QTemporaryDir folder;
    const QString prefix = folder.filePath(QStringLiteral("page"));
    int exitCode = 0;
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
             QStringLiteral("-singlefile"), QStringLiteral("-f"), QStringLiteral("1"),
             QStringLiteral("-l"), QStringLiteral("1"), path, prefix},
            &exitCode);
    return exitCode == 0 ? QImage(prefix + QStringLiteral(".png")) : QImage();
}

// The smallest rectangle holding every pixel of `picture` that is not white.
inline QRect inkBox(const QImage& picture) {
    QRect box;
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            if (rgb.pixel(x, y) != qRgb(255, 255, 255)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// Pixels of `picture` within `tolerance` of `colour` in each channel.
inline int pixelsLike(const QImage& picture, QRgb colour, int tolerance) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = rgb.pixel(x, y);
            count += std::abs(qRed(p) - qRed(colour)) <= tolerance &&
                             std::abs(qGreen(p) - qGreen(colour)) <= tolerance &&
                             std::abs(qBlue(p) - qBlue(colour)) <= tolerance
                         ? 1
                         : 0;
        }
    }
    return count;
}

// Runs the current test function, current data row only, again in a child process that
// sees no print system (CUPS_SERVER names a socket that does not exist). Returns true in
// the child, which goes on with the test. In the test process it waits for the child,
// fails the test with the child's output when the child failed, and returns false.
inline bool rerunWithoutPrintSystem() {
    static const char* const kChild = "DAM_TEST_WITHOUT_PRINT_SYSTEM";
    if (qEnvironmentVariableIsSet(kChild)) {
        return true;
    }
    QString test = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag() != nullptr) {
        test += QLatin1Char(':') + QString::fromLatin1(QTest::currentDataTag());
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChild), QStringLiteral("1"));
    environment.insert(QStringLiteral("CUPS_SERVER"), QStringLiteral("/nonexistent/cups.sock"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {test});
    const bool finished = child.waitForFinished(120000);
    const QString output = QString::fromLocal8Bit(child.readAll());
    [&] {
        QVERIFY2(finished, qPrintable(QStringLiteral("the child run did not end:\n") + output));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(QStringLiteral("the run without a print system failed:\n") + output));
        // A child that found nothing to run would pass too.
        QVERIFY2(output.contains(QStringLiteral("PASS   : ")) &&
                     output.contains(QStringLiteral("Totals: 3 passed, 0 failed, 0 skipped")),
                 qPrintable(QStringLiteral("the child did not run the test:\n") + output));
    }();
    return false;
}

}  // namespace support

// Skips a printing test where there is no cups-pdf printer, or fails it where printing
// tests must run (scripts/test.sh sets DAM_REQUIRE_PDF_PRINTER).
#define DAM_REQUIRE_PDF_PRINTER()                                                           \
    do {                                                                                    \
        const QString problem_ = support::cupsPdfPrinterProblem();                          \
        if (!problem_.isEmpty()) {                                                          \
            if (qEnvironmentVariableIsSet("DAM_REQUIRE_PDF_PRINTER")) {                     \
                QFAIL(qPrintable(QStringLiteral("printing test cannot run: ") + problem_)); \
            }                                                                               \
            QSKIP(qPrintable(QStringLiteral("printing test skipped: ") + problem_));        \
        }                                                                                   \
    } while (false)
