#pragma once
// The viewer's main window: the control on a checkered stage that zooms and scrolls, frame
// navigation on the keys image viewers use, the other GIFs of the folder on Page Up and Page
// Down, exports as PNG, a panel of the control's properties (each with the control's help
// string as tooltip), the frame counters and a log of the events as they are raised.
#include <QByteArray>
#include <QMainWindow>
#include <QString>
#include <QStringList>

class QAction;
class QCheckBox;
class QComboBox;
class QDockWidget;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QToolBar;
class QDragEnterEvent;
class QDropEvent;

namespace anigif {
class AniGifWidget;
}

namespace viewer {

class PalettePanel;

class ViewerWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit ViewerWindow(QWidget* parent = nullptr);
    ~ViewerWindow() override;

    // Opens a local file, or downloads an address with a scheme other than file:. Page Up and
    // Page Down then walk the other GIFs of the file's folder.
    void open(const QString& fileOrAddress);
    // Opens the first of several files; Page Up and Page Down walk these. One file: as open().
    void openFiles(const QStringList& files);

    // The GIFs of a file's folder in file-name order (numbers by value), the file among them.
    static QStringList gifsBeside(const QString& file);

    // The zoom on show (1 = 100 %): the control's size against the picture's.
    double zoom() const;
    bool fitsWindow() const { return fit_; }

    // Writes the composed current frame at 1:1, with its transparency, as a PNG file.
    bool exportPicture(const QString& pngPath, QString* why = nullptr);
    // Writes every frame, composed, as <base>-0001.png ... into `folder`, with a progress
    // dialog when `withProgress`. The number written; fewer when cancelled or failed.
    int exportFrames(const QString& folder, bool withProgress, QString* why = nullptr);

    anigif::AniGifWidget* gifWidget() const { return gif_; }

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildMenus();
    QWidget* buildPanel();
    void openFileDialog();
    void openAddressDialog();
    void openLocal(const QString& path);
    // ok: the load of `what` succeeded; otherwise `why` says what went wrong.
    void loaded(bool ok, const QString& what, const QString& why = QString());
    void syncPanel();
    void updateCounters();
    void applyControlSize();
    void chooseSolidColour();

    // Navigation.
    void togglePlay();
    void goToFrameDialog();
    void showSibling(int direction);

    // Zoom: fit (to the window) or a factor; the control draws it, stretched to that size.
    void setZoom(double factor);
    void zoomBy(int steps);
    void setFit();
    void applyZoom();
    void toggleFullScreen(bool on);

    // Exports with dialogs.
    void exportPictureDialog();
    void exportFramesDialog();
    // A hidden control holding the same GIF and settings, for composing frames to save.
    bool makeExportCopy(anigif::AniGifWidget& copy, QString* why);

    void remember(const QString& path);
    void rebuildRecentMenu();
    QString lastFolder() const;
    void setLastFolder(const QString& folder);

    anigif::AniGifWidget* gif_ = nullptr;
    QWidget* stage_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    PalettePanel* palettePanel_ = nullptr;
    QWidget* panel_ = nullptr;
    QList<QDockWidget*> docks_;
    QList<QToolBar*> toolBars_;
    QList<QDockWidget*> docksShown_;  // the docks to show again after full screen

    QComboBox* stretch_ = nullptr;
    QComboBox* mirrored_ = nullptr;
    QSpinBox* loops_ = nullptr;
    QSpinBox* minDelay_ = nullptr;
    QSpinBox* steppedDelay_ = nullptr;
    QSpinBox* offsetX_ = nullptr;
    QSpinBox* offsetY_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QCheckBox* solidUsed_ = nullptr;
    QPushButton* solidColour_ = nullptr;
    QCheckBox* cancelRemote_ = nullptr;
    QCheckBox* logMoves_ = nullptr;

    QAction* fullScreen_ = nullptr;
    QAction* leaveFullScreen_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QList<QAction*> needsPicture_;  // enabled while a local GIF is loaded

    QString download_;   // the address of the last download started
    QString path_;       // the local file on show; empty for a download or nothing
    QString attempted_;  // the last local file opened, loaded or not
    QByteArray bytes_;   // its bytes, for exports
    QStringList files_;  // what Page Up and Page Down walk
    bool fit_ = true;
    double zoom_ = 1.0;
    bool zoomOwned_ = true;  // false once the panel's stretch or size took over

    QLabel* message_ = nullptr;
    QLabel* frame_ = nullptr;
    QLabel* loopsRemaining_ = nullptr;
    QLabel* size_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
};

}  // namespace viewer
