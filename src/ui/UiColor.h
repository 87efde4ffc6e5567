#pragma once

#include <QColor>
#include <QString>

#include <optional>

// Colours and inline markup as layouts and windows write them.
namespace UiColor {

// "#AARRGGBB" (or "#RRGGBB", opaque); nullopt for anything else.
[[nodiscard]] std::optional<QColor> Parse(const QString& text);

// The colour as a style-sheet value, "rgba(r, g, b, a)".
[[nodiscard]] QString Css(const QColor& color);

// Text with the colour markup "<c #RRGGBB>…</c>" as Qt rich text. Everything else is shown as
// written: other tags and entities are escaped, line ends become line breaks.
[[nodiscard]] QString MarkupToRichText(const QString& text);

} // namespace UiColor
