#include "platform/widgets/twip_layout.h"

#include "platform/widgets/twips.h"

#include <QWidget>

#include <cmath>

namespace tessaro {
namespace {

// Edges that follow the same share land on the same pixel, so that controls side by side in
// the design stay side by side.
int grown(int edge, qreal share, int extra)
{
    return edge + static_cast<int>(std::floor(share * extra));
}

} // namespace

TwipLayout::TwipLayout(QWidget* window, QSize design)
    : QLayout(window)
    , m_design(design)
{
    setContentsMargins(0, 0, 0, 0);
    setSizeConstraint(QLayout::SetMinimumSize);
}

TwipLayout::~TwipLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TwipLayout::add(QWidget* control, const QRect& twips, Follow follow)
{
    addChildWidget(control);
    m_placed.push_back({new QWidgetItem(control), twips, follow});
    invalidate();
}

int TwipLayout::dpi() const
{
    return parentWidget() ? parentWidget()->logicalDpiX() : 96;
}

QSize TwipLayout::sizeHint() const
{
    return {twipsToPixels(m_design.width(), dpi()), twipsToPixels(m_design.height(), dpi())};
}

QSize TwipLayout::minimumSize() const
{
    return sizeHint();
}

void TwipLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const int dpi = this->dpi();
    const QSize extra = (rect.size() - sizeHint()).expandedTo(QSize(0, 0));
    for (const Placed& placed : std::as_const(m_placed)) {
        const QRect design = twipsRect(placed.twips.x(), placed.twips.y(), placed.twips.width(), placed.twips.height(), dpi);
        const Follow& f = placed.follow;
        const int left = grown(design.left(), f.left, extra.width());
        const int top = grown(design.top(), f.top, extra.height());
        const int right = grown(design.left() + design.width(), f.right, extra.width());
        const int bottom = grown(design.top() + design.height(), f.bottom, extra.height());
        // On the widget itself: through its layout item a button would keep the height of its
        // size hint, where the design gives it its own.
        const QRect place(rect.left() + left, rect.top() + top, right - left, bottom - top);
        if (QWidget* widget = placed.item->widget())
            widget->setGeometry(place);
        else
            placed.item->setGeometry(place);
    }
}

// Only add() places a control; anything added otherwise sits at the window's corner.
void TwipLayout::addItem(QLayoutItem* item)
{
    m_placed.push_back({item, {}, {}});
}

QLayoutItem* TwipLayout::itemAt(int index) const
{
    return index >= 0 && index < m_placed.size() ? m_placed[index].item : nullptr;
}

QLayoutItem* TwipLayout::takeAt(int index)
{
    if (index < 0 || index >= m_placed.size())
        return nullptr;
    return m_placed.takeAt(index).item;
}

int TwipLayout::count() const
{
    return static_cast<int>(m_placed.size());
}

} // namespace tessaro
