// The main window's look: program-wide dialog colours, fonts, the scale texts
// and the About box.
#include "mainwindow/fixture.h"

#include "app/TransmitterApp.h"
#include "dialogs/AboutDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

namespace panel_test {
namespace {

using LookTest = MainWindowTest;

const QColor kDialogText(128, 128, 255);

QLabel* LabelWithText(const QWidget& parent, const QString& text, int nth = 0)
{
    for (QLabel* label : parent.findChildren<QLabel*>()) {
        if (label->text() == text && nth-- == 0) {
            return label;
        }
    }
    return nullptr;
}

TEST_F(LookTest, DialogColoursAndFonts)
{
    CTransmitterApp::InstallFontSubstitutes();
    CDialog::SetDialogBkColor(Rgb(0, 0, 0), Rgb(128, 128, 255));
    CTransmitterDlg& dlg = OpenQuiet();

    EXPECT_EQ(dlg.palette().color(QPalette::Window), QColor(Qt::black));
    QLabel* scale = LabelWithText(dlg, QStringLiteral("108.0"));
    ASSERT_NE(scale, nullptr);
    EXPECT_EQ(scale->palette().color(QPalette::WindowText), kDialogText);
    EXPECT_EQ(dlg.Control(IDC_STATIC_DEVTYPE)->palette().color(QPalette::WindowText), QColor(0, 128, 0));

    // Bold serif fonts sized by their character cell.
    const std::pair<int, int> cells[] = {{IDC_STATIC_STMONO, 30}, {IDC_STATIC_DEVTYPE, 50}, {IDC_BTN_POWER, 16}};
    for (const auto& [id, height] : cells) {
        const QFont font = dlg.Control(id)->font();
        EXPECT_TRUE(font.bold()) << id;
        EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Liberation Serif")) << id;
        EXPECT_LE(QFontMetrics(font).height(), height) << id;
        EXPECT_GE(QFontMetrics(font).height(), height - 3) << id;
    }

    static const ControlTemplate controls[] = {
        {100, ControlKind::Static, "Label", 5, 5, 40, 8},
        {101, ControlKind::Edit, "text", 5, 20, 40, 12},
    };
    const DialogTemplate tmpl{999, "Colours", 60, 40, "MS Sans Serif", 8, controls};
    CDialog other(tmpl);
    other.OnInitDialog();
    EXPECT_EQ(other.palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(other.GetDlgItem(100)->palette().color(QPalette::WindowText), kDialogText);
    const QPalette system = QApplication::palette();
    const QPalette edit = other.GetDlgItem(101)->palette();
    EXPECT_EQ(edit.color(QPalette::Base), system.color(QPalette::Base));
    EXPECT_EQ(edit.color(QPalette::Text), system.color(QPalette::Text));
    EXPECT_EQ(edit.color(QPalette::Window), system.color(QPalette::Window));
}

TEST_F(LookTest, ScaleTextsSitUnderTheThumbAtEachEndOfTheRange)
{
    CTransmitterDlg& dlg = OpenQuiet();
    struct Scale {
        CSkinSlider* slider;
        int minimum, maximum;
        const char* low;
        const char* high;
        const char* unit;
        int nth;  // "1" labels two sliders
    };
    const Scale scales[] = {
        {&Slider(dlg, IDC_SLIDER_FREQ), 870, 1080, "87.0", "108.0", "MHz", 0},
        {&Slider(dlg, IDC_SLIDER_POWER), 3, 150, "0.3", "15.0", "W", 0},
        {&Slider(dlg, IDC_SLIDER_LINEVOL), 1, 13, "1", "13", nullptr, 0},
        {&Slider(dlg, IDC_SLIDER_MICVOL), 1, 30, "1", "30", nullptr, 1},
    };
    for (const Scale& s : scales) {
        SCOPED_TRACE(s.high);
        CSkinSlider& slider = *s.slider;
        const int saved = slider.GetPos();
        slider.SetPos(s.minimum);
        const int lowThumb = slider.x() + slider.ThumbRect().center().x();
        slider.SetPos(s.maximum);
        const int highThumb = slider.x() + slider.ThumbRect().center().x();
        slider.SetPos(saved);

        QLabel* low = LabelWithText(dlg, QString::fromLatin1(s.low), s.nth);
        QLabel* high = LabelWithText(dlg, QString::fromLatin1(s.high));
        ASSERT_NE(low, nullptr);
        ASSERT_NE(high, nullptr);
        EXPECT_NEAR(low->geometry().center().x(), lowThumb, 2);
        EXPECT_NEAR(high->geometry().center().x(), highThumb, 2);
        if (s.unit) {
            QLabel* unit = LabelWithText(dlg, QString::fromLatin1(s.unit));
            ASSERT_NE(unit, nullptr);
            EXPECT_NEAR(unit->geometry().center().x(), (lowThumb + highThumb) / 2, 2);
        }
        for (QLabel* label : {low, high}) {
            // Just below the slider.
            EXPECT_GE(label->geometry().top(), slider.geometry().bottom());
            EXPECT_LT(label->geometry().top() - slider.geometry().bottom(), 8);
        }
    }
}

TEST_F(LookTest, AboutBoxFromTheWindowMenu)
{
    CTransmitterDlg& dlg = OpenQuiet();

    QStringList menuTexts;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator()) {
                    menuTexts.append(action->text());
                }
            }
            menu->close();
        }
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), dlg.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&dlg, &menuEvent);
    EXPECT_EQ(menuTexts, QStringList{QStringLiteral("&About VO-Raduzarizad...")});

    for (int command : {16, 16 | 0x0B}) {
        QString caption;
        QStringList texts;
        QTimer::singleShot(0, [&] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                caption = about->windowTitle();
                for (QLabel* label : about->findChildren<QLabel*>()) {
                    texts.append(label->text());
                }
                about->OnOK();
            }
        });
        emit dlg.findChild<CSystemMenu*>()->commandChosen(command);
        QCoreApplication::sendPostedEvents(&dlg);
        EXPECT_EQ(caption, QStringLiteral("About VO-Raduzarizad")) << command;
        EXPECT_TRUE(texts.contains(QStringLiteral("VO-Raduzarizad Version 1.0")));
    }
}

}  // namespace
}  // namespace panel_test
