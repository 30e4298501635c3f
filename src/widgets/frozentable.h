#pragma once

#include <QTableView>

#include <array>

namespace worvane
{

// A table whose first columns, last columns and last rows stay in view while the rest scrolls under
// them: views of the same model, selection and delegate laid over the table's edges (one each for the
// left columns, the right columns, the bottom rows and the two bottom corners). The keys and the focus
// stay with the table; a cell clicked in a frozen part is the table's current cell, and activating one
// is the table's `activated`. Where everything fits, the frozen parts lie where the table has them.
class FrozenTableView : public QTableView
{
    Q_OBJECT
public:
    explicit FrozenTableView(QWidget *parent = nullptr);

    // After the model and the delegate are set.
    void setFrozen(int leftColumns, int rightColumns, int bottomRows);

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void updateGeometries() override;

private:
    enum Part { Left, Right, Bottom, BottomLeft, BottomRight, PartCount };

    QTableView *makePart(Part part);
    // Each part's rows and columns, and the table's sizes, again (after a reset or a resize).
    void shapeParts();
    void placeParts();
    int leftWidth() const;
    int rightWidth() const;
    int bottomHeight() const;
    bool frozenColumn(int column) const;
    bool frozenRow(int row) const;

    std::array<QTableView *, PartCount> m_parts{};
    int m_left = 0, m_right = 0, m_bottom = 0;
};

} // namespace worvane
