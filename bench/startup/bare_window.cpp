// The floor for Kavrilo's start-up: a bare Qt program that shows the main window's background
// picture in a window of the same size, read the same way (the drawing for the screen's pixel
// density, NAME@2x.EXT above ratio 1), and nothing else.
//   startup-bare <picture folder>
#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QWidget>

namespace {

class BareWindow : public QWidget {
  public:
    explicit BareWindow(const QString& pictures) {
        setWindowTitle(QStringLiteral("startup-bare"));
        setFixedSize(468, 347);
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
    if (argc != 2) return 2;
    BareWindow window(QString::fromLocal8Bit(argv[1]));
    window.show();
    return QApplication::exec();
}
