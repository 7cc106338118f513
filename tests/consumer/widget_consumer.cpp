// Plays a GIF with AniGif::Widget through Qt's meta-object system only: properties set by
// name, frameChanged connected by name. Exit 0 when frames advance on the widget's timer.
#include <anigif/ani_gif_widget.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>

class FrameCounter : public QObject {
    Q_OBJECT
  public:
    int timerFrames = 0;
  public slots:
    void onFrame(int /*frameIndex*/, bool viaTimer) {
        if (viaTimer) ++timerFrames;
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: widget_consumer FILE.gif\n");
        return 2;
    }
    anigif::AniGifWidget gif;
    gif.resize(40, 40);
    gif.setProperty("stretch", QStringLiteral("StretchFill"));
    gif.setProperty("source", QString::fromLocal8Bit(argv[1]));
    gif.setProperty("minFrameDelay", 10);
    FrameCounter counter;
    QObject::connect(&gif, SIGNAL(frameChanged(int, bool)), &counter, SLOT(onFrame(int, bool)));
    gif.show();
    QTimer::singleShot(3000, &app, &QApplication::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (counter.timerFrames >= 3) app.quit();
    });
    poll.start(20);
    app.exec();
    const int frames = gif.property("frameCount").toInt();
    std::printf("widget_consumer: %d frames, %d advanced by the timer, %dx%d\n", frames,
                counter.timerFrames, gif.width(), gif.height());
    return frames > 1 && counter.timerFrames >= 3 ? 0 : 1;
}

#include "widget_consumer.moc"
