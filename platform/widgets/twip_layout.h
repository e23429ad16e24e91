#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

namespace tessaro {

// Places a window's controls where its design puts them, in twips, and lets the window grow
// beyond the design: each edge of a control follows a share of the extra width or height,
// so that lists and pictures grow while the buttons and captions beside them keep their size
// and their place. The window never shrinks below its design.
class TwipLayout : public QLayout {
public:
    // Each edge's share of the growth, from 0 (stays) to 1 (follows it all): left and right
    // of the extra width, top and bottom of the extra height. A control whose edges have
    // the same share moves without growing.
    struct Follow {
        qreal left = 0, top = 0, right = 0, bottom = 0;
    };

    // `design`: the window's client area as designed, in twips.
    TwipLayout(QWidget* window, QSize design);
    ~TwipLayout() override;

    // Places `control` at `twips` in the design, its edges following the growth as `follow` says.
    void add(QWidget* control, const QRect& twips, Follow follow);

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;

private:
    struct Placed {
        QLayoutItem* item;
        QRect twips;
        Follow follow;
    };
    int dpi() const;

    QList<Placed> m_placed;
    QSize m_design;
};

} // namespace tessaro
