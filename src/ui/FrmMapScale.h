#pragma once
#include <QDialog>
#include <optional>
#include <string>

#include "engine/MapScale.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace morv {

/// View > Map Scale: the metres a pixel of the map spans, the metres a grey level
/// stands for and the height of level 0. A box left empty is not known; both
/// metres empty takes the scale away.
class FrmMapScale : public QDialog {
public:
    /// Builds the dialog showing scale (none: every box empty).
    explicit FrmMapScale(const std::optional<MapScale>& scale, QWidget* parent = nullptr);

    /// The scale the boxes give (the map's georeference kept), nothing when both
    /// metres are empty. Only while problem() is "".
    std::optional<MapScale> scale() const;
    /// Why the boxes do not make a scale, "" when they do.
    std::string problem() const;

private:
    void showRange();

    MapScale m_was;
    QLineEdit* txtPixelMetres = nullptr;
    QLineEdit* txtLevelMetres = nullptr;
    QLineEdit* txtBaseMetres = nullptr;
    QLabel* lblRange = nullptr;
    QPushButton* cmdOK = nullptr;
};

}  // namespace morv
