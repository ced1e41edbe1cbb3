#pragma once

// The probe page (ProbeNetwork): the student picks a pattern, presses "Ok", and the
// network's response to it goes on top of the results window as a block of six lines
// (inputs, response, desired output, error). With "Noise" above 0 the pattern is damaged
// first, with the seed in the Seed box, which then moves on by one; "Probe Your Own
// Pattern" asks for input values and compares the response with the nearest stored
// pattern; "Probe A File Of Test Patterns" recalls every pattern of another training file of
// the same sizes and sums them up. The window's text can be edited, cleared and printed. A probe
// changes nothing of the network but what a recall writes into the units.

#include <QPlainTextEdit>

#include <span>

#include "core/arithmetic.h"
#include "core/network_state.h"
#include "pages/session.h"
#include "ui/geometry.h"
#include "ui/page.h"
#include "ui/printer.h"
#include "ui/up_down.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace pages {

class ProbePage final : public ui::Page {
    Q_OBJECT
  public:
    // `net` is the trained network and `printer` where "Print" goes; both must outlive the
    // page.
    ProbePage(ui::PageRuntime& runtime, core::PublicStuff& net, Session& session,
              ui::Printer& printer);

    void Form_Load() override;

    // Where every control sits, in tab order.
    static std::span<const ui::ControlPlace> geometry();

    // The text of ResultsText with CR LF line ends, as a probe block writes them; a line
    // break the student typed counts as CR LF too.
    QString resultsText() const;

    // Handlers, public so that tests can call them as the events would.
    void PatternOK_Click();
    void ClearText_Click();
    void PrintResults_Click();
    void OwnPattern_Click();
    void TestFile_Click();
    void Command2_Click();

    // Controls, named as on the page.
    QLabel* Label2 = nullptr;
    QLabel* PatternLabel = nullptr;
    QLineEdit* PatternBox = nullptr;
    ui::UpDown* PatternUpDown = nullptr;
    QPushButton* PatternOK = nullptr;
    QPlainTextEdit* ResultsText = nullptr;
    QPushButton* ClearText = nullptr;
    QPushButton* PrintResults = nullptr;
    QLabel* NoiseLabel = nullptr;
    QLineEdit* NoiseBox = nullptr;
    ui::UpDown* NoiseUpDown = nullptr;
    QLabel* SeedLabel = nullptr;
    QLineEdit* SeedBox = nullptr;
    QPushButton* OwnPattern = nullptr;
    QPushButton* TestFile = nullptr;
    QPushButton* Command2 = nullptr;

  private:
    // Builds the printout and prints it (or offers a PDF). Throws std::bad_alloc.
    void printResults();
    // Shows a block on top of the window's text.
    void insertBlock(const std::string& block);
    // Says why a probe of `what` ("Pattern 3", "Your pattern") failed; false when it did.
    bool probed(core::ArithStatus status, const QString& what);
    // Whether the weights recall every stored pattern without an arithmetic failure.
    bool storedPatternsRecall();
    void message(const QString& text);

    core::PublicStuff& m_net;

    Session& m_session;
    ui::Printer& m_printer;
};

}  // namespace pages
