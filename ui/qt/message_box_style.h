#pragma once
// The launcher's modal message boxes on Qt: buttons and icon chosen by the flow's message box
// flags (kMbOk, kMbOkCancel, kMbIcon... of app/flow_view.h).

#include <QMessageBox>
#include <string>

// The buttons for `flags`: OK and Cancel for kMbOkCancel, OK alone otherwise.
QMessageBox::StandardButtons MessageBoxButtons(unsigned flags);

// The icon for `flags`: the error icon for kMbIconHand, the warning icon for kMbIconExclamation,
// the question and information icons for the two other Windows icon values (0x20, 0x40), and no
// icon when no icon flag is set.
QMessageBox::Icon MessageBoxIcon(unsigned flags);

// Shows a modal box owned by `owner` (centred on it) with the given text, caption and flags, and
// runs a nested event loop until it is answered; timers and posted events go on meanwhile. The
// buttons read "确定" (OK) and "取消" (Cancel).
// Returns kIdOk for OK, kIdCancel for Cancel; closing the box with Escape or the window's close
// counts as Cancel when there is a Cancel button and as OK when OK is the only button.
int ShowFlowMessageBox(QWidget* owner, const std::wstring& text, const std::wstring& caption,
                       unsigned flags);
