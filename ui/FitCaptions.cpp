#include "ui/FitCaptions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace vidlume::ui {
namespace {

constexpr int gap = 3;    ///< between two controls of a row
constexpr int border = 5; ///< kept free inside a box's right edge

bool captioned(const QWidget* widget)
{
    return qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget);
}

bool sameRow(const QWidget* a, const QWidget* b)
{
    return a->y() < b->y() + b->height() && b->y() < a->y() + a->height();
}

/// Lays out one row of check boxes or radio buttons, left to right, each at least
/// as wide as its caption needs, between the controls of other kinds around it.
void fitRow(QWidget* parent, std::vector<QWidget*> row)
{
    std::sort(row.begin(), row.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    bool tooNarrow = false;
    for (QWidget* widget : row)
        tooNarrow = tooNarrow || widget->sizeHint().width() > widget->width();
    if (!tooNarrow)
        return;

    // The room the row has: from the nearest other control on its left to the
    // nearest one on its right, or the box's inner edges.
    int leftEdge = 0;
    int rightEdge = parent->width() - border;
    for (QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (captioned(other) || !sameRow(other, row.front()))
            continue;
        if (other->x() + other->width() <= row.front()->x())
            leftEdge = std::max(leftEdge, other->x() + other->width() + gap);
        else if (other->x() >= row.back()->x() + row.back()->width())
            rightEdge = std::min(rightEdge, other->x() - gap);
    }

    std::vector<int> lefts;
    int right = leftEdge - gap;
    for (QWidget* widget : row) {
        const int left = std::max(widget->x(), right + gap);
        widget->resize(std::max(widget->width(), widget->sizeHint().width()), widget->height());
        lefts.push_back(left);
        right = left + widget->width();
    }
    // What runs past the right edge moves the whole row left, as far as there is room.
    const int shift = std::min(std::max(0, right - rightEdge), std::max(0, lefts.front() - leftEdge));
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i]->move(lefts[i] - shift, row[i]->y());
}

} // namespace

void fitCaptions(QWidget* container)
{
    std::vector<QWidget*> parents{container};
    for (QWidget* child : container->findChildren<QWidget*>())
        parents.push_back(child);
    for (QWidget* parent : parents) {
        std::vector<QWidget*> left;
        for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (captioned(child))
                left.push_back(child);
        while (!left.empty()) {
            std::vector<QWidget*> row;
            for (QWidget* widget : left)
                if (sameRow(widget, left.front()))
                    row.push_back(widget);
            for (QWidget* widget : row)
                left.erase(std::find(left.begin(), left.end(), widget));
            fitRow(parent, row);
        }
    }
}

} // namespace vidlume::ui
