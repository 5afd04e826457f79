#pragma once
// One QApplication for a whole test program, and small helpers to look at
// what a control paints and to feed it mouse events.

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

class ControlsTestApp : public ::testing::Environment
{
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "controls_tests";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
    }
    void TearDown() override { delete m_app; }

private:
    QApplication* m_app = nullptr;
};

inline ::testing::Environment* const g_controlsTestApp = ::testing::AddGlobalTestEnvironment(new ControlsTestApp);

inline QImage Render(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

inline void Mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons held,
                  Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(type, at, target->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
