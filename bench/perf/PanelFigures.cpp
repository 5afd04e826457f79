#include "PanelFigures.h"

#include "PerfStats.h"

#include "app/TransmitterApp.h"
#include "dialogkit/Dialog.h"
#include "mainwindow/TransmitterDlg.h"

#include <SimTransmitter.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <map>
#include <unistd.h>
#include <vector>

namespace perf {

namespace {

// Notes when the window first paints, then closes it.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(CTransmitterDlg& dlg) : m_dlg(dlg) { m_clock.start(); }

    std::optional<double> Ms() const { return m_ms; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_dlg && event->type() == QEvent::Paint && !m_ms) {
            m_ms = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
            QTimer::singleShot(0, &m_dlg, [this] { m_dlg.close(); });
        }
        return false;
    }

private:
    CTransmitterDlg& m_dlg;
    QElapsedTimer m_clock;
    std::optional<double> m_ms;
};

// Counts the paint events of every widget of one window, per class, and the
// readings the window receives, while `counting` is set.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(CTransmitterDlg& window) : m_window(window)
    {
        connect(&window.Core(), &CTransmitterCore::readingArrived, this, [this] {
            if (m_counting) {
                ++m_readings;
            }
        });
    }

    bool m_counting = false;
    std::map<std::string, int> m_paints;
    int m_readings = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_counting) {
            return false;
        }
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            (watched == &m_window || m_window.isAncestorOf(static_cast<QWidget*>(watched)))) {
            ++m_paints[watched->metaObject()->className()];
        }
        return false;
    }

private:
    CTransmitterDlg& m_window;
};

std::optional<QByteArray> ReadProcFile(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

void Sleep(double seconds) { QThread::msleep(static_cast<unsigned long>(seconds * 1000.0)); }

}  // namespace

std::optional<double> MeasureStartUp(int runs)
{
    CTransmitterApp::InstallFontSubstitutes();
    CDialog::SetDialogBkColor(Rgb(0, 0, 0), Rgb(128, 128, 255));
    SimTransmitter sim;
    if (!sim.Start()) {
        return std::nullopt;
    }
    PanelOptions options;
    options.ports = QStringList{QString::fromStdString(sim.DevicePath())};
    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        CTransmitterDlg dlg(options);
        FirstPaint firstPaint(dlg);  // the clock starts with the window
        dlg.installEventFilter(&firstPaint);
        // A window that never paints is closed after a while, unmeasured.
        QTimer::singleShot(std::chrono::seconds(15), &dlg, [&dlg] { dlg.close(); });
        dlg.DoModal();
        dlg.removeEventFilter(&firstPaint);
        if (!firstPaint.Ms()) {
            return std::nullopt;
        }
        samples.push_back(*firstPaint.Ms());
    }
    sim.Stop();
    return Percentile(samples, 0.5);
}

RepaintFigures MeasureRepaints(double settleSeconds, double seconds)
{
    RepaintFigures figures;
    SimTransmitter sim;
    if (!sim.Start()) {
        return figures;
    }
    PanelOptions options;
    options.ports = QStringList{QString::fromStdString(sim.DevicePath())};
    CTransmitterDlg dlg(options);
    PaintCounter counter(dlg);
    qApp->installEventFilter(&counter);
    const auto settle = std::chrono::milliseconds(static_cast<int>(settleSeconds * 1000.0));
    const auto span = std::chrono::milliseconds(static_cast<int>(seconds * 1000.0));
    QTimer::singleShot(settle, &dlg, [&counter] { counter.m_counting = true; });
    QTimer::singleShot(settle + span, &dlg, [&dlg, &counter] {
        counter.m_counting = false;
        dlg.close();
    });
    dlg.DoModal();
    qApp->removeEventFilter(&counter);
    sim.Stop();
    int total = 0;
    std::pair<std::string, int> busiest{"", 0};
    for (const auto& [name, count] : counter.m_paints) {
        total += count;
        if (count > busiest.second) {
            busiest = {name, count};
        }
    }
    figures.perSecond = total / seconds;
    figures.readingsPerSecond = counter.m_readings / seconds;
    char text[128];
    std::snprintf(text, sizeof text, "%s %.1f/s", busiest.first.c_str(), busiest.second / seconds);
    figures.busiest = text;
    return figures;
}

RunningFigures MeasureRunningPanel(const QString& program, double settleSeconds, double seconds)
{
    RunningFigures figures;
    figures.seconds = seconds;
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        return figures;
    }
    QProcess panel;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // A private settings store: no stored password locks the panel, and the
    // operator's own settings are left alone.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.path());
    panel.setProcessEnvironment(environment);
    panel.setWorkingDirectory(scratch.path());
    panel.setProcessChannelMode(QProcess::ForwardedChannels);
    panel.start(program, {QStringLiteral("--simulate")});
    if (!panel.waitForStarted(5000)) {
        return figures;
    }
    const qint64 pid = panel.processId();
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);

    Sleep(settleSeconds);
    const auto before = ReadProcFile(pid, "stat");
    QElapsedTimer wall;
    wall.start();
    Sleep(seconds);
    const auto after = ReadProcFile(pid, "stat");
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const auto status = ReadProcFile(pid, "status");

    if (before && after && panel.state() == QProcess::Running) {
        const auto ticksBefore = CpuTicksFromStat(before->toStdString());
        const auto ticksAfter = CpuTicksFromStat(after->toStdString());
        if (ticksBefore && ticksAfter && *ticksAfter >= *ticksBefore) {
            figures.corePercent = CorePercent(*ticksAfter - *ticksBefore, ticksPerSecond, elapsed);
            figures.seconds = elapsed;
        }
    }
    if (status) {
        figures.residentKb = ResidentKbFromStatus(status->toStdString());
    }
    panel.terminate();
    if (!panel.waitForFinished(5000)) {
        panel.kill();
        panel.waitForFinished(5000);
    }
    return figures;
}

}  // namespace perf
