#include "ui/ServerTreeView.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace kv::ui {

ServerTreeView::ServerTreeView(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("TreServer"));
    setHeaderHidden(true);
    setIndentation(kIndentation);
    setMinimumWidth(kMinWidth);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setContextMenuPolicy(Qt::NoContextMenu);
    setIconSize(QSize(16, 16));
    // The selection stays visible while another control has the focus.
    QPalette colours = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    }
    setPalette(colours);
}

void ServerTreeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit RightButtonPressed(event->globalPosition().toPoint());
        return;
    }
    QTreeView::mousePressEvent(event);
}

}  // namespace kv::ui
