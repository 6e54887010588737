// The sample Tolbe client that scripts/demo installs: it notes in game.log, in its working
// directory, that it started, and with a display shows a small window for a few seconds.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTextStream>
#include <QTimer>

#include <cstdlib>

int main(int argc, char** argv) {
    QFile log(QDir::currentPath() + "/game.log");
    if (log.open(QIODevice::Append | QIODevice::Text)) {
        QTextStream(&log) << "Tolbe sample client started in " << QDir::currentPath() << " at "
                          << QDateTime::currentDateTime().toString(Qt::ISODate) << "\n";
    }
    log.close();

    const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY");
    if (!display) {
        return 0;
    }
    QApplication app(argc, argv);
    QLabel window("Tolbe sample client\n\nThe launcher started me. Closing in a few seconds.");
    window.setAlignment(Qt::AlignCenter);
    window.setWindowTitle("Tolbe");
    window.resize(360, 140);
    window.show();
    QTimer::singleShot(4000, &app, &QApplication::quit);
    return app.exec();
}
