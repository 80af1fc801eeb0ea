#include "ui/window_layout.h"

#include "ui/controls.h"
#include "ui/labelled_combo_accessible.h"
#include "ui/twips.h"
#include "ui/ui_style.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextEdit>

using controls::makeButton;
using controls::makeLabel;

namespace window_layout {

void buildRowHeadings(QWidget* central, const twips::Placer& placer)
{
    for (int column = 0; column < 2; ++column) {
        const int shift = column * 7560;
        const QString index = QString::number(column);
        QLabel* key = makeLabel(central, placer, "", QStringLiteral("Keyboard Key"), 840 + shift, 1020, 1095, 480);
        key->setObjectName(QStringLiteral("Label2_") + index);
        QLabel* string = makeLabel(central, placer, "", QStringLiteral("QZ4VELD RS232 Output String"), 1920 + shift,
                                   1200, 4575, 300);
        string->setObjectName(QStringLiteral("Label4_") + index);
        QLabel* length = makeLabel(central, placer, "", QStringLiteral("String Length"), 6480 + shift, 1020, 855, 480);
        length->setObjectName(QStringLiteral("Label6_") + index);
        for (QLabel* heading : {key, string, length}) {
            heading->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            heading->setWordWrap(true);
        }

        auto* rule = new QFrame(central);
        rule->setObjectName(QStringLiteral("Line1_") + index);
        rule->setFrameShape(QFrame::VLine);
        rule->setFrameShadow(QFrame::Plain);
        const int x = column == 0 ? 120 : 7440;
        rule->setGeometry(placer.px(x) - 1, placer.px(1560), 2, placer.px(7200 - 1560));
    }
}

Controls buildControls(QWidget* central, const twips::Placer& placer)
{
    QLabel* maker = makeLabel(central, placer, "Label10", QStringLiteral("Quorvane"), 6840, 0, 1575, 375);
    maker->setFont(ui_style::decorativeFont(14.25, true));
    maker->setAlignment(Qt::AlignCenter);
    QLabel* title = makeLabel(central, placer, "Label1", QStringLiteral("QZ4VELD KEY-OUTPUT CONFIGURATION"), 3960, 480,
                              8055, 375);
    title->setFont(ui_style::sansFont(18, true));
    title->setAlignment(Qt::AlignCenter);

    Controls made;
    made.previousPage =
            makeButton(central, placer, "PreviousPage", QStringLiteral("<<< PreviousPage"), {}, 4680, 7440, 2175, 375);
    made.nextPage = makeButton(central, placer, "NextPage", QStringLiteral("NextPage >>>"), {}, 8040, 7440, 2055, 375);

    QLabel* lengthCaption = makeLabel(central, placer, "Label12", QStringLiteral("Maximum Override String Length"), 360,
                                      7560, 3855, 255);
    labelled_combo_accessible::install();  // named by its caption for a screen reader, not by its entry
    made.strConfig = new QComboBox(central);
    lengthCaption->setBuddy(made.strConfig);
    made.strConfig->setObjectName(QStringLiteral("StrConfig"));
    made.strConfig->setAccessibleName(QStringLiteral("Maximum Override String Length"));
    made.strConfig->setFont(ui_style::sansFont(ui_style::kBasePoints, true));
    placer.place(made.strConfig, 360, 7920, 3495, 360);

    makeLabel(central, placer, "Label5", QStringLiteral("Communication Details"), 8040, 7920, 3015, 255);

    made.read = makeButton(central, placer, "Read", QStringLiteral("Read Key Outputs From QZ4VELD"),
                           QStringLiteral("Read QZ4VEL key outputs and write to screen"), 360, 8640, 2175, 615);
    made.send = makeButton(central, placer, "Send", QStringLiteral("Send Key Outputs To QZ4VELD"),
                           QStringLiteral("Send all output strings to QZ4VEL"), 3120, 8640, 2055, 615);
    made.verify = makeButton(central, placer, "VerifyBtn", QStringLiteral("Verify Key Outputs  in QZ4VELD"),
                             QStringLiteral("Verify that QZ4VEL values match those on-screen"), 5760, 8640, 2055, 615);
    made.version = makeButton(central, placer, "GetVersionBtn", QStringLiteral("Get QZ4VELD Version"), {}, 6120, 9720,
                              1695, 615);

    // The row counter, never shown nor filled; kept for automation that looks it up.
    makeLabel(central, placer, "Label13", QString(), 0, 0, 615, 255)->setVisible(false);
    return made;
}

SettingsFrame buildSettingsFrame(QWidget* central, const twips::Placer& placer)
{
    auto* frame = new QGroupBox(QStringLiteral("Settings"), central);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFont(ui_style::sansFont(8.25, false));
    // A little taller than its caption and two lines of labels need at the
    // fonts used here, so that the lower line clears the frame's border.
    placer.place(frame, 240, 9660, 5775, 780);

    // The frame's caption takes the top of the frame; its two lines of labels
    // sit below it.
    constexpr int kBelowCaption = 300;
    constexpr int kRow = 225;
    auto frameLabel = [&](const char* name, const QString& caption, int left, int top, int width) {
        QLabel* label = makeLabel(frame, placer, name, caption, left, top + kBelowCaption, width, kRow);
        label->setFont(ui_style::sansFont(8.25, true));
        return label;
    };
    // Each value is labelled by its caption for a screen reader.
    auto captioned = [&](const char* captionName, const QString& caption, int left, const char* valueName,
                         const QString& value, int valueLeft, int top, int captionWidth, int valueWidth) {
        QLabel* captionLabel = frameLabel(captionName, caption, left, top, captionWidth);
        QLabel* valueLabel = frameLabel(valueName, value, valueLeft, top, valueWidth);
        captionLabel->setBuddy(valueLabel);
        return valueLabel;
    };
    SettingsFrame made;
    made.port = captioned("Label9", QStringLiteral("PORT:"), 120, "CommLabel", QString(), 840, 0, 720, 720);
    made.baud = captioned("Label7", QStringLiteral("BAUD RATE:"), 1560, "BaudLabel", QString(), 2760, 0, 1200, 840);
    made.parity = captioned("Label8", QStringLiteral("PARITY:"), 3600, "ParityLabel", QString(), 4560, 0, 960, 1095);
    made.configFile = captioned("Label11", QStringLiteral("CONFIG FILE:"), 120, "CfgLabel", QStringLiteral("None"),
                                1560, 210, 1440, 4095);
    return made;
}

HiddenPanes buildHiddenPanes(QWidget* central, const twips::Placer& placer)
{
    HiddenPanes made;
    made.notes = new QTextEdit(central);
    made.notes->setObjectName(QStringLiteral("StrDes"));
    made.notes->setAccessibleName(QStringLiteral("String notes"));
    made.notes->setAcceptRichText(false);
    QPalette yellow = made.notes->palette();
    yellow.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xC0));
    made.notes->setPalette(yellow);
    made.notes->setVisible(false);

    made.notesPointer = new QFrame(central);
    made.notesPointer->setObjectName(QStringLiteral("StrLine"));
    made.notesPointer->setFrameShape(QFrame::HLine);
    made.notesPointer->setFrameShadow(QFrame::Plain);
    made.notesPointer->setVisible(false);

    made.help = new QTextBrowser(central);
    made.help->setObjectName(QStringLiteral("WebBrowser1"));
    made.help->setAccessibleName(QStringLiteral("Help"));
    made.help->setVisible(false);

    made.helpClose = makeButton(central, placer, "Helpclose", QStringLiteral("Close Help"), {}, 12480, 2160, 1575, 495);
    QPalette grey = made.helpClose->palette();
    grey.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
    made.helpClose->setPalette(grey);
    made.helpClose->setVisible(false);
    return made;
}

}  // namespace window_layout
