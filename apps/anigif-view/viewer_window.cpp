#include "apps/anigif-view/viewer_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "anigif/ani_gif_control.h"
#include "anigif/ani_gif_widget.h"
#include "apps/anigif-view/palette_panel.h"
#include "platform/memory_budget.h"

namespace viewer {
namespace {

constexpr int kStageMargin = 16;
constexpr int kRecentFiles = 10;
// Zoom steps of + and -, and the range of any zoom.
constexpr double kZoomSteps[] = {1.0 / 32, 1.0 / 16, 1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3, 1.0 / 2,
                                 2.0 / 3,  1.0,      1.5,     2.0,     3.0,     4.0,     6.0,
                                 8.0,      12.0,     16.0,    24.0,    32.0};
constexpr double kZoomLowest = 1.0 / 10000;
constexpr double kZoomHighest = 32.0;
// Beyond this many pixels a side the control is not enlarged further.
constexpr double kLargestSide = 1 << 20;

QString help(const char* member) {
    const std::string_view text = anigif::AniGifControl::helpString(member);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A grey checkerboard, so that transparent parts of the picture are easy to tell.
QBrush checkerBrush() {
    QPixmap tile(16, 16);
    tile.fill(QColor(204, 204, 204));
    QPainter p(&tile);
    p.fillRect(0, 0, 8, 8, QColor(255, 255, 255));
    p.fillRect(8, 8, 8, 8, QColor(255, 255, 255));
    return QBrush(tile);
}

QString argText(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case QMetaType::Float:
        case QMetaType::Double:
            return QString::number(v.toDouble());
        default:
            return QString::number(v.toLongLong());
    }
}

// The names of each event's arguments, in the order the control passes them (the control's own
// names, as a programmer reads them in its documentation: not translated).
QStringList argNames(int event) {
    switch (event) {
        case anigif::EventMouseDown:
        case anigif::EventMouseUp:
        case anigif::EventMouseMove:
            return {QStringLiteral("Button"), QStringLiteral("Shift"), QStringLiteral("X"),
                    QStringLiteral("Y")};
        case anigif::EventFrameChanged:
            return {QStringLiteral("FrameIndex"), QStringLiteral("viaTimer")};
        case anigif::EventRemoteLoadComplete:
            return {QStringLiteral("gifWidth"), QStringLiteral("gifHeight"),
                    QStringLiteral("Cancel")};
        default:
            return {};
    }
}

// Keeps the stage large enough for the control and the control in its middle, and the size
// fields in step with the control.
class StageFollower : public QObject {
  public:
    StageFollower(QWidget* stage, QWidget* gif, std::function<void()> changed)
        : QObject(gif), stage_(stage), gif_(gif), changed_(std::move(changed)) {
        stage_->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Resize) return false;
        if (watched == gif_) {
            stage_->setMinimumSize(gif_->width() + 2 * kStageMargin,
                                   gif_->height() + 2 * kStageMargin);
            changed_();
        }
        gif_->move(std::max(kStageMargin, (stage_->width() - gif_->width()) / 2),
                   std::max(kStageMargin, (stage_->height() - gif_->height()) / 2));
        return false;
    }

  private:
    QWidget* stage_;
    QWidget* gif_;
    std::function<void()> changed_;
};

// Why a file did not load, as far as can be told from outside the control.
QString loadFailure(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return ViewerWindow::tr("there is no such file.");
    if (!info.isFile()) return ViewerWindow::tr("it is not a file.");
    if (!info.isReadable()) return ViewerWindow::tr("the file cannot be read.");
    if (info.size() == 0) return ViewerWindow::tr("the file is empty.");
    if (static_cast<quint64>(info.size()) > platform::memoryBudgetBytes())
        return ViewerWindow::tr("the file is larger than the control loads (%1 MiB).")
            .arg(platform::memoryBudgetBytes() >> 20);
    return ViewerWindow::tr("it is not a GIF picture the control can play.");
}

// File-name order as file managers show it: case aside, and runs of digits by their value
// (frame2 before frame10). QCollator's numeric mode needs ICU, which a build may lack.
int compareFileNames(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit()) ++ei;
            while (ej < b.size() && b[ej].isDigit()) ++ej;
            // Leading zeros aside, a longer run is the larger number.
            QStringView da = QStringView(a).mid(i, ei - i), db = QStringView(b).mid(j, ej - j);
            while (da.size() > 1 && da.front() == u'0') da = da.mid(1);
            while (db.size() > 1 && db.front() == u'0') db = db.mid(1);
            if (da.size() != db.size()) return da.size() < db.size() ? -1 : 1;
            if (const int c = da.compare(db); c != 0) return c;
            i = ei;
            j = ej;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    return (a.size() - i > 0) - (b.size() - j > 0);
}

bool isGifName(const QString& name) {
    return name.endsWith(QStringLiteral(".gif"), Qt::CaseInsensitive);
}

QSettings settings() {
    return QSettings(QStringLiteral("kavrilo"), QStringLiteral("anigif-view"));
}

}  // namespace

