#pragma once
// Every alert of the system: a message with an icon, a title and one of seven button sets,
// answered with one of three four-character results. Without a parent window the alert is
// application-modal; with one it is a sheet on that window, which blocks input to the parent
// only while the rest of the application keeps working.
#include <cstdint>

#include "toolbox/Alerts.h"
#include "toolbox/Windows.h"

// Icon bits (the first set wins in this order) or'ed with one button bit (likewise).
using MessageBoxStyle = std::uint32_t;
inline constexpr MessageBoxStyle kMessageBoxIconStop = 0x100;
inline constexpr MessageBoxStyle kMessageBoxIconCaution = 0x200;
inline constexpr MessageBoxStyle kMessageBoxIconNote = 0x400;
inline constexpr MessageBoxStyle kMessageBoxOK = 0x1;
inline constexpr MessageBoxStyle kMessageBoxOKCancel = 0x2;
inline constexpr MessageBoxStyle kMessageBoxRetryCancel = 0x4;
inline constexpr MessageBoxStyle kMessageBoxYesNo = 0x8;
inline constexpr MessageBoxStyle kMessageBoxYesCancelNo = 0x10;
inline constexpr MessageBoxStyle kMessageBoxSaveCancelDontSave = 0x20;
inline constexpr MessageBoxStyle kMessageBoxRetryIgnoreAbort = 0x40;
inline constexpr MessageBoxStyle kMessageBoxError = 0x101;
inline constexpr MessageBoxStyle kMessageBoxInfo = 0x401;

using MessageBoxResult = toolbox::OSType;
inline constexpr MessageBoxResult kMessageBoxResultOK = toolbox::FourCC("ok  ");
inline constexpr MessageBoxResult kMessageBoxResultCancel = toolbox::FourCC("not!");
inline constexpr MessageBoxResult kMessageBoxResultNo = toolbox::FourCC("No!!");
// What the sheet's button handler records for the other button.
inline constexpr toolbox::OSType kMessageSheetOther = toolbox::FourCC("othr");

// A null parent means no parent window. The format follows the wide printf conventions;
// its expansion is shown as it is, never used as a format again. When it cannot be
// expanded, the format text itself is shown.
MessageBoxResult ShowMessageBox(toolbox::WindowRef parent, MessageBoxStyle style,
                                const wchar_t* title, const wchar_t* format, ...);
MessageBoxResult ShowMessageSheet(toolbox::WindowRef parent, MessageBoxStyle style,
                                  const wchar_t* title, const wchar_t* message);
// Control hits on the sheet: records 'ok  ', 'not!' or 'othr' (0 for any other command) in
// the OSType that userData points to.
toolbox::OSStatus MessageSheetButtonHandler(toolbox::EventHandlerCallRef next,
                                            toolbox::EventRef event, void* userData);
MessageBoxResult ShowInfoMessageF(toolbox::WindowRef parent, const wchar_t* title,
                                  const wchar_t* format, ...);
MessageBoxResult ShowErrorMessageF(toolbox::WindowRef parent, const wchar_t* title,
                                   const wchar_t* format, ...);
MessageBoxResult ShowErrorCode(toolbox::WindowRef parent, int code);
MessageBoxResult MessageBoxByStringIds(toolbox::WindowRef parent, MessageBoxStyle style,
                                       int titleNumber, int formatNumber, ...);
// The numbered text "Error", the title of error boxes.
inline constexpr int kErrorTitleText = 10000;
// "Error" stands in for a title or message whose number has no text.
MessageBoxResult ReportError(toolbox::WindowRef parent, int titleNumber, int formatNumber, ...);
MessageBoxResult ReportInfo(toolbox::WindowRef parent, int titleNumber, int formatNumber, ...);
