#include "app/AboutDialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "state/SharedTexts.h"
#include "ui/Skin.h"
#include "ui/TivResources.h"

#ifndef TIV_VERSION
#define TIV_VERSION "1.0.0"
#endif

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(kTitle);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Skin::applyDialogSkin(this);

    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setPixmap(TivResources::icon(QStringLiteral("tiv")).pixmap(QSize(64, 64)));
    iconLabel->setAlignment(Qt::AlignTop);

    auto* productLabel = new QLabel(SharedTexts::kProductCaption, this);
    productLabel->setObjectName(QStringLiteral("productLabel"));
    QFont productFont = Skin::uiFont(14);
    productFont.setBold(true);
    productLabel->setFont(productFont);

    auto* versionLabel = new QLabel(versionText(), this);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));

    auto* descriptionLabel = new QLabel(QStringLiteral("文档、日记和密码，加密保存在同一个文件中。"), this);
    descriptionLabel->setObjectName(QStringLiteral("descriptionLabel"));

    auto* okButton = new QPushButton(QStringLiteral("确定"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    texts->addWidget(productLabel);
    texts->addWidget(versionLabel);
    texts->addWidget(descriptionLabel);
    texts->addStretch();

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(iconLabel);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 14);
    layout->addLayout(top);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString AboutDialog::versionText()
{
    // The application object may name a version of its own; the build's version stands otherwise.
    const QString version = QCoreApplication::applicationVersion();
    return QStringLiteral("版本 ") + (version.isEmpty() ? QStringLiteral(TIV_VERSION) : version);
}