// The widget is a child, deleted by QWidget's destructor after this class's part of the window
// is gone, and it still signals while it stops: nothing of that may reach this window.
ViewerWindow::~ViewerWindow() {
    if (gif_) QObject::disconnect(gif_, nullptr, this, nullptr);
}

ViewerWindow::ViewerWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("anigif-view"));
    setAcceptDrops(true);

    stage_ = new QWidget;
    QPalette palette = stage_->palette();
    palette.setBrush(QPalette::Window, checkerBrush());
    stage_->setPalette(palette);
    stage_->setAutoFillBackground(true);
    gif_ = new anigif::AniGifWidget(stage_);
    gif_->move(kStageMargin, kStageMargin);
    gif_->resize(200, 200);
    // The viewer sizes the control itself (zoom) and has it stretch the picture to that size.
    gif_->setStretch(anigif::AniGifWidget::StretchFill);
    gif_->installEventFilter(new StageFollower(stage_, gif_, [this] {
        if (width_ == nullptr) return;
        const QSignalBlocker bw(width_), bh(height_);
        width_->setValue(gif_->width());
        height_->setValue(gif_->height());
        updateCounters();
    }));

    scroll_ = new QScrollArea;
    scroll_->setWidget(stage_);
    scroll_->setWidgetResizable(true);
    scroll_->setFocusPolicy(Qt::StrongFocus);
    scroll_->viewport()->installEventFilter(this);

    // Why the last load failed, above the picture; hidden while a load succeeds.
    message_ = new QLabel;
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setStyleSheet(
        QStringLiteral("QLabel { background: #fde7e7; color: #8a1010; border: 1px solid #e0a0a0; "
                       "padding: 6px; }"));
    message_->hide();
    auto* picture = new QWidget;
    auto* pictureLayout = new QVBoxLayout(picture);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    pictureLayout->setSpacing(0);
    pictureLayout->addWidget(message_);
    pictureLayout->addWidget(scroll_, 1);

    log_ = new QPlainTextEdit;
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(2000);
    log_->setPlaceholderText(tr("Events appear here as the control raises them."));

    // The picture takes the room; settings beside it, events and palette in docks.
    auto* central = new QSplitter(Qt::Horizontal);
    central->addWidget(picture);
    panel_ = buildPanel();
    central->addWidget(panel_);
    central->setStretchFactor(0, 1);
    central->setStretchFactor(1, 0);
    central->setCollapsible(0, false);
    central->setSizes({600, panel_->sizeHint().width()});
    setCentralWidget(central);

    auto* eventsDock = new QDockWidget(tr("Events"), this);
    eventsDock->setObjectName(QStringLiteral("events"));
    eventsDock->setWidget(log_);
    addDockWidget(Qt::BottomDockWidgetArea, eventsDock);
    resizeDocks({eventsDock}, {150}, Qt::Vertical);

    frame_ = new QLabel;
    frame_->setToolTip(help("CurrentFrame"));
    loopsRemaining_ = new QLabel;
    loopsRemaining_->setToolTip(help("LoopsRemaining"));
    size_ = new QLabel;
    size_->setToolTip(help("ActualWidth"));
    zoomLabel_ = new QLabel;
    statusBar()->addWidget(frame_);
    statusBar()->addWidget(loopsRemaining_);
    statusBar()->addWidget(size_);
    statusBar()->addWidget(zoomLabel_);

    auto* paletteDock = new QDockWidget(tr("Palette"), this);
    paletteDock->setObjectName(QStringLiteral("palette"));
    palettePanel_ = new PalettePanel(gif_, paletteDock);
    paletteDock->setWidget(palettePanel_);
    addDockWidget(Qt::RightDockWidgetArea, paletteDock);
    docks_ = {eventsDock, paletteDock};

    buildMenus();

    connect(gif_, &anigif::AniGifWidget::remoteGifArrived, this,
            [this](const QSize&, bool* cancel) {
                if (cancelRemote_->isChecked()) *cancel = true;
            });
    connect(gif_, &anigif::AniGifWidget::controlEvent, this,
            [this](int number, const QString& name, const QVariantList& args) {
                if (number == anigif::EventMouseMove && !logMoves_->isChecked()) return;
                const QStringList names = argNames(number);
                QStringList parts;
                for (qsizetype i = 0; i < args.size(); ++i)
                    parts << QStringLiteral("%1=%2").arg(i < names.size() ? names[i] : QString(),
                                                         argText(args[i]));
                log_->appendPlainText(
                    QStringLiteral("%1(%2)").arg(name, parts.join(QStringLiteral(", "))));
                if (number == anigif::EventFrameChanged || number == anigif::EventLoopsEnded ||
                    number == anigif::EventRemoteLoadComplete)
                    updateCounters();
            });
    connect(gif_, &anigif::AniGifWidget::actionChanged, this, [this] { updateCounters(); });
    // A remote GIF is loaded after its RemoteLoadComplete: take its settings then.
    connect(gif_, &anigif::AniGifWidget::remoteLoadFailure, this, [this] {
        loaded(false, download_, tr("the download failed, or what came is not a GIF picture."));
    });
    connect(gif_, &anigif::AniGifWidget::remoteLoadComplete, this, [this] {
        // The control loads the bytes once the event has returned.
        const bool refused = cancelRemote_->isChecked();
        QTimer::singleShot(0, this, [this, refused] {
            const bool ok = gif_->frameCount() > 0;
            loaded(ok, download_,
                   refused ? tr("the download was refused (Cancel).")
                           : tr("the downloaded GIF has no frame the control can play."));
        });
    });

    syncPanel();
    updateCounters();
    // The size of the last run; else the screen's free area with room for the title bar and
    // frame (on a 1366 x 768 screen the window takes 1180 x 680).
    if (!restoreGeometry(settings().value(QStringLiteral("geometry")).toByteArray())) {
        const QRect room = screen()->availableGeometry();
        resize(std::min(1180, room.width() - 24), std::min(680, room.height() - 72));
    }
}

