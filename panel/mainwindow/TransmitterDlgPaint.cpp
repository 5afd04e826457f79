// Setting the main window's controls up, showing the readings and painting
// the buttons.
#include "TransmitterDlg.h"

#include "MainWindowTemplate.h"
#include "PanelMetrics.h"
#include "controls/Resources.h"

#include <QFontMetrics>

namespace {

constexpr ColorRef kDisplayColour = Rgb(150, 150, 255);
constexpr ColorRef kDeviceTypeColour = Rgb(0, 128, 0);

// A bold font whose character cell (ascent plus descent) is `cellHeight`
// pixels high, the way the original platform sizes a font by a positive height.
QFont CellHeightFont(const char* face, int cellHeight)
{
    QFont font(QString::fromLatin1(face));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    int pixelSize = cellHeight;
    font.setPixelSize(pixelSize);
    while (pixelSize > 1 && QFontMetrics(font).height() > cellHeight) {
        font.setPixelSize(--pixelSize);
    }
    return font;
}

}  // namespace

// The readouts: which display shows a reading, with which format, and whether
// the value is in tenths.
struct CTransmitterDlg::Readout {
    ReadingKind kind;
    CSegmentDisplay CTransmitterDlg::*display;
    const char* format;
    bool tenths;
};

std::span<const CTransmitterDlg::Readout> CTransmitterDlg::Readouts()
{
    static constexpr Readout kReadouts[] = {
        {ReadingKind::Frequency, &CTransmitterDlg::m_dispFreq, "%3.1lf", true},
        {ReadingKind::ForwardPower, &CTransmitterDlg::m_dispFwdPower, "%2.1lf", true},
        {ReadingKind::Swr, &CTransmitterDlg::m_dispSwr, "%2.1lf", true},
        {ReadingKind::LineVolume, &CTransmitterDlg::m_dispLineVol, "%02d", false},
        {ReadingKind::MicVolume, &CTransmitterDlg::m_dispMicVol, "%02d", false},
        {ReadingKind::Temperature, &CTransmitterDlg::m_dispTemperature, "%02d", false},
    };
    return kReadouts;
}

void CTransmitterDlg::ShowReading(CSegmentDisplay& display, const Readout& readout, int value)
{
    if (readout.tenths) {
        display.FormatText(readout.format, value * 0.1);
    } else {
        display.FormatText(readout.format, value);
    }
}

void CTransmitterDlg::OnDeviceReading(ReadingKind kind, int reading)
{
    if (m_metrics) {
        m_metrics->OnReading(kind, reading,
                             {!m_core.IsPowerOn(), m_core.IsActive(Function::Echo), m_core.IsActive(Function::Line),
                              m_core.IsActive(Function::Mic), m_core.Accepted(Quantity::Power)});
    }
    if (kind == ReadingKind::Failure) {
        return;  // failures are silent on screen
    }
    if (kind == ReadingKind::Level) {
        m_progressAudio.SetPos(static_cast<std::int16_t>(reading > kLevelMeterTop ? kLevelMeterTop : reading));
        return;
    }
    if (kind == ReadingKind::Mono) {
        SetDlgItemText(IDC_STATIC_STMONO, reading ? QStringLiteral("MONO") : QStringLiteral("ST"));
        return;
    }
    for (const Readout& readout : Readouts()) {
        if (readout.kind == kind) {
            ShowReading(this->*readout.display, readout, reading);
            return;
        }
    }
}

