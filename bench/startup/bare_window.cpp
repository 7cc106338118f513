// The floor for Kavrilo's start-up: a bare Qt program that shows the main window's background
// picture in a window of the same size, read the same way (the drawing for the screen's pixel
// density, NAME@2x.EXT above ratio 1), and nothing else. With --text it also shows one label of
// Chinese text in the window's font: the least any window with text pays on top (the font
// database, a CJK font face, shaping), which Kavrilo's own window cannot avoid.
//   startup-bare <picture folder> [--text]
#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QWidget>

namespace {

class BareWindow : public QWidget {
  public:
    BareWindow(const QString& pictures, bool text) {
        setWindowTitle(QStringLiteral("startup-bare"));
        setFixedSize(468, 347);
        if (text) (new QLabel(QStringLiteral("请先设置要分解数字"), this))->move(20, 300);
        const qreal ratio = devicePixelRatioF();
        QImageReader reader(QDir(pictures).filePath(ratio > 1 ? QStringLiteral("bj3@2x.jpg")
                                                              : QStringLiteral("bj3.jpg")));
        background_ = QPixmap::fromImage(reader.read());
        background_.setDevicePixelRatio(ratio > 1 ? 2 : 1);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap(0, 0, background_);
    }

  private:
    QPixmap background_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool text = argc == 3 && QByteArray(argv[2]) == "--text";
    if (argc != 2 && !text) return 2;
    BareWindow window(QString::fromLocal8Bit(argv[1]), text);
    window.show();
    return QApplication::exec();
}