void ViewerWindow::buildMenus() {
    using Gif = anigif::AniGifWidget;
    auto add = [this](QMenu* menu, const QString& text, const QKeySequence& key, auto slot) {
        QAction* action = menu->addAction(text);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);  // keys work also while the menu bar is hidden (full screen)
        return action;
    };

    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* openAction = add(file, tr("&Open…"), QKeySequence::Open, [this] { openFileDialog(); });
    openAction->setToolTip(help("LoadAnimatedGIF_File"));
    QAction* openAddress = add(file, tr("Open &address…"), QKeySequence(Qt::CTRL | Qt::Key_L),
                               [this] { openAddressDialog(); });
    openAddress->setToolTip(tr("Download a GIF from an http, https or file address"));
    recentMenu_ = file->addMenu(tr("Open &recent"));
    recentMenu_->setObjectName(QStringLiteral("recent"));  // its items are file names
    file->addSeparator();
    QAction* previousFile =
        add(file, tr("P&revious file"), QKeySequence(Qt::Key_PageUp), [this] { showSibling(-1); });
    QAction* nextFile =
        add(file, tr("&Next file"), QKeySequence(Qt::Key_PageDown), [this] { showSibling(1); });
    file->addSeparator();
    QAction* exportPng = add(file, tr("&Export picture as PNG…"),
                             QKeySequence(Qt::CTRL | Qt::Key_E), [this] { exportPictureDialog(); });
    QAction* exportAll =
        add(file, tr("Export &all frames as PNG…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
            [this] { exportFramesDialog(); });
    QAction* saveFrame =
        add(file, tr("&Save frame as GIF…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
            [this] { palettePanel_->saveCurrentFrame(); });
    saveFrame->setToolTip(help("AnimatedGIF"));
    needsPicture_ = {exportPng, exportAll};
    file->addSeparator();
    add(file, tr("&Close window"), QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); });
    add(file, tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] {
        close();  // keeps the window's size for the next run
        QApplication::quit();
    });
    rebuildRecentMenu();

    QMenu* play = menuBar()->addMenu(tr("&Play"));
    add(play, tr("Play / &pause"), QKeySequence(Qt::Key_Space), [this] { togglePlay(); });
    play->addSeparator();
    QAction* previous =
        add(play, tr("Pre&vious frame"), QKeySequence(Qt::Key_Left), [this] { gif_->previous(); });
    QAction* next =
        add(play, tr("Ne&xt frame"), QKeySequence(Qt::Key_Right), [this] { gif_->step(); });
    add(play, tr("&First frame"), QKeySequence(Qt::Key_Home), [this] { gif_->showFrame(1); });
    add(play, tr("&Last frame"), QKeySequence(Qt::Key_End),
        [this] { gif_->showFrame(gif_->frameCount()); });
    add(play, tr("&Go to frame…"), QKeySequence(Qt::CTRL | Qt::Key_G),
        [this] { goToFrameDialog(); });
    play->addSeparator();
    auto act = [this](Gif::AnimationAction a) {
        return [this, a] {
            gif_->setAction(a);
            updateCounters();
        };
    };
    const QString actionHelp = help("Action");
    QAction* playAction = add(play, tr("Play"), QKeySequence(Qt::Key_F5), act(Gif::ActionPlay));
    QAction* pauseAction = add(play, tr("Pause"), QKeySequence(Qt::Key_F6), act(Gif::ActionPause));
    QAction* stepAction = add(play, tr("Step"), QKeySequence(Qt::Key_F7), act(Gif::ActionStep));
    QAction* restartAction =
        add(play, tr("Restart"), QKeySequence(Qt::Key_F8), act(Gif::ActionRestart));
    QAction* stopAction = add(play, tr("Stop"), QKeySequence(Qt::Key_F9), act(Gif::ActionStop));
    for (QAction* a : {playAction, pauseAction, stepAction, restartAction, stopAction})
        a->setToolTip(actionHelp);
    play->addSeparator();
    QAction* refresh =
        add(play, tr("Refresh"), QKeySequence::Refresh, [this] { gif_->control().Refresh(); });
    refresh->setToolTip(help("Refresh"));
    QAction* clearLog = add(play, tr("Clear log"), QKeySequence(), [this] { log_->clear(); });

    QMenu* view = menuBar()->addMenu(tr("&View"));
    QAction* zoomIn = add(view, tr("Zoom &in"), QKeySequence(Qt::Key_Plus), [this] { zoomBy(1); });
    zoomIn->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal),
                          QKeySequence(QKeySequence::ZoomIn)});
    QAction* zoomOut =
        add(view, tr("Zoom &out"), QKeySequence(Qt::Key_Minus), [this] { zoomBy(-1); });
    zoomOut->setShortcuts({QKeySequence(Qt::Key_Minus), QKeySequence(QKeySequence::ZoomOut)});
    QAction* actual =
        add(view, tr("&Actual size (1:1)"), QKeySequence(Qt::Key_0), [this] { setZoom(1.0); });
    actual->setShortcuts({QKeySequence(Qt::Key_0), QKeySequence(Qt::CTRL | Qt::Key_0)});
    QAction* fit = add(view, tr("&Fit to window"), QKeySequence(Qt::Key_F), [this] { setFit(); });
    view->addSeparator();
    fullScreen_ = add(view, tr("F&ull screen"), QKeySequence(Qt::Key_F11),
                      [this](bool on) { toggleFullScreen(on); });
    fullScreen_->setCheckable(true);
    // Esc leaves full screen; it is bound only there, so that it stays free for dialogs.
    leaveFullScreen_ = new QAction(this);
    leaveFullScreen_->setShortcut(QKeySequence(Qt::Key_Escape));
    leaveFullScreen_->setEnabled(false);
    connect(leaveFullScreen_, &QAction::triggered, this, [this] { toggleFullScreen(false); });
    addAction(leaveFullScreen_);
    view->addSeparator();
    for (QDockWidget* dock : docks_) view->addAction(dock->toggleViewAction());

    QToolBar* bar = addToolBar(tr("Playing"));
    bar->setObjectName(QStringLiteral("playing"));
    for (QAction* a : {openAction, openAddress}) bar->addAction(a);
    bar->addSeparator();
    for (QAction* a :
         {previous, next, playAction, pauseAction, stepAction, restartAction, stopAction})
        bar->addAction(a);
    bar->addSeparator();
    for (QAction* a : {zoomOut, zoomIn, actual, fit}) bar->addAction(a);
    bar->addSeparator();
    for (QAction* a : {previousFile, nextFile, refresh, clearLog}) bar->addAction(a);
    QToolBar* frameBar = addToolBar(tr("Frame"));
    frameBar->setObjectName(QStringLiteral("frame"));
    frameBar->addAction(saveFrame);
    toolBars_ = {bar, frameBar};
    for (QAction* a : needsPicture_) a->setEnabled(false);
}

