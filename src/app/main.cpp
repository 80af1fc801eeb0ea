#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("QZ4VELD CONFIGURATION v1.02"));
    window.show();
    return app.exec();
}
