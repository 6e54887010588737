#include "ui/qt/message_box_style.h"

#include <QAbstractButton>
#include <QString>

#include "app/flow_view.h"
#include "ui/window_texts.h"

namespace {

// The Windows message box packs the button choice into the low four bits and the icon into the
// next four.
constexpr unsigned kButtonBits = 0x0F;
constexpr unsigned kIconBits = 0xF0;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconInformation = 0x40;

}  // namespace

QMessageBox::StandardButtons MessageBoxButtons(unsigned flags) {
    if ((flags & kButtonBits) == kMbOkCancel) {
        return QMessageBox::Ok | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon MessageBoxIcon(unsigned flags) {
    switch (flags & kIconBits) {
        case kMbIconHand:
            return QMessageBox::Critical;
        case kIconQuestion:
            return QMessageBox::Question;
        case kMbIconExclamation:
            return QMessageBox::Warning;
        case kIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

int ShowFlowMessageBox(QWidget* owner, const std::wstring& text, const std::wstring& caption,
                       unsigned flags) {
    QMessageBox box(MessageBoxIcon(flags), QString::fromStdWString(caption),
                    QString::fromStdWString(text), MessageBoxButtons(flags), owner);
    box.setDefaultButton(QMessageBox::Ok);
    // The buttons speak the launcher's language, as on a Chinese Windows system, whatever
    // translations the host's Qt has installed.
    box.button(QMessageBox::Ok)->setText(QString::fromWCharArray(kOkText));
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) {
        cancel->setText(QString::fromWCharArray(kCancelText));
    }
    const int answer = box.exec();
    return answer == QMessageBox::Ok ? kIdOk : kIdCancel;
}
