// The About entry where the window manager owns the title bar and its menu:
// offered from a right-click on the window's background.

#include "SystemMenu.h"

#include "dialogkit/ControlIds.h"

#include <QMenu>

void CSystemMenu::Install(QWidget* window)
{
    if (m_window != nullptr) {
        return;
    }
    m_window = window;
    window->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(window, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        if (m_window == nullptr) {
            return;
        }
        QMenu menu(m_window);
        menu.addSeparator();
        const QAction* about = menu.addAction(QString::fromLatin1(kAboutMenuText));
        if (menu.exec(m_window->mapToGlobal(position)) == about) {
            emit commandChosen(IDM_ABOUTBOX);
        }
    });
}

bool CSystemMenu::NativeEvent(const QByteArray&, void*, qintptr*) { return false; }
