#pragma once

#include <QString>

// The colours of the status line's texts.
namespace StatusLineStyle {
// Something the operator must act on.
inline const QString kAlert = QStringLiteral("color: rgb(192, 0, 0);");
// Something not known, or no longer current.
inline const QString kGrey = QStringLiteral("color: rgb(128, 128, 128);");
} // namespace StatusLineStyle
