#pragma once
// The one way the tests reach the main window's private handlers and state:
// a window that names each member they use. When an internal moves, this
// list changes and the tests do not.

#include "mainwindow/TransmitterDlg.h"

class CTransmitterDlgTestSeam : public CTransmitterDlg
{
public:
    using CTransmitterDlg::CTransmitterDlg;

    // Handlers.
    using CTransmitterDlg::ConnectDevice;
    using CTransmitterDlg::EnablePanelControls;
    using CTransmitterDlg::EnumSerialPorts;
    using CTransmitterDlg::OnClose;
    using CTransmitterDlg::OnHScroll;
    using CTransmitterDlg::OnLockUnlock;
    using CTransmitterDlg::OnScheduledTask;
    using CTransmitterDlg::OnScheduledTaskDue;
    using CTransmitterDlg::OnSliderWheel;
    using CTransmitterDlg::OnSysCommand;
    using CTransmitterDlg::OnTimer;
    using CTransmitterDlg::PaintButton;

    // State and controls.
    using CTransmitterDlg::m_bBackLightOff;
    using CTransmitterDlg::m_bEchoOff;
    using CTransmitterDlg::m_bLineOff;
    using CTransmitterDlg::m_bMicOff;
    using CTransmitterDlg::m_bMono;
    using CTransmitterDlg::m_bPowerOff;
    using CTransmitterDlg::m_btnBackLight;
    using CTransmitterDlg::m_btnDeviceInfo;
    using CTransmitterDlg::m_btnEcho;
    using CTransmitterDlg::m_btnFreqDown;
    using CTransmitterDlg::m_btnFreqUp;
    using CTransmitterDlg::m_btnLine;
    using CTransmitterDlg::m_btnLineDown;
    using CTransmitterDlg::m_btnLineUp;
    using CTransmitterDlg::m_btnLock;
    using CTransmitterDlg::m_btnMic;
    using CTransmitterDlg::m_btnMicDown;
    using CTransmitterDlg::m_btnMicUp;
    using CTransmitterDlg::m_btnPower;
    using CTransmitterDlg::m_btnPwrDown;
    using CTransmitterDlg::m_btnPwrUp;
    using CTransmitterDlg::m_btnSchedule;
    using CTransmitterDlg::m_btnSet;
    using CTransmitterDlg::m_btnStMono;
    using CTransmitterDlg::m_bUnlocked;
    using CTransmitterDlg::m_clrActive;
    using CTransmitterDlg::m_clrIdle;
    using CTransmitterDlg::m_dispFreq;
    using CTransmitterDlg::m_dispFwdPower;
    using CTransmitterDlg::m_dispLineVol;
    using CTransmitterDlg::m_dispMicVol;
    using CTransmitterDlg::m_dispSwr;
    using CTransmitterDlg::m_dispTemperature;
    using CTransmitterDlg::m_freq;
    using CTransmitterDlg::m_lineVol;
    using CTransmitterDlg::m_metrics;
    using CTransmitterDlg::m_micVol;
    using CTransmitterDlg::m_password;
    using CTransmitterDlg::m_portNames;
    using CTransmitterDlg::m_power;
    using CTransmitterDlg::m_progressAudio;
    using CTransmitterDlg::m_rtVolPoller;
    using CTransmitterDlg::m_schedule;
    using CTransmitterDlg::m_sliderFreq;
    using CTransmitterDlg::m_sliderLineVol;
    using CTransmitterDlg::m_sliderMicVol;
    using CTransmitterDlg::m_sliderPower;
    using CTransmitterDlg::m_statusPoller;
};
