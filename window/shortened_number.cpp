#include "shortened_number.h"

#include <QRegularExpression>
#include <limits>
#include <optional>

namespace
{

const QString Dots = QStringLiteral("...");

// A family of shortened forms that grow with the number of digits kept:
// form(keep) for keep from `least` to `most`, and `whole`, the form that
// leaves nothing out.
struct Forms {
    QString whole;
    qsizetype least = 0;
    qsizetype most = -1; // below `least`: only the whole form
    std::function<QString(qsizetype)> form;
};

struct Search {
    int room;
    const std::function<int(const QString &)> &width;
    QString narrowest;
    int narrowestWidth = std::numeric_limits<int>::max();

    void consider(const QString &form, int formWidth)
    {
        if (formWidth < narrowestWidth) {
            narrowest = form;
            narrowestWidth = formWidth;
        }
    }

    // The form of `forms` that keeps the most and fits, or nothing.
    std::optional<QString> fitting(const Forms &forms)
    {
        const int wholeWidth = width(forms.whole);
        if (wholeWidth <= room)
            return forms.whole;
        consider(forms.whole, wholeWidth);
        if (forms.most < forms.least)
            return std::nullopt;
        const QString least = forms.form(forms.least);
        const int leastWidth = width(least);
        consider(least, leastWidth);
        if (leastWidth > room)
            return std::nullopt;
        // Each kept digit widens the form: the last one that fits, by halves,
        // so that a long text costs few measurements.
        qsizetype fits = forms.least;
        qsizetype tooWide = forms.most + 1;
        while (tooWide - fits > 1) {
            const qsizetype middle = fits + (tooWide - fits) / 2;
            (width(forms.form(middle)) <= room ? fits : tooWide) = middle;
        }
        return forms.form(fits);
    }
};

} // namespace

QString shortenedNumber(const QString &text, int room,
                        const std::function<int(const QString &)> &width)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || width(text) <= room)
        return text;
    Search search{room, width, {}};

    static const QRegularExpression number(
        QStringLiteral("^([+-]?)(\\d*)(?:\\.(\\d*))?(?:[eE]([+-]?\\d+))?$"));
    const QRegularExpressionMatch match = number.match(trimmed);
    if (!match.hasMatch() || match.capturedLength(2) + match.capturedLength(3) == 0) {
        const Forms cut{trimmed, 1, trimmed.size() - 1,
                        [&](qsizetype keep) { return trimmed.left(keep) + Dots; }};
        return search.fitting(cut).value_or(search.narrowest);
    }

    const QString sign = match.captured(1);
    QString whole = match.captured(2);
    while (whole.size() > 1 && whole.startsWith(u'0')) // leading zeros say nothing
        whole.remove(0, 1);
    const QString fraction = match.captured(3);
    const QString exponent = match.captured(4);
    const QString exponentPart = exponent.isEmpty() ? QString() : QStringLiteral("E") + exponent;

    // The whole part kept whole, digits of the fraction left out from its end.
    const QString wholeForm = sign + whole + (fraction.isEmpty() ? QString() : u'.' + fraction);
    const Forms plain{wholeForm + exponentPart, 0, fraction.size() - 1, [&](qsizetype keep) {
                          return sign + whole +
                                 (keep > 0 ? u'.' + fraction.left(keep) : QString()) + Dots +
                                 exponentPart;
                      }};
    if (const auto fits = search.fitting(plain))
        return *fits;

    // A whole part too wide for the box: its leading digits and an exponent.
    bool exponentRead = true;
    const qint64 given = exponent.isEmpty() ? 0 : exponent.toLongLong(&exponentRead);
    constexpr qint64 Huge = qint64(1) << 60;
    if (whole.size() > 1 && exponentRead && given > -Huge && given < Huge) {
        const qint64 shifted = given + whole.size() - 1;
        const QString shiftedPart = QStringLiteral("E%1%2")
                                        .arg(QChar(shifted < 0 ? u'-' : u'+'))
                                        .arg(qAbs(shifted), 2, 10, QLatin1Char('0'));
        const QString digits = whole + fraction;
        const auto form = [&](qsizetype keep) {
            return sign + digits[0] + (keep > 1 ? u'.' + digits.mid(1, keep - 1) : QString()) +
                   (keep < digits.size() ? Dots : QString()) + shiftedPart;
        };
        const Forms scientific{form(digits.size()), 1, digits.size() - 1, form};
        if (const auto fits = search.fitting(scientific))
            return *fits;
    }
    return search.narrowest;
}
