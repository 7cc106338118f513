#include "apps/anigif-view/palette_panel.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "anigif/ani_gif_control.h"
#include "anigif/ani_gif_widget.h"
#include "platform/atomic_file.h"

namespace viewer {
namespace {

constexpr int kColumns = 16;
constexpr int kCell = 18;

// Palette values are 0x00RRGGBB.
QColor toColour(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    return QColor(static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>(v & 0xFF));
}

int32_t fromColour(const QColor& c) {
    return static_cast<int32_t>((static_cast<uint32_t>(c.red()) << 16) |
                                (static_cast<uint32_t>(c.green()) << 8) |
                                static_cast<uint32_t>(c.blue()));
}

}  // namespace

PalettePanel::PalettePanel(anigif::AniGifWidget* gif, QWidget* parent)
    : QWidget(parent), gif_(gif) {
    table_ = new QSpinBox;
    table_->setRange(0, 32767);
    table_->setSpecialValueText(tr("global"));
    table_->setPrefix(tr("frame "));
    table_->setToolTip(tr("0 shows the global table, k the own table of frame k"));

    grid_ = new QTableWidget(0, kColumns);
    // The style's minimum section size is larger than a cell: lower it first, or every cell
    // grows and the sixteen columns no longer fit.
    for (QHeaderView* header : {grid_->horizontalHeader(), grid_->verticalHeader()}) {
        header->hide();
        header->setMinimumSectionSize(kCell);
        header->setDefaultSectionSize(kCell);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    // Room for every column and for the vertical scroll bar a 256-colour table needs.
    grid_->setFixedWidth(kColumns * kCell + 2 * grid_->frameWidth() +
                         grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    grid_->setToolTip(tr("Double-click a colour to change it"));

    auto* cacheButton = new QPushButton(tr("Cache"));
    restore_ = new QPushButton(tr("Restore"));
    restoreRelease_ = new QPushButton(tr("Restore && release"));
    auto* save = new QPushButton(tr("Save frame as GIF…"));
    status_ = new QLabel;
    status_->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cacheButton);
    buttons->addWidget(restore_);
    buttons->addWidget(restoreRelease_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(grid_, 1);
    layout->addLayout(buttons);
    layout->addWidget(save);
    layout->addWidget(status_);

    connect(table_, &QSpinBox::valueChanged, this, [this] { showTable(); });
    connect(grid_, &QTableWidget::cellDoubleClicked, this, &PalettePanel::editColour);
    connect(cacheButton, &QPushButton::clicked, this, &PalettePanel::cache);
    connect(restore_, &QPushButton::clicked, this, [this] { restore(false); });
    connect(restoreRelease_, &QPushButton::clicked, this, [this] { restore(true); });
    connect(save, &QPushButton::clicked, this, &PalettePanel::saveCurrentFrame);
    showTable();
}

void PalettePanel::showTable() {
    auto& control = gif_->control();
    anigif::PaletteArray colours;
    const bool ok = control.GetPalette(table_->value(), colours);
    grid_->clearContents();
    const int count = ok ? static_cast<int>(colours.values.size()) : 0;
    grid_->setRowCount((count + kColumns - 1) / kColumns);
    for (int i = 0; i < count; ++i) {
        auto* item = new QTableWidgetItem;
        const QColor c = toColour(colours.values[static_cast<size_t>(i)]);
        item->setBackground(c);
        item->setToolTip(QStringLiteral("%1: #%2").arg(i).arg(static_cast<uint32_t>(fromColour(c)),
                                                              6, 16, QLatin1Char('0')));
        grid_->setItem(i / kColumns, i % kColumns, item);
    }
    const bool cached = control.ColorTablesCached();
    restore_->setEnabled(cached);
    restoreRelease_->setEnabled(cached);
    if (ok)
        report(tr("%1 colours%2").arg(count).arg(cached ? tr(", copy held") : QString()));
    else
        report(control.CurrentFrame() == 0 ? tr("Nothing loaded") : tr("No table of its own"));
}

void PalettePanel::editColour(int row, int column) {
    auto& control = gif_->control();
    anigif::PaletteArray colours;
    if (!control.GetPalette(table_->value(), colours)) return;
    const int index = row * kColumns + column;
    if (index >= static_cast<int>(colours.values.size())) return;
    const QColor chosen =
        QColorDialog::getColor(toColour(colours(index)), this, tr("Colour %1").arg(index));
    if (!chosen.isValid()) return;
    colours(index) = fromColour(chosen);
    if (!control.SetPalette(table_->value(), colours)) report(tr("Not replaced"));
    showTable();
}

void PalettePanel::cache() {
    const bool taken = gif_->control().CacheColorTables();
    showTable();
    if (!taken) report(tr("A copy is held already"));
}

void PalettePanel::restore(bool release) {
    auto& control = gif_->control();
    control.RestoreColorTables(release);
    // Restoring does not repaint; show the colours now rather than at the next frame.
    control.Refresh();
    showTable();
}

bool PalettePanel::saveCurrentFrame() {
    const std::vector<uint8_t> bytes = gif_->control().AnimatedGIF();
    if (bytes.empty()) {
        QMessageBox::information(this, tr("Save frame"), tr("There is no frame to save."));
        return false;
    }
    const QString name = QFileDialog::getSaveFileName(
        this, tr("Save current frame as GIF"),
        QStringLiteral("frame-%1.gif").arg(gif_->currentFrame()), tr("GIF pictures (*.gif)"));
    if (name.isEmpty()) return false;
    try {
        platform::writeFileAtomically(name.toStdString(), bytes);
    } catch (const platform::FileWriteError& e) {
        QMessageBox::warning(this, tr("Save frame"), QString::fromLocal8Bit(e.what()));
        return false;
    }
    report(tr("Saved frame %1 (%2 bytes)").arg(gif_->currentFrame()).arg(bytes.size()));
    return true;
}

void PalettePanel::report(const QString& text) {
    status_->setText(text);
}

}  // namespace viewer