void CTransmitterDlg::SetUpControls()
{
    for (const Readout& readout : Readouts()) {
        CSegmentDisplay& display = this->*readout.display;
        display.SetBackColor(Rgb(0, 0, 0));
        display.SetSegmentColors(kDisplayColour, kDisplayColour);
        ShowReading(display, readout, 0);
        display.ModifySegmentStyle(0, SEGSTYLE_KEEP_ASPECT | SEGSTYLE_HIDE_UNLIT);
    }

    m_fontStMono = CellHeightFont("Times New Roman", 30);
    m_fontButtons = CellHeightFont("Times New Roman", 16);
    m_fontDeviceType = CellHeightFont("Times New Roman", 50);
    if (QWidget* stMono = Control(IDC_STATIC_STMONO)) {
        stMono->setFont(m_fontStMono);
    }
    SetDlgItemText(IDC_STATIC_STMONO, QStringLiteral("MONO"));
    if (QWidget* deviceType = Control(IDC_STATIC_DEVTYPE)) {
        deviceType->setFont(m_fontDeviceType);
        QPalette palette = deviceType->palette();
        palette.setColor(QPalette::WindowText, ToQColor(kDeviceTypeColour));
        deviceType->setPalette(palette);
    }

    for (const auto& [slider, quantity] : Sliders()) {
        // The scale is always twenty tick spaces, whatever the range.
        const CTransmitterCore::Range range = CTransmitterCore::RangeOf(quantity);
        slider->SetRange(range.minimum, range.maximum);
        slider->SetPos(m_core.Accepted(quantity));
    }

    PlaceScaleTexts();

    m_progressAudio.SetRange(0, kLevelMeterTop);
    m_progressAudio.SetPos(0);

    for (CImageButton* button : {&m_btnPower, &m_btnLine, &m_btnMic, &m_btnEcho, &m_btnStMono, &m_btnBackLight,
                                 &m_btnSet, &m_btnLock, &m_btnDeviceInfo, &m_btnSchedule}) {
        button->setFont(m_fontButtons);
    }
    PaintButton(m_btnPower, m_core.IsPowerOn() ? m_clrActive : m_clrIdle);
    PaintToggleButtons();
    PaintButton(m_btnSet, m_clrIdle);
    PaintButton(m_btnDeviceInfo, m_clrIdle);
    PaintButton(m_btnSchedule, m_clrIdle);

    for (CImageButton* up : {&m_btnFreqUp, &m_btnPwrUp, &m_btnLineUp, &m_btnMicUp}) {
        up->LoadImages(IDB_TRIANGLE_UP, Rgb(255, 255, 255), 0, 0);
    }
    for (CImageButton* down : {&m_btnFreqDown, &m_btnPwrDown, &m_btnLineDown, &m_btnMicDown}) {
        down->LoadImages(IDB_TRIANGLE_DOWN, Rgb(255, 255, 255), 0, 0);
    }
}

void CTransmitterDlg::PlaceScaleTexts()
{
    // The channel rectangle spans the thumb's centre moved left by the first
    // tick's offset; the texts are centred under the thumb at either end.
    constexpr int kFirstTickOffset = 5;
    for (const ScaleText& scale : kScaleTexts) {
        const auto* slider = qobject_cast<const CSkinSlider*>(Control(scale.sliderId));
        QWidget* text = Control(scale.id);
        if (!slider || !text) {
            continue;
        }
        const QRect channel = slider->ChannelRect();
        const int first = channel.left() + kFirstTickOffset;
        const int last = first + channel.width();
        const int centre = scale.end == ScaleEnd::Minimum   ? first
                           : scale.end == ScaleEnd::Maximum ? last
                                                            : (first + last) / 2;
        text->move(slider->x() + centre - text->width() / 2, text->y());
    }
}

void CTransmitterDlg::PaintToggleButtons()
{
    const std::pair<CImageButton*, Function> toggles[] = {
        {&m_btnLine, Function::Line},           {&m_btnMic, Function::Mic},
        {&m_btnEcho, Function::Echo},           {&m_btnStMono, Function::StereoMono},
        {&m_btnBackLight, Function::BackLight},
    };
    for (const auto& [button, function] : toggles) {
        PaintButton(*button, m_core.IsActive(function) ? m_clrActive : m_clrIdle);
    }
    PaintButton(m_btnLock, m_bUnlocked ? m_clrIdle : m_clrActive);
}