QWidget* ViewerWindow::buildPanel() {
    auto* panel = new QWidget;
    auto* form = new QFormLayout(panel);
    auto spin = [&](int low, int high, const char* member) {
        auto* s = new QSpinBox;
        s->setRange(low, high);
        s->setToolTip(help(member));
        return s;
    };
    auto combo = [&](const QStringList& items, const char* member) {
        auto* box = new QComboBox;
        box->addItems(items);
        box->setToolTip(help(member));
        return box;
    };

    stretch_ = combo({tr("0 None"), tr("1 Fit"), tr("2 Fill"), tr("3 Shrink"), tr("4 Auto size")},
                     "Stretch");
    mirrored_ =
        combo({tr("0 None"), tr("1 Horizontal"), tr("2 Vertical"), tr("3 Both")}, "Mirrored");
    loops_ = spin(0, 1000000, "Loops");
    loops_->setSpecialValueText(tr("0 (for ever)"));
    minDelay_ = spin(10, 32700, "MinFrameDelay");
    minDelay_->setSuffix(tr(" ms"));
    steppedDelay_ = spin(0, 600000, "SteppedDelay");
    steppedDelay_->setSuffix(tr(" ms"));
    steppedDelay_->setSpecialValueText(tr("off"));
    offsetX_ = spin(-10000, 10000, "OffsetX");
    offsetY_ = spin(-10000, 10000, "OffsetY");
    width_ = new QSpinBox;
    width_->setRange(1, 8000);
    height_ = new QSpinBox;
    height_->setRange(1, 8000);
    width_->setToolTip(tr("The control's inner width in pixels"));
    height_->setToolTip(tr("The control's inner height in pixels"));
    solidUsed_ = new QCheckBox(tr("Use"));
    solidUsed_->setToolTip(help("SolidBkgColorUsed"));
    solidColour_ = new QPushButton;
    solidColour_->setToolTip(help("SolidBkgColor"));
    cancelRemote_ = new QCheckBox(tr("Refuse downloads (Cancel)"));
    cancelRemote_->setToolTip(help("RemoteLoadComplete"));
    logMoves_ = new QCheckBox(tr("Log mouse moves"));
    logMoves_->setToolTip(help("MouseMove"));
    // Clicks go to the control's own buttons; keys stay with the picture's navigation.
    for (QWidget* w :
         std::initializer_list<QWidget*>{solidUsed_, solidColour_, cancelRemote_, logMoves_})
        w->setFocusPolicy(Qt::ClickFocus);

    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(width_);
    sizeRow->addWidget(new QLabel(QStringLiteral("×")));
    sizeRow->addWidget(height_);
    auto* solidRow = new QHBoxLayout;
    solidRow->addWidget(solidUsed_);
    solidRow->addWidget(solidColour_);

    // The control's property names follow each label: they are what a programmer looks up.
    auto label = [](const QString& text, const char* member) {
        const QLatin1String name(member);
        return text == name ? text : QStringLiteral("%1 (%2)").arg(text, name);
    };
    form->addRow(label(tr("Stretch"), "Stretch"), stretch_);
    form->addRow(label(tr("Mirrored"), "Mirrored"), mirrored_);
    form->addRow(label(tr("Loops"), "Loops"), loops_);
    form->addRow(label(tr("Shortest delay"), "MinFrameDelay"), minDelay_);
    form->addRow(label(tr("Stepped delay"), "SteppedDelay"), steppedDelay_);
    form->addRow(label(tr("Offset X"), "OffsetX"), offsetX_);
    form->addRow(label(tr("Offset Y"), "OffsetY"), offsetY_);
    form->addRow(tr("Control size"), sizeRow);
    form->addRow(label(tr("Solid background"), "SolidBkgColor"), solidRow);
    form->addRow(QString(), cancelRemote_);
    form->addRow(QString(), logMoves_);

    using Combo = QComboBox;
    using Gif = anigif::AniGifWidget;
    connect(stretch_, &Combo::currentIndexChanged, this, [this](int v) {
        zoomOwned_ = false;  // the control sizes itself now
        fit_ = false;
        gif_->setStretch(Gif::StretchMode(v));
        updateCounters();
    });
    connect(mirrored_, &Combo::currentIndexChanged, this,
            [this](int v) { gif_->setMirrored(Gif::MirrorMode(v)); });
    connect(loops_, &QSpinBox::valueChanged, this, [this](int v) {
        gif_->setLoops(v);
        updateCounters();
    });
    connect(minDelay_, &QSpinBox::valueChanged, this, [this](int v) { gif_->setMinFrameDelay(v); });
    connect(steppedDelay_, &QSpinBox::valueChanged, this,
            [this](int v) { gif_->setSteppedDelay(v); });
    connect(offsetX_, &QSpinBox::valueChanged, this, [this](int v) { gif_->setOffsetX(v); });
    connect(offsetY_, &QSpinBox::valueChanged, this, [this](int v) { gif_->setOffsetY(v); });
    connect(width_, &QSpinBox::editingFinished, this, [this] { applyControlSize(); });
    connect(height_, &QSpinBox::editingFinished, this, [this] { applyControlSize(); });
    connect(solidUsed_, &QCheckBox::toggled, this, [this](bool on) {
        gif_->setSolidBkgColorUsed(on);
        gif_->control().Refresh();  // at run time the control waits for the next paint
    });
    connect(solidColour_, &QPushButton::clicked, this, [this] { chooseSolidColour(); });
    return panel;
}

