// Plays a GIF in a QML window: anigif-qml-example [--quit-after-loop] FILE.gif
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QUrl>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool quitAfterLoop = args.removeAll(QStringLiteral("--quit-after-loop")) > 0;
    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(
        QStringLiteral("gifFile"), args.isEmpty() ? QUrl() : QUrl::fromLocalFile(args.first()));
    engine.rootContext()->setContextProperty(QStringLiteral("quitAfterLoop"), quitAfterLoop);
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app,
        [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/AniGifExample/Main.qml")));
    return app.exec();
}
