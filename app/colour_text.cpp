#include "app/colour_text.h"

#include <QCoreApplication>

#include <algorithm>

namespace tessaro {
namespace {

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::Form1)
};

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

} // namespace

QString asciiForm(const QString& text)
{
    QString ascii = text;
    for (QChar& c : ascii) {
        if (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E)
            c = QChar(static_cast<char16_t>(c.unicode() - 0xFEE0));
        else if (c.unicode() == 0x3000)
            c = QLatin1Char(' ');
    }
    return ascii;
}

ColourReading readColourText(const QString& text)
{
    const QString digits = asciiForm(text).trimmed();
    if (digits.isEmpty())
        return {std::nullopt, Text::tr("文字色が入力されていません。")};
    const auto wrong = std::find_if_not(digits.begin(), digits.end(), isHexDigit);
    if (wrong != digits.end() && wrong->isSpace())
        return {std::nullopt, Text::tr("数字の間に空白は入れられません。")};
    if (wrong != digits.end())
        return {std::nullopt, Text::tr("「%1」は16進数の数字ではありません。使えるのは 0～9 と A～F です。").arg(*wrong)};
    if (digits.size() > 8)
        return {std::nullopt, Text::tr("16進数は 8 桁までです (いま %1 桁)。").arg(digits.size())};
    return {digits.toUInt(nullptr, 16), {}};
}

} // namespace tessaro
