#pragma once
// Counts the messages the main window receives from its threads: readings
// from the pollers and due tasks from the scheduler (by operation).

#include <QObject>

#include <map>

namespace soak {

class CPanelEventCounter : public QObject
{
public:
    int Readings() const { return m_readings; }
    // Due tasks by operation code.
    const std::map<int, int>& TasksFired() const { return m_tasks; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_readings = 0;
    std::map<int, int> m_tasks;
};

}  // namespace soak
