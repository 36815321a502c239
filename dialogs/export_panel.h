// The export options under the export file dialog: resolution, colour, visible
// area, pixel size or scale, and the DXF object choice, over ExportOptions.
#pragma once

#include <QWidget>

#include "shell/core/file_types.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class ExportPanel : public QWidget {
    Q_OBJECT

  public:
    explicit ExportPanel(ExportOptions* options, QWidget* parent = nullptr);

    // Shows the options' fields and enables the controls for its row and resolution.
    void refill();
    // Reads the controls into the options: 0, or the bad field (see ExportOptions::take).
    int read();
    void set_row(int row);

    QComboBox* resolution() const { return resolution_; }
    QCheckBox* check(int id) const;
    QLineEdit* edit(int id) const;

  private:
    ExportOptions* o_;
    QComboBox* resolution_;
    QCheckBox *colour_, *visible_, *obj3d_, *obj2d_;
    QLineEdit *width_, *height_, *scale1_, *scale2_;
};