// ---- Files ---------------------------------------------------------------------------------

void ViewerWindow::open(const QString& fileOrAddress) {
    const QUrl url(fileOrAddress, QUrl::StrictMode);
    const bool address = url.isValid() && url.scheme().size() > 1 && !url.isLocalFile();
    if (address) {
        log_->appendPlainText(tr("Downloading %1").arg(fileOrAddress));
        download_ = fileOrAddress;
        path_.clear();
        bytes_.clear();
        gif_->loadUrl(url);
        return;
    }
    const QString path = url.isLocalFile() ? url.toLocalFile() : fileOrAddress;
    files_ = gifsBeside(path);
    openLocal(path);
}

void ViewerWindow::openFiles(const QStringList& files) {
    if (files.isEmpty()) return;
    if (files.size() == 1) return open(files.first());
    files_.clear();
    for (const QString& f : files) {
        const QUrl url(f, QUrl::StrictMode);
        files_ << (url.isLocalFile() ? url.toLocalFile() : f);
    }
    openLocal(files_.first());
}

void ViewerWindow::openLocal(const QString& path) {
    // The bytes are read once: the control loads them, and exports load them again.
    attempted_ = path;
    QFile file(path);
    const QFileInfo info(path);
    bytes_.clear();
    bool ok = false;
    if (info.isFile() && static_cast<quint64>(info.size()) <= platform::memoryBudgetBytes() &&
        file.open(QIODevice::ReadOnly)) {
        bytes_ = file.readAll();
        ok = gif_->loadData(bytes_);
    }
    if (!ok) bytes_.clear();
    path_ = ok ? path : QString();
    download_.clear();
    if (ok) {
        remember(path);
        setLastFolder(info.absolutePath());
    }
    loaded(ok, path, ok ? QString() : loadFailure(path));
}

