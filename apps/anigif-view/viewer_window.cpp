#include "apps/anigif-view/viewer_window.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <limits>

#include "anigif/ani_gif_control.h"
#include "anigif/ani_gif_widget.h"
#include "apps/anigif-view/palette_panel.h"
#include "platform/memory_budget.h"

namespace viewer {
namespace {

constexpr int kStageMargin = 16;

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

// The names of each event's arguments, in the order the control passes them.
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
    if (!info.exists()) return QStringLiteral("there is no such file.");
    if (!info.isFile()) return QStringLiteral("it is not a file.");
    if (!info.isReadable()) return QStringLiteral("the file cannot be read.");
    if (info.size() == 0) return QStringLiteral("the file is empty.");
    if (static_cast<quint64>(info.size()) > platform::memoryBudgetBytes())
        return QStringLiteral("the file is larger than the control loads (%1 MiB).")
            .arg(platform::memoryBudgetBytes() >> 20);
    return QStringLiteral("it is not a GIF picture the control can play.");
}

}  // namespace

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
    // A viewer shows pictures at their own size until told otherwise.
    gif_->setStretch(anigif::AniGifWidget::StretchAutoSize);
    gif_->installEventFilter(new StageFollower(stage_, gif_, [this] {
        if (width_ == nullptr) return;
        const QSignalBlocker bw(width_), bh(height_);
        width_->setValue(gif_->width());
        height_->setValue(gif_->height());
    }));

    auto* scroll = new QScrollArea;
    scroll->setWidget(stage_);
    scroll->setWidgetResizable(true);

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
    pictureLayout->addWidget(scroll, 1);

    log_ = new QPlainTextEdit;
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(2000);
    log_->setPlaceholderText(QStringLiteral("Events appear here as the control raises them."));

    // The picture takes the room; settings beside it, events and palette in docks.
    auto* central = new QSplitter(Qt::Horizontal);
    central->addWidget(picture);
    QWidget* panel = buildPanel();
    central->addWidget(panel);
    central->setStretchFactor(0, 1);
    central->setStretchFactor(1, 0);
    central->setCollapsible(0, false);
    central->setSizes({600, panel->sizeHint().width()});
    setCentralWidget(central);

    auto* eventsDock = new QDockWidget(QStringLiteral("Events"), this);
    eventsDock->setWidget(log_);
    addDockWidget(Qt::BottomDockWidgetArea, eventsDock);
    resizeDocks({eventsDock}, {150}, Qt::Vertical);

    frame_ = new QLabel;
    frame_->setToolTip(help("CurrentFrame"));
    loopsRemaining_ = new QLabel;
    loopsRemaining_->setToolTip(help("LoopsRemaining"));
    size_ = new QLabel;
    size_->setToolTip(help("ActualWidth"));
    statusBar()->addWidget(frame_);
    statusBar()->addWidget(loopsRemaining_);
    statusBar()->addWidget(size_);

    auto* paletteDock = new QDockWidget(QStringLiteral("Palette"), this);
    auto* palettePanel = new PalettePanel(gif_, paletteDock);
    paletteDock->setWidget(palettePanel);
    addDockWidget(Qt::RightDockWidgetArea, paletteDock);

    buildActions();
    QAction* saveFrame = addToolBar(QStringLiteral("Frame"))
                             ->addAction(QStringLiteral("Save frame as GIF…"), palettePanel,
                                         [palettePanel] { palettePanel->saveCurrentFrame(); });
    saveFrame->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    saveFrame->setToolTip(help("AnimatedGIF"));

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
    // A remote GIF is loaded after its RemoteLoadComplete: take its settings then.
    connect(gif_, &anigif::AniGifWidget::remoteLoadFailure, this, [this] {
        loaded(false, download_,
               QStringLiteral("the download failed, or what came is not a GIF picture."));
    });
    connect(gif_, &anigif::AniGifWidget::remoteLoadComplete, this, [this] {
        // The control loads the bytes once the event has returned.
        const bool refused = cancelRemote_->isChecked();
        QTimer::singleShot(0, this, [this, refused] {
            const bool ok = gif_->frameCount() > 0;
            loaded(ok, download_,
                   refused ? QStringLiteral("the download was refused (Cancel).")
                           : QStringLiteral("the downloaded GIF has no frame the control can "
                                            "play."));
        });
    });

    syncPanel();
    updateCounters();
    // Fit the screen's free area with room for the title bar and frame (on a 1366 x 768 screen
    // the window takes 1180 x 680).
    const QRect room = screen()->availableGeometry();
    resize(std::min(1180, room.width() - 24), std::min(680, room.height() - 72));
}

