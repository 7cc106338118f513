#include "platform/qt/chinese_ui.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>
#include <memory>

namespace platform::qt {

namespace {
QFont fontWith(const QStringList& families, qreal pointSize) {
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}
}  // namespace

QFont heiFont(qreal pointSize) {
    return fontWith({QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"),
                     QStringLiteral("SimHei"), QStringLiteral("Source Han Sans SC")},
                    pointSize);
}

QFont songFont(qreal pointSize) {
    return fontWith({QStringLiteral("Noto Serif CJK SC"), QStringLiteral("SimSun"),
                     QStringLiteral("AR PL UMing CN"), QStringLiteral("Source Han Serif SC"),
                     QStringLiteral("WenQuanYi Zen Hei")},
                    pointSize);
}

bool installChineseTranslation(QCoreApplication& app) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    translator->setParent(&app);  // the application owns it from here on
    return QCoreApplication::installTranslator(translator.release());
}

}  // namespace platform::qt
