#pragma once
// Level meter: a black field across which up to 30 green blocks light up.

#include "ColorRef.h"

#include <QWidget>
#include <cstdint>

class CSkinProgress : public QWidget
{
    Q_OBJECT
public:
    explicit CSkinProgress(QWidget* parent = nullptr);
    ~CSkinProgress() override;

    // Stored only when 0 <= lower < upper; repaints.
    void SetRange(int lower, int upper);
    // Stored only inside the range (never clamped); repaints.
    void SetPos(std::int16_t position);
    int GetPos() const { return m_nPos; }
    int GetLower() const { return m_nLower; }
    int GetUpper() const { return m_nUpper; }

    // Blocks lit at the current position: (pos - lower) * blocks / (upper - lower).
    int LitBlocks() const;
    // Block `index` (from 0, left to right) in client coordinates.
    QRect BlockRect(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::int16_t m_nBlockHeight = 15;
    std::int16_t m_nGap = 3;
    std::int16_t m_nMargin = 4;
    std::int16_t m_nLower = 0;
    std::int16_t m_nUpper = 20;
    std::int16_t m_nPos = 8;
    std::int16_t m_nBlocks = 30;
    ColorRef m_crBack = 0x000000;
    ColorRef m_crBlock = 0x008000;
};
