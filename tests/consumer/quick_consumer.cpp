// A Qt Quick program that imports the installed QML module: plays a GIF in an AniGifImage, steps
// it and checks what QML reads back.
//   quick_consumer GIF
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QUrl>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) return 2;
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral(ANIGIF_QML_IMPORT_DIR));
    QQmlComponent component(&engine);
    component.setData(
        "import AniGif 1.0\n"
        "AniGifImage { stretch: AniGifImage.StretchFill; width: 20; height: 20 }",
        QUrl());
    std::unique_ptr<QObject> gif(component.create());
    if (!gif) {
        std::fprintf(stderr, "quick_consumer: %s\n", qPrintable(component.errorString()));
        return 1;
    }
    gif->setProperty("source", QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    QMetaObject::invokeMethod(gif.get(), "step");
    const int status = gif->property("status").toInt();
    const int frames = gif->property("frameCount").toInt();
    std::printf("quick_consumer: status %d, %d frames, frame %d\n", status, frames,
                gif->property("currentFrame").toInt());
    return status == 1 && frames > 0 ? 0 : 1;  // 1: Ready
}
