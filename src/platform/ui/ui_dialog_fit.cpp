#include "platform/ui/ui_dialog_fit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace ckvd::ui {

namespace {

constexpr const char* kPlaced = "ckvdPlaced";

QRect AvailableArea(const QWidget& dialog) {
    const QWidget* parent = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
    QScreen* screen = parent ? parent->screen() : dialog.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// The dialog's own layout, with the widgets it holds, moved into a scroll area that becomes its one child.
void ScrollContent(QDialog& dialog) {
    QLayout* content = dialog.layout();
    if (!content)
        return;
    auto* inner = new QWidget;
    inner->setLayout(content); // takes the layout and its widgets over from the dialog
    content->setSizeConstraint(QLayout::SetDefaultConstraint);
    auto* area = new QScrollArea(&dialog);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(inner);
    auto* outer = new QVBoxLayout(&dialog);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(area);
    area->setVisible(true);
}

} // namespace

void FitDialogToScreen(QDialog& dialog) {
    const QRect available = AvailableArea(dialog);
    if (available.isEmpty())
        return;
    // Room for the window manager's frame and title bar around the dialog.
    const int title = dialog.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &dialog);
    const QSize room(available.width() - 16, available.height() - title - 16);
    const QSize wanted = dialog.sizeHint().expandedTo(dialog.minimumSize()).expandedTo(dialog.size());
    if (wanted.width() > room.width() || wanted.height() > room.height()) {
        ScrollContent(dialog);
        dialog.setMinimumSize(0, 0);
        dialog.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        const int bar = dialog.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &dialog);
        dialog.resize(std::min(wanted.width() + bar, room.width()),
                      std::min(wanted.height() + bar, room.height()));
        dialog.layout()->activate();
    }
    const QWidget* parent = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
    const QRect over = parent && parent->isVisible() ? parent->frameGeometry() : available;
    QRect placed(QPoint(), dialog.size());
    placed.moveCenter(over.center());
    placed.moveLeft(std::clamp(placed.left(), available.left(),
                               std::max(available.left(), available.right() - placed.width())));
    placed.moveTop(std::clamp(placed.top(), available.top(),
                              std::max(available.top(), available.bottom() - placed.height() - title)));
    dialog.move(placed.topLeft());
}

bool DialogPlacer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog && dialog->isWindow() && !dialog->property(kPlaced).toBool()) {
            dialog->setProperty(kPlaced, true);
            FitDialogToScreen(*dialog);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ckvd::ui
