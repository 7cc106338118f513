#pragma once
// Qt Designer's view of AniGifWidget: its place in the widget box ("Animated GIF"), its icon and
// tooltip, the form XML it starts from, and the header uic includes. Widgets it creates in Designer
// are at design time: frame 1 with the dotted outline, nothing plays, and `source` becomes the
// control's stored GIF. Created by a QUiLoader at run time, they play.
#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

namespace anigif {

class AniGifDesignerPlugin : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)

  public:
    explicit AniGifDesignerPlugin(QObject* parent = nullptr);

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override { return false; }
    QWidget* createWidget(QWidget* parent) override;
    bool isInitialized() const override { return initialized_; }
    void initialize(QDesignerFormEditorInterface* core) override;
    QString domXml() const override;

  private:
    bool initialized_ = false;
};

}  // namespace anigif
