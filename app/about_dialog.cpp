#include "app/about_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/app_icon.h"
#include "app/dialog_units.h"
#include "platform/instance_name.h"

namespace pxr9 {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About KEVO RN Series Updater"));
    const DialogUnits du(font());
    setFixedSize(du.x(235), du.y(60));

    auto* icon = new QLabel(this);
    icon->setGeometry(du.rect(11, 17, 20, 20));
    icon->setPixmap(drawAppIcon(32));
    icon->setAlignment(Qt::AlignCenter);

    auto* notice = new QLabel(QStringLiteral("Copyright (C) KEVO. All rights reserved."), this);
    notice->setGeometry(du.rect(40, 44, 188, 8).adjusted(0, 0, 0, du.y(2)));

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setGeometry(du.rect(178, 6, 50, 16));
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

    aboutTitle_ = new QLineEdit(this);
    aboutTitle_->setGeometry(du.rect(39, 19, 134, 14));
    aboutTitle_->setReadOnly(true);
    aboutTitle_->setText(QString::fromLatin1(kUpdaterTitle));

    setTabOrder(okButton_, aboutTitle_);
    okButton_->setFocus();
}

}  // namespace pxr9