QStringList ViewerWindow::gifsBeside(const QString& file) {
    const QFileInfo info(file);
    QStringList names = info.dir().entryList(QDir::Files | QDir::Readable);
    names.erase(
        std::remove_if(names.begin(), names.end(), [](const QString& n) { return !isGifName(n); }),
        names.end());
    if (!names.contains(info.fileName())) names << info.fileName();
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = compareFileNames(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    QStringList paths;
    for (const QString& n : names) paths << info.dir().filePath(n);
    return paths;
}

void ViewerWindow::showSibling(int direction) {
    const qsizetype at = files_.indexOf(attempted_);
    const qsizetype to = at < 0 ? 0 : at + direction;
    if (files_.isEmpty() || to < 0 || to >= files_.size()) {
        statusBar()->showMessage(
            direction < 0 ? tr("This is the first file.") : tr("This is the last file."), 3000);
        return;
    }
    openLocal(files_[to]);
}

void ViewerWindow::openFileDialog() {
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open a GIF"), lastFolder(), tr("GIF pictures (*.gif *.GIF);;All files (*)"));
    if (!path.isEmpty()) open(path);
}

void ViewerWindow::openAddressDialog() {
    bool ok = false;
    const QString address = QInputDialog::getText(
        this, tr("Open address"), tr("Address of a GIF (http, https or file):"), QLineEdit::Normal,
        QStringLiteral("https://"), &ok);
    if (ok && !address.trimmed().isEmpty()) open(address.trimmed());
}

void ViewerWindow::remember(const QString& path) {
    QSettings s = settings();
    QStringList recent = s.value(QStringLiteral("recentFiles")).toStringList();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kRecentFiles) recent.removeLast();
    s.setValue(QStringLiteral("recentFiles"), recent);
    rebuildRecentMenu();
}

void ViewerWindow::rebuildRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = settings().value(QStringLiteral("recentFiles")).toStringList();
    for (qsizetype i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        QAction* a = recentMenu_->addAction(QStringLiteral("&%1  %2").arg(
            i + 1 < 10 ? QString::number(i + 1) : QString(), QFileInfo(path).fileName()));
        a->setToolTip(path);
        connect(a, &QAction::triggered, this, [this, path] { open(path); });
    }
    recentMenu_->setEnabled(!recent.isEmpty());
}

QString ViewerWindow::lastFolder() const {
    return settings().value(QStringLiteral("lastFolder"), QDir::homePath()).toString();
}

void ViewerWindow::setLastFolder(const QString& folder) {
    settings().setValue(QStringLiteral("lastFolder"), folder);
}

void ViewerWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void ViewerWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty()) return;
    QStringList local;
    for (const QUrl& u : urls)
        if (u.isLocalFile()) local << u.toLocalFile();
    if (local.size() == urls.size())
        openFiles(local);
    else
        open(urls.first().toString());
    event->acceptProposedAction();
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
    if (!isFullScreen()) settings().setValue(QStringLiteral("geometry"), saveGeometry());
    QMainWindow::closeEvent(event);
}

void ViewerWindow::loaded(bool ok, const QString& what, const QString& why) {
    if (ok) {
        log_->appendPlainText(tr("Loaded %1").arg(what));
        message_->hide();
        // Larger than the window: fit it; else its own size.
        zoomOwned_ = true;
        const QSize room = scroll_->viewport()->size() - QSize(2 * kStageMargin, 2 * kStageMargin);
        fit_ = gif_->actualWidth() > room.width() || gif_->actualHeight() > room.height();
        zoom_ = 1.0;
        applyZoom();
    } else {
        const QString text = tr("Could not load %1: %2").arg(what, why);
        log_->appendPlainText(text);
        message_->setText(text);
        message_->show();
    }
    for (QAction* a : needsPicture_) a->setEnabled(ok && !bytes_.isEmpty());
    syncPanel();
    updateCounters();
    palettePanel_->showTable();
}

// ---- Navigation ----------------------------------------------------------------------------

void ViewerWindow::togglePlay() {
    if (gif_->action() == anigif::AniGifWidget::ActionPlay)
        gif_->pause();
    else
        gif_->play();
    updateCounters();
}

void ViewerWindow::goToFrameDialog() {
    const int count = gif_->frameCount();
    if (count == 0) return;
    bool ok = false;
    const int frame =
        QInputDialog::getInt(this, tr("Go to frame"), tr("Frame (1 to %1):").arg(count),
                             gif_->currentFrame(), 1, count, 1, &ok);
    if (ok) gif_->showFrame(frame);
}

// ---- Zoom ----------------------------------------------------------------------------------

double ViewerWindow::zoom() const {
    const int w = gif_->actualWidth();
    return w > 0 ? double(gif_->width()) / w : 1.0;
}

