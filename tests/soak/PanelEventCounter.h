#pragma once
// Counts what the main window receives from its threads: readings from the
// pollers (through the core) and due tasks from the scheduler (by operation).

#include <QObject>

#include <map>

class CTransmitterDlg;

namespace soak {

class CPanelEventCounter : public QObject
{
public:
    // Counts from now on what `dlg` receives, on the window's own thread.
    void Watch(CTransmitterDlg& dlg);
    int Readings() const { return m_readings; }
    // Due tasks by operation code.
    const std::map<int, int>& TasksFired() const { return m_tasks; }

private:
    int m_readings = 0;
    std::map<int, int> m_tasks;
};

}  // namespace soak
