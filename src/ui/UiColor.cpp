#include "ui/UiColor.h"

#include <QRegularExpression>

namespace UiColor {

std::optional<QColor> Parse(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^#([0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$"));
    if (!pattern.match(text.trimmed()).hasMatch()) {
        return std::nullopt;
    }
    const QString digits = text.trimmed().mid(1);
    const uint value = digits.toUInt(nullptr, 16);
    if (digits.size() == 6) {
        return QColor::fromRgb(value | 0xFF000000U);
    }
    return QColor::fromRgba(value);
}

QString Css(const QColor& color)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

QString MarkupToRichText(const QString& text)
{
    static const QRegularExpression tag(QStringLiteral("<c\\s+(#[0-9A-Fa-f]{6,8})\\s*>|</c>"));
    QString html;
    qsizetype position = 0;
    int open = 0;
    auto escaped = [](const QString& plain) {
        return plain.toHtmlEscaped().replace(QLatin1Char('\n'), "<br/>");
    };
    for (auto match = tag.globalMatch(text); match.hasNext();) {
        const auto found = match.next();
        html += escaped(text.mid(position, found.capturedStart() - position));
        position = found.capturedEnd();
        if (found.captured(1).isEmpty()) {
            if (open > 0) {
                html += QStringLiteral("</span>");
                --open;
            }
            continue;
        }
        const auto color = Parse(found.captured(1));
        html += QStringLiteral("<span style=\"color:%1\">")
                    .arg(color ? color->name(QColor::HexRgb) : QStringLiteral("inherit"));
        ++open;
    }
    html += escaped(text.mid(position));
    for (; open > 0; --open) {
        html += QStringLiteral("</span>");
    }
    return html;
}

} // namespace UiColor