void ViewerWindow::setZoom(double factor) {
    zoomOwned_ = true;
    fit_ = false;
    zoom_ = std::clamp(factor, kZoomLowest, kZoomHighest);
    applyZoom();
}

void ViewerWindow::zoomBy(int steps) {
    const double now = zoom();
    double to = now;
    if (steps > 0) {
        to = kZoomHighest;
        for (double z : kZoomSteps)
            if (z > now * 1.0001) {
                to = z;
                break;
            }
    } else {
        to = now / 2;  // below the smallest step (a fitted huge picture): halves
        for (double z : kZoomSteps)
            if (z < now * 0.9999) to = z;
    }
    setZoom(to);
}

void ViewerWindow::setFit() {
    zoomOwned_ = true;
    fit_ = true;
    applyZoom();
}

void ViewerWindow::applyZoom() {
    const int w = gif_->actualWidth(), h = gif_->actualHeight();
    if (w <= 0 || h <= 0 || !zoomOwned_) return updateCounters();
    if (fit_) {
        const QSize room = scroll_->viewport()->size() - QSize(2 * kStageMargin, 2 * kStageMargin);
        // Any factor that fits, however small: a picture is never larger than its room.
        zoom_ = std::min(
            std::min(double(std::max(room.width(), 1)) / w, double(std::max(room.height(), 1)) / h),
            kZoomHighest);
    }
    const double largest = kLargestSide / std::max(w, h);
    zoom_ = std::min(zoom_, largest);
    // The control stretches the picture to exactly its own size.
    if (gif_->stretch() != anigif::AniGifWidget::StretchFill) {
        const QSignalBlocker block(stretch_);
        gif_->setStretch(anigif::AniGifWidget::StretchFill);
        stretch_->setCurrentIndex(anigif::AniGifWidget::StretchFill);
    }
    gif_->resize(std::max(1, int(std::lround(w * zoom_))),
                 std::max(1, int(std::lround(h * zoom_))));
    updateCounters();
}

