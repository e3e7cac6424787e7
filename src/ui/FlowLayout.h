#pragma once
#include <QLayout>
#include <QList>

namespace morv {

/// Lays its items out left to right and starts a new row where the next one would
/// not fit, so a panel narrower than its controls shows them all on more rows.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr, int spacing = 6);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    /// The height the rows take at the given width, margins included.
    int heightForWidth(int width) const override;
    /// The widest item: the layout can be as narrow as one item a row.
    QSize minimumSize() const override;
    /// Every item on one row.
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    int arrange(const QRect& rect, bool place) const;

    QList<QLayoutItem*> m_items;
    int m_spacing;
};

}  // namespace morv
