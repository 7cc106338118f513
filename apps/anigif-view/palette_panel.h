#pragma once
// The viewer's palette panel: shows the colours of the global table or of one frame's own table,
// lets one colour be edited, and takes a copy of all tables to restore later. It also offers the
// current frame as a GIF file (the control's AnimatedGIF read).
#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace anigif {
class AniGifWidget;
}

namespace viewer {

class PalettePanel : public QWidget {
    Q_OBJECT
  public:
    explicit PalettePanel(anigif::AniGifWidget* gif, QWidget* parent = nullptr);

    // Reads the chosen table again (after a load, or when the frame count changed).
    void showTable();
    // Asks for a file name and writes the current frame there as a single-image GIF. False when
    // there is no frame, the dialog was cancelled or writing failed (a message says which).
    bool saveCurrentFrame();

  private:
    void editColour(int row, int column);
    void cache();
    void restore(bool release);
    void report(const QString& text);

    anigif::AniGifWidget* gif_;
    QSpinBox* table_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPushButton* restoreRelease_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace viewer
