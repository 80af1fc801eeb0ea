#include "support/ui_rig.h"
#include "ui/help_pane.h"

#include <QFile>
#include <QTextBrowser>
#include <QtTest>

// A window whose program folder holds the five help pages.
struct HelpRig final {
    HelpRig()
    {
        for (const HelpPane::Page& page : HelpPane::kPages)
            QFile::copy(QStringLiteral(QZ_SOURCE_DIR "/resources/") + QLatin1String(page.file),
                        rig.folder.filePath(QLatin1String(page.file)));
    }
    QTextBrowser* browser() const { return rig.find<QTextBrowser>("WebBrowser1"); }
    QPushButton* button() const { return rig.find<QPushButton>("Helpclose"); }
    // Shown, and the two topmost controls with the button above the pane.
    bool shownOnTop() const
    {
        QStringList names;
        for (QObject* child : browser()->parentWidget()->children())
            if (child->isWidgetType())
                names << child->objectName();
        return !browser()->isHidden() && !button()->isHidden()
                && names.mid(names.size() - 2) == QStringList{"WebBrowser1", "Helpclose"};
    }
    ui_test::WindowRig rig;
};

class TstHelpPane : public QObject {
    Q_OBJECT

private slots:
    // Each item loads its own file, also over another open page ("Verifying Operation" is Verify.htm),
    // at left 200, top 2000 twips, 600 twips narrower and 2700 lower than the window's outer size at
    // the moment of the choice. The button and Help > Close leave the same state.
    void pages_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("byButton");
        QTest::addColumn<QSize>("size");  // empty: as opened
        QTest::newRow("OverView") << "OverView"
                                  << "OverView.htm" << true << QSize();
        QTest::newRow("Entering Keyboard Keys") << "EnterKey"
                                                << "EnterKey.htm" << false << QSize(1600, 900);
        QTest::newRow("Creating Output Strings") << "CreateString"
                                                 << "CreateString.htm" << true << QSize(1200, 1200);
        QTest::newRow("Verifying Operation") << "VerifyOp"
                                             << "Verify.htm" << false << QSize();
        QTest::newRow("Miscellaneous") << "Misc"
                                       << "Misc.htm" << true << QSize();
    }
    void pages()
    {
        QFETCH(QString, item);
        QFETCH(QString, file);
        QFETCH(bool, byButton);
        QFETCH(QSize, size);
        HelpRig help;
        MainWindow& window = *help.rig.window;
        const twips::Placer at(window.logicalDpiX());
        help.rig.run("Misc");
        if (size.isValid())
            window.resize(size);
        help.rig.run(qPrintable(item));
        const QSize outer = window.frameGeometry().size();
        QCOMPARE(help.browser()->geometry(),
                 QRect(at.px(200), at.px(2000), outer.width() - at.px(600), outer.height() - at.px(2700)));
        QCOMPARE(help.button()->geometry(), QRect(at.px(12480), at.px(2160), at.px(1575), at.px(495)));
        const QUrl page = QUrl::fromLocalFile(help.rig.folder.filePath(file));
        QCOMPARE(help.browser()->source(), page);
        QVERIFY(help.browser()->toPlainText().size() > 100);
        byButton ? help.button()->click() : help.rig.run("CloseHelp");
        QVERIFY(help.browser()->isHidden() && help.button()->isHidden());
        QCOMPARE(help.browser()->source(), page);
        help.rig.run("OverView");
        QVERIFY(help.shownOnTop());
        // A missing page gives a notice naming it, no message box; once back, the item shows the page again.
        const QString path = help.rig.folder.filePath(file);
        QVERIFY(QFile::rename(path, path + QStringLiteral(".away")));
        help.rig.run(qPrintable(item));
        QVERIFY(help.shownOnTop() && help.rig.messages.infos.isEmpty());
        QCOMPARE(help.browser()->toPlainText(), HelpPane::missingNotice(path));
        QVERIFY(QFile::rename(path + QStringLiteral(".away"), path));
        help.rig.run(qPrintable(item));
        QVERIFY(!help.browser()->toPlainText().contains(QStringLiteral("was not found")));
    }
};

QTEST_MAIN(TstHelpPane)
#include "tst_help_pane.moc"
