#include "ani_gif_designer_plugin.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include "anigif/ani_gif_widget.h"

namespace anigif {

AniGifDesignerPlugin::AniGifDesignerPlugin(QObject* parent) : QObject(parent) {}

QString AniGifDesignerPlugin::name() const {
    return QStringLiteral("anigif::AniGifWidget");
}

QString AniGifDesignerPlugin::group() const {
    return QStringLiteral("Animated GIF");
}

QString AniGifDesignerPlugin::toolTip() const {
    return QStringLiteral("Animated GIF: plays a GIF from a file, a resource or a URL");
}

QString AniGifDesignerPlugin::whatsThis() const {
    return QStringLiteral(
        "Shows an animated GIF with its transparency, stretched, mirrored or offset, with loop "
        "count and frame delays under control. Set 'source' to a file, a resource (:/...) or a "
        "URL; in the form editor it shows frame 1 and does not play.");
}

QString AniGifDesignerPlugin::includeFile() const {
    return QStringLiteral("anigif/ani_gif_widget.h");
}

QIcon AniGifDesignerPlugin::icon() const {
    // Three film frames, the middle one lit: drawn, so the plugin carries no image files.
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    const QColor fills[] = {QColor(170, 190, 220), QColor(250, 180, 40), QColor(170, 190, 220)};
    for (int k = 0; k < 3; ++k) {
        p.setBrush(fills[k]);
        p.drawRoundedRect(QRectF(1.5 + 7 * k, 5.5, 5, 11), 1, 1);
    }
    p.end();
    return QIcon(pixmap);
}

QWidget* AniGifDesignerPlugin::createWidget(QWidget* parent) {
    // Designer initialises its plugins before it creates widgets: those are at design time. A
    // QUiLoader building a form at run time does not, and its widgets play.
    auto* widget = new AniGifWidget(parent);
    widget->setUserMode(!initialized_);
    return widget;
}

void AniGifDesignerPlugin::initialize(QDesignerFormEditorInterface* /*core*/) {
    initialized_ = true;
}

QString AniGifDesignerPlugin::domXml() const {
    // `source` is a path or URL: stored untranslated, so uic sets it as it stands.
    return QStringLiteral(R"(<ui language="c++" displayname="AniGifWidget">
 <widget class="anigif::AniGifWidget" name="aniGifWidget">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>100</width><height>100</height></rect>
  </property>
 </widget>
 <customwidgets>
  <customwidget>
   <class>anigif::AniGifWidget</class>
   <propertyspecifications>
    <stringpropertyspecification name="source" notr="true" type="singleline"/>
   </propertyspecifications>
  </customwidget>
 </customwidgets>
</ui>
)");
}

}  // namespace anigif
