#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QWidget;

// The program's one fixed look: the dialog font, the light background and the label colour.
namespace Skin {

inline constexpr QColor kDialogBackground{244, 248, 252};
inline constexpr QColor kLabelText{54, 81, 107};
inline constexpr QColor kDisabledText{150, 160, 170};
inline constexpr QColor kConfirmText{0x33, 0x66, 0x66};

// "幼圆" at the given point size; the font database falls back to a CJK font where it is missing.
QFont uiFont(int pointSize = 10);

// Font, background and label colour of an ordinary dialog.
void applyDialogSkin(QWidget* dialog);

// Messages are written with Windows line breaks; Qt's labels want plain ones.
QString displayText(const QString& message);

} // namespace Skin
