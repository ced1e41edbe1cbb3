// The setup page's controls, named and placed as on the page, with what a screen reader
// says of them. The page's behaviour is in setup_page.cpp.

#include "pages/setup_page.h"

#include <QGroupBox>

#include "pages/page_id.h"
#include "ui/accessibility.h"
#include "ui/fonts.h"
#include "ui/wrapping_button.h"

namespace pages {

namespace {

constexpr std::array<ui::ControlPlace, 31> kGeometry = {{
    {"Label1", {1380, 0, 6972, 1332}},
    {"Frame1", {240, 1680, 3012, 1332}},
    {"OptionHebb", {120, 360, 1572, 495}},
    {"OptionDelta", {120, 720, 1572, 495}},
    {"ConvergenceFrame", {3660, 1680, 6135, 1332}},
    {"Check1(0)", {3840, 2160, 5775, 375}},
    {"Check1(1)", {3840, 2520, 5775, 375}},
    {"SweepsBox", {360, 3360, 1050, 372}},
    {"SweepsUpDown", {1440, 3360, 240, 375}},
    {"MaxSweepsLabel", {1800, 3360, 5055, 375}},
    {"PrintSweepsBox", {360, 3901, 1050, 372}},
    {"PrintSweepsUpDown", {1440, 3900, 240, 375}},
    {"PrintSweepsLabel", {1800, 3960, 7335, 375}},
    {"LRateBox", {360, 4440, 1050, 372}},
    {"LRateSlider", {1440, 4440, 2535, 375}},
    {"RateLabel", {4080, 4440, 3495, 375}},
    {"MinErrorBox", {360, 4920, 1050, 372}},
    {"MinErrorSlider", {1440, 4920, 2535, 375}},
    {"MinErrorLabel", {4080, 4920, 5655, 375}},
    // What the chosen rule will do: the whole width of the band above "Start Training".
    {"Forecast", {360, 5340, 10020, 480}},
    {"StartTraining", {360, 5880, 1695, 615}},
    {"Picture1(0)", {2460, 5880, 3420, 480}},
    {"Picture1(1)", {2460, 6360, 3420, 480}},
    {"Picture1(2)", {2460, 6720, 3420, 480}},
    {"Picture1(3)", {2460, 7080, 3420, 480}},
    {"Continue", {6240, 5880, 1695, 615}},
    {"TestRecall", {7080, 6720, 1695, 615}},
    {"Command2", {7920, 7560, 1695, 615}},
    {"Label3", {0, 7560, 3132, 732}},
    {"Stop", {360, 6600, 1695, 615}},  // shown only while a run goes on
    // Shown only within a long epoch, below the progress rows, where it covers no control.
    {"EpochProgress", {3240, 7620, 4560, 860}},
}};

}  // namespace

std::span<const ui::ControlPlace> SetupPage::geometry() {
    return kGeometry;
}

void SetupPage::createControls() {
    setFont(ui::PageFont("Arial", 9.75, ui::Bold));

    Label1 =
        ui::Named(new QLabel(QStringLiteral("Tavrel Distributed Associative Memory Program 2002 "
                                            "Edition"),
                             this),
                  "Label1");
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setFont(ui::PageFont("Arial", 20.25, ui::Bold | ui::Italic));

    Frame1 = ui::Named(new QGroupBox(QStringLiteral("Choose A Learning Rule"), this), "Frame1");
    OptionHebb = ui::Named(new QRadioButton(QStringLiteral("Hebb Rule"), Frame1), "OptionHebb");
    OptionDelta = ui::Named(new QRadioButton(QStringLiteral("Delta Rule"), Frame1), "OptionDelta");
    OptionHebb->setChecked(true);

    ConvergenceFrame =
        ui::Named(new QGroupBox(QStringLiteral("Choose Method(s) For Ending Training"), this),
                  "ConvergenceFrame");
    Check1[0] = ui::Named(
        new QCheckBox(QStringLiteral("End After A Maximum Number Of Training Epochs"), this),
        "Check1(0)");
    Check1[1] = ui::Named(
        new QCheckBox(QStringLiteral("End When A Minimum Level Of Error Has Been Reached"), this),
        "Check1(1)");
    Check1[0]->setChecked(true);

    auto box = [this](const char* text, const char* name) {
        auto* edit = ui::Named(new QLineEdit(QString::fromLatin1(text), this), name);
        edit->setAlignment(Qt::AlignCenter);
        return edit;
    };
    auto label = [this](const char* text, const char* name) {
        return ui::Named(new QLabel(QString::fromLatin1(text), this), name);
    };
    SweepsBox = box("100", "SweepsBox");
    SweepsUpDown = ui::Named(new ui::UpDown(SweepsBox, 100, 1, 50000, this), "SweepsUpDown");
    MaxSweepsLabel = label("Choose The Maximum Number Of Epochs", "MaxSweepsLabel");
    PrintSweepsBox = box("10", "PrintSweepsBox");
    PrintSweepsUpDown =
        ui::Named(new ui::UpDown(PrintSweepsBox, 10, 1, 10000, this), "PrintSweepsUpDown");
    PrintSweepsLabel =
        label("Choose The Number Of Epochs Between Printouts Of Training Information",
              "PrintSweepsLabel");
    LRateBox = box("0.10", "LRateBox");
    LRateSlider = ui::Named(new ui::Slider(0, 200, this), "LRateSlider");
    RateLabel = label("Choose A Learning Rate", "RateLabel");
    MinErrorBox = box("0.05", "MinErrorBox");
    MinErrorSlider = ui::Named(new ui::Slider(0, 100, this), "MinErrorSlider");
    MinErrorLabel =
        label("Set The Minimum Level Of Error (SSE)  To Stop Training", "MinErrorLabel");

    StartTraining =
        ui::Named(new QPushButton(QStringLiteral("Start Training"), this), "StartTraining");
    for (std::size_t k = 0; k < Picture1.size(); ++k) {
        Picture1[k] = new ui::TextRow(this);
        Picture1[k]->setObjectName(QStringLiteral("Picture1(%1)").arg(k));
        Picture1[k]->hide();
    }
    // The caption is a few pixels wider than the button leaves room for at this size.
    Continue =
        ui::Named(new ui::WrappingButton(QStringLiteral("Continue Training"), this), "Continue");
    TestRecall = ui::Named(new QPushButton(QStringLiteral("Test Recall"), this), "TestRecall");
    Continue->hide();
    TestRecall->hide();
    Command2 = ui::Named(new QPushButton(QStringLiteral("Exit"), this), "Command2");
    Command2->setFont(ui::PageFont("Arial", 9.75, ui::Bold | ui::Italic));
    Forecast = label("", "Forecast");
    Forecast->setWordWrap(true);
    Forecast->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label3 = label("Choose a rule, a rate and when to stop, then start training.", "Label3");
    Label3->setWordWrap(true);
    Label3->setFont(ui::PageFont("Arial", 8.25, ui::Italic));
    Stop = ui::Named(new QPushButton(QStringLiteral("Stop"), this), "Stop");
    Stop->setToolTip(QStringLiteral("Ends training after the current epoch (Esc)"));
    Stop->hide();
    EpochProgress = label("", "EpochProgress");
    EpochProgress->setFont(ui::PageFont("Arial", 9.75, ui::Bold));
    EpochProgress->hide();

    ui::ApplyGeometry(this, geometry());

    ui::NameAfterLabel(SweepsBox, MaxSweepsLabel);
    ui::DescribeControl(SweepsUpDown, QStringLiteral("Maximum number of epochs up or down"),
                        QStringLiteral("The Up and Down keys in the box do the same."));
    ui::NameAfterLabel(PrintSweepsBox, PrintSweepsLabel);
    ui::DescribeControl(PrintSweepsUpDown, QStringLiteral("Epochs between printouts up or down"),
                        QStringLiteral("The Up and Down keys in the box do the same."));
    ui::NameAfterLabel(LRateBox, RateLabel);
    ui::DescribeControl(LRateSlider, QStringLiteral("Learning rate slider"),
                        QStringLiteral("Sets the learning rate from 0 to 2 in steps of 0.01; "
                                       "the arrow keys move it."));
    ui::NameAfterLabel(MinErrorBox, MinErrorLabel);
    ui::DescribeControl(MinErrorSlider, QStringLiteral("Minimum level of error slider"),
                        QStringLiteral("Sets the minimum level of error from 0 to 1 in steps of "
                                       "0.01; the arrow keys move it."));
    for (std::size_t k = 0; k < Picture1.size(); ++k) {
        ui::DescribeControl(Picture1[k], QStringLiteral("Training progress, row %1").arg(k + 1));
    }
    ui::DescribeControl(Continue, QStringLiteral("Continue Training"),
                        QStringLiteral("Trains on from the current weights for the number of "
                                       "epochs in the maximum-epochs box."));
    ui::DescribeControl(TestRecall, QStringLiteral("Test Recall"),
                        QStringLiteral("Goes on to the menu for examining the trained network."));
    ui::DescribeControl(EpochProgress, QStringLiteral("Progress within the epoch"),
                        QStringLiteral("Shown while an epoch takes longer than half a second."));
    // The check boxes stand over their frame's area but belong to the page.
    Check1[0]->raise();
    Check1[1]->raise();
}

}  // namespace pages
