#pragma once
// Stands in for the operator reading a message box: every box the panel
// shows is counted by its text and stays "on screen" for a random short
// while, during which a nested event loop runs exactly as a real modal box
// would run one (timers fire, posted messages are handled).

#include "dialogkit/MessageBox.h"

#include <QString>
#include <functional>
#include <map>
#include <random>

namespace soak {

class CMessageBoxReader
{
public:
    // `rng` gives the reading times; both bounds are in milliseconds.
    CMessageBoxReader(std::mt19937& rng, int minReadMs, int maxReadMs);
    ~CMessageBoxReader();
    CMessageBoxReader(const CMessageBoxReader&) = delete;
    CMessageBoxReader& operator=(const CMessageBoxReader&) = delete;

    // True while a box is on screen (the operator can do nothing else).
    bool IsReading() const { return m_depth > 0; }
    // Texts shown so far, with their captions: "Set Freq Fail (Error)".
    const std::map<QString, int>& Shown() const { return m_shown; }
    int Total() const { return m_total; }
    // Boxes opened while another was still on screen.
    int Nested() const { return m_nested; }

private:
    void Read(const QString& text, const QString& caption);

    std::mt19937& m_rng;
    std::uniform_int_distribution<int> m_readMs;
    MessageBoxHook m_previous;
    std::map<QString, int> m_shown;
    int m_total = 0;
    int m_nested = 0;
    int m_depth = 0;
};

}  // namespace soak
