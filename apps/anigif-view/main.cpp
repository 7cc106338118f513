// anigif-view [FILE.gif | ADDRESS]: plays a GIF on the animated-GIF control and lets its
// properties be changed while it plays.
#include <QApplication>
#include <QStringList>

#include "apps/anigif-view/viewer_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("anigif-view"));
    viewer::ViewerWindow window;
    window.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) window.open(args.at(1));
    return QApplication::exec();
}
