// The start-up baseline: a minimal Qt program that shows an empty main window of KELDA's size.
#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(800, 600);
    window.show();
    // The same hook as KELDA's: leave as soon as the loop is idle after the window is shown.
    if (qEnvironmentVariableIsSet("KELDA_QUIT_WHEN_IDLE"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