void ViewerWindow::toggleFullScreen(bool on) {
    {
        const QSignalBlocker block(fullScreen_);
        fullScreen_->setChecked(on);
    }
    leaveFullScreen_->setEnabled(on);
    // Only the picture in full screen: bars, panel and docks come back after.
    menuBar()->setVisible(!on);
    statusBar()->setVisible(!on);
    panel_->setVisible(!on);
    for (QToolBar* bar : toolBars_) bar->setVisible(!on);
    if (on) {
        docksShown_.clear();
        for (QDockWidget* d : docks_)
            if (d->isVisible()) docksShown_ << d;
        for (QDockWidget* d : docks_) d->hide();
        showFullScreen();
    } else {
        for (QDockWidget* d : docksShown_) d->show();
        showNormal();
    }
}

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport()) {
        if (event->type() == QEvent::Resize && fit_ && zoomOwned_) {
            // After the layout settles, so that the scroll bars' coming and going does not
            // resize twice.
            QTimer::singleShot(0, this, [this] {
                if (fit_) applyZoom();
            });
        } else if (event->type() == QEvent::Wheel) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            if (wheel->modifiers() & Qt::ControlModifier) {
                const int delta = wheel->angleDelta().y();
                if (delta != 0) zoomBy(delta > 0 ? 1 : -1);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Export --------------------------------------------------------------------------------

bool ViewerWindow::makeExportCopy(anigif::AniGifWidget& copy, QString* why) {
    if (bytes_.isEmpty()) {
        if (why) *why = tr("There is no local GIF on show.");
        return false;
    }
    // Held, unscaled and at its own size: nothing plays, every frame is composed on request.
    copy.setDelayAnimation(anigif::AniGifWidget::DelayHold);
    copy.setStretch(anigif::AniGifWidget::StretchAutoSize);
    if (!copy.loadData(bytes_)) {
        if (why) *why = tr("The GIF no longer loads.");
        return false;
    }
    copy.setMirrored(gif_->mirrored());
    copy.setSolidBkgColor(gif_->solidBkgColor());
    copy.setSolidBkgColorUsed(gif_->solidBkgColorUsed());
    // Colours edited in the palette panel.
    for (int table = 0; table <= gif_->frameCount(); ++table) {
        anigif::PaletteArray colours;
        if (gif_->control().GetPalette(table, colours)) copy.control().SetPalette(table, colours);
    }
    return true;
}

namespace {

QImage composed(anigif::AniGifWidget& copy, int frame) {
    copy.showFrame(frame);
    QImage image(copy.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    copy.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

}  // namespace

bool ViewerWindow::exportPicture(const QString& pngPath, QString* why) {
    anigif::AniGifWidget copy;
    if (!makeExportCopy(copy, why)) return false;
    if (!composed(copy, gif_->currentFrame()).save(pngPath, "PNG")) {
        if (why) *why = tr("%1 could not be written.").arg(pngPath);
        return false;
    }
    return true;
}

int ViewerWindow::exportFrames(const QString& folder, bool withProgress, QString* why) {
    anigif::AniGifWidget copy;
    if (!makeExportCopy(copy, why)) return 0;
    const int count = copy.frameCount();
    const QString base = QFileInfo(path_).completeBaseName();
    const int digits = std::max(4, int(QString::number(count).size()));
    std::unique_ptr<QProgressDialog> progress;
    if (withProgress) {
        progress = std::make_unique<QProgressDialog>(tr("Exporting frames…"), tr("Cancel"), 0,
                                                     count, this);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(300);
    }
    int written = 0;
    for (int k = 1; k <= count; ++k) {
        if (progress) {
            progress->setValue(k - 1);
            if (progress->wasCanceled()) {
                if (why) *why = tr("Cancelled after %1 of %2 frames.").arg(written).arg(count);
                return written;
            }
        }
        const QString name = QDir(folder).filePath(
            QStringLiteral("%1-%2.png").arg(base).arg(k, digits, 10, QLatin1Char('0')));
        if (!composed(copy, k).save(name, "PNG")) {
            if (why) *why = tr("%1 could not be written.").arg(name);
            return written;
        }
        ++written;
    }
    if (progress) progress->setValue(count);
    return written;
}

void ViewerWindow::exportPictureDialog() {
    const QString suggested =
        QDir(lastFolder())
            .filePath(QStringLiteral("%1-%2.png")
                          .arg(QFileInfo(path_).completeBaseName())
                          .arg(gif_->currentFrame(), 4, 10, QLatin1Char('0')));
    const QString name = QFileDialog::getSaveFileName(this, tr("Export picture as PNG"), suggested,
                                                      tr("PNG pictures (*.png)"));
    if (name.isEmpty()) return;
    setLastFolder(QFileInfo(name).absolutePath());
    QString why;
    if (exportPicture(name, &why))
        statusBar()->showMessage(tr("Saved %1").arg(name), 5000);
    else
        QMessageBox::warning(this, tr("Export picture"), why);
}

void ViewerWindow::exportFramesDialog() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Export all frames into a folder"), lastFolder());
    if (folder.isEmpty()) return;
    setLastFolder(folder);
    QString why;
    const int written = exportFrames(folder, true, &why);
    if (why.isEmpty())
        statusBar()->showMessage(tr("Saved %1 frames in %2").arg(written).arg(folder), 5000);
    else
        QMessageBox::warning(this, tr("Export frames"), why);
}

// ---- Panel and counters --------------------------------------------------------------------

void ViewerWindow::syncPanel() {
    const QSignalBlocker b1(stretch_), b2(mirrored_), b3(loops_), b4(minDelay_), b5(steppedDelay_),
        b6(offsetX_), b7(offsetY_), b8(solidUsed_);
    stretch_->setCurrentIndex(gif_->stretch());
    mirrored_->setCurrentIndex(gif_->mirrored());
    loops_->setValue(gif_->loops());
    minDelay_->setValue(gif_->minFrameDelay());
    steppedDelay_->setValue(gif_->steppedDelay());
    offsetX_->setValue(gif_->offsetX());
    offsetY_->setValue(gif_->offsetY());
    solidUsed_->setChecked(gif_->solidBkgColorUsed());
    const QColor colour = gif_->solidBkgColor();
    solidColour_->setText(colour.name());
    solidColour_->setStyleSheet(QStringLiteral("color: %1").arg(colour.name()));
}

void ViewerWindow::updateCounters() {
    const int n = gif_->currentFrame(), count = gif_->frameCount();
    const int percent = int(std::lround(zoom() * 100));
    frame_->setText(tr("Frame %1 / %2").arg(n).arg(count));
    const int32_t remaining = gif_->loopsRemaining();
    loopsRemaining_->setText(remaining == std::numeric_limits<int32_t>::max()
                                 ? tr("Loops remaining: for ever")
                                 : tr("Loops remaining: %1").arg(remaining));
    size_->setText(tr("Image %1 × %2").arg(gif_->actualWidth()).arg(gif_->actualHeight()));
    zoomLabel_->setText(fit_ && zoomOwned_ ? tr("Zoom %1 % (fit)").arg(percent)
                                           : tr("Zoom %1 %").arg(percent));
    const QString name = QFileInfo(!path_.isEmpty() ? path_ : QUrl(download_).path()).fileName();
    if (count == 0)
        setWindowTitle(QStringLiteral("anigif-view"));
    else if (count == 1)
        setWindowTitle(name);
    else
        setWindowTitle(
            QStringLiteral("%1 — %2 / %3 — %4 %").arg(name).arg(n).arg(count).arg(percent));
}

void ViewerWindow::applyControlSize() {
    zoomOwned_ = false;
    fit_ = false;
    gif_->resize(width_->value(), height_->value());
}

void ViewerWindow::chooseSolidColour() {
    const QColor chosen =
        QColorDialog::getColor(gif_->solidBkgColor(), this, tr("Solid background"));
    if (!chosen.isValid()) return;
    gif_->setSolidBkgColor(chosen);
    gif_->control().Refresh();
    syncPanel();
}

}  // namespace viewer
