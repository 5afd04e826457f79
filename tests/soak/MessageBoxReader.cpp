#include "MessageBoxReader.h"

#include <QEventLoop>
#include <QTimer>

namespace soak {

CMessageBoxReader::CMessageBoxReader(std::mt19937& rng, int minReadMs, int maxReadMs)
    : m_rng(rng), m_readMs(minReadMs, maxReadMs)
{
    m_previous =
        SetMessageBoxHook([this](QWidget*, const QString& text, const QString& caption) { Read(text, caption); });
}

CMessageBoxReader::~CMessageBoxReader() { SetMessageBoxHook(std::move(m_previous)); }

void CMessageBoxReader::Read(const QString& text, const QString& caption)
{
    ++m_total;
    ++m_shown[text + QStringLiteral(" (") + caption + QLatin1Char(')')];
    if (m_depth > 0) {
        ++m_nested;
    }
    ++m_depth;
    QEventLoop loop;
    QTimer::singleShot(m_readMs(m_rng), &loop, &QEventLoop::quit);
    loop.exec();
    --m_depth;
}

}  // namespace soak
