#include "support/ui_rig.h"
#include "ui/help_pane.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

using ui_test::WindowRig;

namespace {

const char* const kPageFiles[] = {"OverView.htm", "EnterKey.htm", "CreateString.htm", "Verify.htm", "Misc.htm"};

// A window whose program folder holds the five help pages.
struct HelpRig final {
    HelpRig()
    {
        for (const char* page : kPageFiles)
            QFile::copy(QStringLiteral(QZ_SOURCE_DIR "/resources/") + QLatin1String(page),
                        rig.folder.filePath(QLatin1String(page)));
    }
    QTextBrowser* browser() const { return rig.window->helpBrowser(); }
    QPushButton* closeButton() const { return rig.window->helpCloseButton(); }
    void choose(const char* item) const { rig.window->menuAction(QLatin1String(item))->trigger(); }
    bool paneShown() const { return !browser()->isHidden(); }
    bool buttonShown() const { return !closeButton()->isHidden(); }

    WindowRig rig;
};

// The pane and the button must be the two topmost controls, the button above.
QStringList topTwo(const QWidget* parent)
{
    QStringList names;
    for (QObject* child : parent->children())
        if (child->isWidgetType())
            names << child->objectName();
    return names.mid(names.size() - 2);
}

}  // namespace

class TstHelpPane : public QObject {
    Q_OBJECT

private slots:
    // The pane follows the window's outer size at the moment an item is
    // chosen: left 200, top 2000 twips, 600 twips narrower and 2700 lower.
    void geometry_data()
    {
        QTest::addColumn<QSize>("first");
        QTest::addColumn<QSize>("second");
        QTest::newRow("design size, then larger") << QSize() << QSize(1400, 1100);
        QTest::newRow("larger, then back to design") << QSize(1300, 1000) << QSize();
        QTest::newRow("wide and low") << QSize(1600, 900) << QSize(1200, 1200);
    }
    void geometry()
    {
        QFETCH(QSize, first);
        QFETCH(QSize, second);
        HelpRig help;
        MainWindow& window = *help.rig.window;
        const QSize design = window.size();
        const twips::Placer& placer = window.placer();

        for (const QSize& size : {first, second}) {
            window.resize(size.isValid() ? size : design);
            help.choose("Misc");
            const QSize outer = window.frameGeometry().size();
            QCOMPARE(help.browser()->geometry(), QRect(placer.px(200), placer.px(2000), outer.width() - placer.px(600),
                                                       outer.height() - placer.px(2700)));
            QCOMPARE(help.closeButton()->geometry(), QRect(placer.px(12480), placer.px(2160), placer.px(1575),
                                                           placer.px(495)));
            QVERIFY(help.paneShown());
            QVERIFY(help.buttonShown());
            QCOMPARE(topTwo(help.browser()->parentWidget()), (QStringList{"WebBrowser1", "Helpclose"}));
        }
    }

    void geometryNeverNegative()
    {
        HelpRig help;
        // Below the central widget's minimum the outer size still shrinks
        // for an unshown window; the pane must stay a valid rectangle.
        help.rig.window->setMinimumSize(0, 0);
        help.rig.window->centralWidget()->setMinimumSize(0, 0);
        help.rig.window->resize(20, 20);
        HelpPane* pane = help.rig.window->findChild<HelpPane*>();
        QVERIFY(pane);
        QVERIFY(pane->paneGeometry().width() >= 0);
        QVERIFY(pane->paneGeometry().height() >= 0);
    }

    // Each item loads its own file from the program folder; "Verifying
    // Operation" is Verify.htm, not a file named after its caption.
    void pages_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::newRow("OverView") << "OverView" << "OverView.htm" << "Overview";
        QTest::newRow("Entering Keyboard Keys") << "EnterKey" << "EnterKey.htm" << "";
        QTest::newRow("Creating Output Strings") << "CreateString" << "CreateString.htm" << "";
        QTest::newRow("Verifying Operation") << "VerifyOp" << "Verify.htm" << "";
        QTest::newRow("Miscellaneous") << "Misc" << "Misc.htm" << "Miscellaneous";
    }
    void pages()
    {
        QFETCH(QString, item);
        QFETCH(QString, file);
        QFETCH(QString, title);
        HelpRig help;
        help.choose("OverView");  // another page already open: the item replaces it
        help.choose(item.toLatin1().constData());
        QCOMPARE(help.browser()->source(), QUrl::fromLocalFile(help.rig.folder.filePath(file)));
        QVERIFY(!help.browser()->toPlainText().trimmed().isEmpty());
        QVERIFY(!help.browser()->toPlainText().contains(QStringLiteral("was not found")));
        if (!title.isEmpty())
            QCOMPARE(help.browser()->documentTitle(), title);
    }

    // The verify page shows the two status pictures, found in the program folder.
    void picturesLoad()
    {
        HelpRig help;
        help.choose("VerifyOp");
        QTextDocument* document = help.browser()->document();
        document->documentLayout()->documentSize();  // lays out, which loads the pictures
        for (const char* picture : {"checkmark.gif", "question-mark.gif"}) {
            const QVariant image = document->resource(QTextDocument::ImageResource, QUrl(QLatin1String(picture)));
            QVERIFY2(image.isValid(), picture);
        }
    }

    // The button and Help > Close are one command: both leave pane and button
    // hidden and the page loaded, and a later item shows the pane again.
    void closing_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("Close Help button") << true;
        QTest::newRow("Help > Close") << false;
    }
    void closing()
    {
        QFETCH(bool, byButton);
        HelpRig help;
        help.choose("EnterKey");
        const QUrl page = help.browser()->source();
        if (byButton)
            help.closeButton()->click();
        else
            help.choose("CloseHelp");
        QVERIFY(!help.paneShown());
        QVERIFY(!help.buttonShown());
        QCOMPARE(help.browser()->source(), page);

        help.choose("CloseHelp");  // closing a closed pane changes nothing
        QVERIFY(!help.paneShown());
        QVERIFY(!help.buttonShown());

        help.choose("Misc");
        QVERIFY(help.paneShown());
        QVERIFY(help.buttonShown());
    }

    // A missing page gives a plain notice naming it; once the file is back,
    // choosing the same item shows the page again.
    void missingPage()
    {
        HelpRig help;
        help.choose("CreateString");
        const QString path = help.rig.folder.filePath(QStringLiteral("CreateString.htm"));
        const QString saved = path + QStringLiteral(".away");
        QVERIFY(QFile::rename(path, saved));

        help.choose("CreateString");
        QVERIFY(help.paneShown());
        QCOMPARE(help.browser()->toPlainText(), HelpPane::missingNotice(path));
        QVERIFY(help.rig.messages.infos.isEmpty());

        QVERIFY(QFile::rename(saved, path));
        help.choose("CreateString");
        QCOMPARE(help.browser()->source(), QUrl::fromLocalFile(path));
        QVERIFY(!help.browser()->toPlainText().contains(QStringLiteral("was not found")));
    }

    void missingFolder()
    {
        HelpRig help;
        for (const char* page : kPageFiles)
            QFile::remove(help.rig.folder.filePath(QLatin1String(page)));
        for (const HelpPane::Page& page : HelpPane::kPages) {
            help.choose(page.item);
            QVERIFY(help.browser()->toPlainText().contains(QLatin1String(page.file)));
        }
    }
};

QTEST_MAIN(TstHelpPane)
#include "tst_help_pane.moc"