void ViewerWindow::buildActions() {
    QToolBar* bar = addToolBar(QStringLiteral("Playing"));
    auto add = [&](const QString& text, const QKeySequence& key, const QString& tip, auto slot) {
        QAction* action = bar->addAction(text);
        action->setShortcut(key);
        action->setToolTip(tip);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(QStringLiteral("Open…"), QKeySequence::Open, help("LoadAnimatedGIF_File"),
        [this] { openFileDialog(); });
    add(QStringLiteral("Open address…"), QKeySequence(Qt::CTRL | Qt::Key_L),
        QStringLiteral("Download a GIF from an http, https or file address"),
        [this] { openAddressDialog(); });
    bar->addSeparator();
    auto act = [this](anigif::AniGifWidget::AnimationAction a) {
        return [this, a] {
            gif_->setAction(a);
            updateCounters();
        };
    };
    const QString actionHelp = help("Action");
    using Gif = anigif::AniGifWidget;
    add(QStringLiteral("Play"), QKeySequence(Qt::Key_F5), actionHelp, act(Gif::ActionPlay));
    add(QStringLiteral("Pause"), QKeySequence(Qt::Key_F6), actionHelp, act(Gif::ActionPause));
    add(QStringLiteral("Step"), QKeySequence(Qt::Key_F7), actionHelp, act(Gif::ActionStep));
    add(QStringLiteral("Restart"), QKeySequence(Qt::Key_F8), actionHelp, act(Gif::ActionRestart));
    add(QStringLiteral("Stop"), QKeySequence(Qt::Key_F9), actionHelp, act(Gif::ActionStop));
    bar->addSeparator();
    add(QStringLiteral("Refresh"), QKeySequence::Refresh, help("Refresh"),
        [this] { gif_->control().Refresh(); });
    add(QStringLiteral("Clear log"), QKeySequence(), QString(), [this] { log_->clear(); });
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

    stretch_ = combo({QStringLiteral("0 None"), QStringLiteral("1 Fit"), QStringLiteral("2 Fill"),
                      QStringLiteral("3 Shrink"), QStringLiteral("4 Auto size")},
                     "Stretch");
    mirrored_ = combo({QStringLiteral("0 None"), QStringLiteral("1 Horizontal"),
                       QStringLiteral("2 Vertical"), QStringLiteral("3 Both")},
                      "Mirrored");
    loops_ = spin(0, 1000000, "Loops");
    loops_->setSpecialValueText(QStringLiteral("0 (for ever)"));
    minDelay_ = spin(10, 32700, "MinFrameDelay");
    minDelay_->setSuffix(QStringLiteral(" ms"));
    steppedDelay_ = spin(0, 600000, "SteppedDelay");
    steppedDelay_->setSuffix(QStringLiteral(" ms"));
    steppedDelay_->setSpecialValueText(QStringLiteral("off"));
    offsetX_ = spin(-10000, 10000, "OffsetX");
    offsetY_ = spin(-10000, 10000, "OffsetY");
    width_ = new QSpinBox;
    width_->setRange(1, 8000);
    height_ = new QSpinBox;
    height_->setRange(1, 8000);
    width_->setToolTip(QStringLiteral("The control's inner width in pixels"));
    height_->setToolTip(QStringLiteral("The control's inner height in pixels"));
    solidUsed_ = new QCheckBox(QStringLiteral("Use"));
    solidUsed_->setToolTip(help("SolidBkgColorUsed"));
    solidColour_ = new QPushButton;
    solidColour_->setToolTip(help("SolidBkgColor"));
    cancelRemote_ = new QCheckBox(QStringLiteral("Refuse downloads (Cancel)"));
    cancelRemote_->setToolTip(help("RemoteLoadComplete"));
    logMoves_ = new QCheckBox(QStringLiteral("Log mouse moves"));
    logMoves_->setToolTip(help("MouseMove"));

    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(width_);
    sizeRow->addWidget(new QLabel(QStringLiteral("×")));
    sizeRow->addWidget(height_);
    auto* solidRow = new QHBoxLayout;
    solidRow->addWidget(solidUsed_);
    solidRow->addWidget(solidColour_);

    form->addRow(QStringLiteral("Stretch"), stretch_);
    form->addRow(QStringLiteral("Mirrored"), mirrored_);
    form->addRow(QStringLiteral("Loops"), loops_);
    form->addRow(QStringLiteral("MinFrameDelay"), minDelay_);
    form->addRow(QStringLiteral("SteppedDelay"), steppedDelay_);
    form->addRow(QStringLiteral("OffsetX"), offsetX_);
    form->addRow(QStringLiteral("OffsetY"), offsetY_);
    form->addRow(QStringLiteral("Control size"), sizeRow);
    form->addRow(QStringLiteral("SolidBkgColor"), solidRow);
    form->addRow(QString(), cancelRemote_);
    form->addRow(QString(), logMoves_);

    using Combo = QComboBox;
    using Gif = anigif::AniGifWidget;
    connect(stretch_, &Combo::currentIndexChanged, this, [this](int v) {
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

void ViewerWindow::open(const QString& fileOrAddress) {
    const QUrl url(fileOrAddress, QUrl::StrictMode);
    const bool address = url.isValid() && url.scheme().size() > 1 && !url.isLocalFile();
    if (address) {
        log_->appendPlainText(QStringLiteral("Downloading %1").arg(fileOrAddress));
        download_ = fileOrAddress;
        gif_->loadUrl(url);
        return;
    }
    const QString path = url.isLocalFile() ? url.toLocalFile() : fileOrAddress;
    const bool ok = gif_->loadFile(path);
    loaded(ok, path, ok ? QString() : loadFailure(path));
}

void ViewerWindow::openFileDialog() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open a GIF"), QString(),
                                     QStringLiteral("GIF pictures (*.gif *.GIF);;All files (*)"));
    if (!path.isEmpty()) open(path);
}

void ViewerWindow::openAddressDialog() {
    bool ok = false;
    const QString address =
        QInputDialog::getText(this, QStringLiteral("Open address"),
                              QStringLiteral("Address of a GIF (http, https or file):"),
                              QLineEdit::Normal, QStringLiteral("https://"), &ok);
    if (ok && !address.trimmed().isEmpty()) open(address.trimmed());
}

void ViewerWindow::loaded(bool ok, const QString& what, const QString& why) {
    if (ok) {
        setWindowTitle(QStringLiteral("%1 – anigif-view").arg(QFileInfo(what).fileName()));
        log_->appendPlainText(QStringLiteral("Loaded %1").arg(what));
        message_->hide();
    } else {
        const QString text = QStringLiteral("Could not load %1: %2").arg(what, why);
        log_->appendPlainText(text);
        message_->setText(text);
        message_->show();
    }
    syncPanel();
    updateCounters();
    if (auto* p = findChild<PalettePanel*>()) p->showTable();
}

void ViewerWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void ViewerWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty()) return;
    const QUrl& url = urls.first();
    open(url.isLocalFile() ? url.toLocalFile() : url.toString());
    event->acceptProposedAction();
}

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
    frame_->setText(
        QStringLiteral("Frame %1 / %2").arg(gif_->currentFrame()).arg(gif_->frameCount()));
    const int32_t remaining = gif_->loopsRemaining();
    loopsRemaining_->setText(remaining == std::numeric_limits<int32_t>::max()
                                 ? QStringLiteral("Loops remaining: for ever")
                                 : QStringLiteral("Loops remaining: %1").arg(remaining));
    size_->setText(
        QStringLiteral("Image %1 × %2").arg(gif_->actualWidth()).arg(gif_->actualHeight()));
}

void ViewerWindow::applyControlSize() {
    gif_->resize(width_->value(), height_->value());
}

void ViewerWindow::chooseSolidColour() {
    const QColor chosen =
        QColorDialog::getColor(gif_->solidBkgColor(), this, QStringLiteral("Solid background"));
    if (!chosen.isValid()) return;
    gif_->setSolidBkgColor(chosen);
    gif_->control().Refresh();
    syncPanel();
}

}  // namespace viewer
