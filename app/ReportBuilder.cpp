#include "app/ReportBuilder.h"

#include <cmath>
#include <cstdint>

namespace {

const QString Blank = QStringLiteral("   ");

QString portPrefix(int port) {
    return Blank + QStringLiteral("Intern %1 = ").arg(port);
}

QString permissionText(int port, Permission permission) {
    switch (permission) {
    case Permission::Amtsberechtigt:
        // The report words full permission differently for port 1 and the others.
        return port == 1 ? QStringLiteral("amtsberechtigt") : QStringLiteral("vollamtsberechtigt");
    case Permission::Halbamtsberechtigt:
        return QStringLiteral("halbamtsberechtigt");
    case Permission::Nichtamtsberechtigt:
        return QStringLiteral("nichtamtsberechtigt");
    }
    return {};
}

QString permissionLine(int port, const TPortSettings& s) {
    QString line = portPrefix(port) + permissionText(port, s.permission);
    if (s.tuerberechtigt)
        line += QStringLiteral(" + türberechtigt");
    return line;
}

QString ringLine(int port, const TPortSettings& s) {
    QString line;
    if (s.externanruf)
        line = portPrefix(port) + QStringLiteral("Externen Anruf signalisieren");
    for (int k = 0; k < 4; ++k) {
        if (!s.klingeltaste[k])
            continue;
        const QString bell = QStringLiteral("Klingeltaste%1").arg(k + 1);
        line = line.isEmpty() ? portPrefix(port) + bell : line + QStringLiteral(" + ") + bell;
    }
    return line.isEmpty() ? portPrefix(port) : line;
}

// A finite double as odd integer mantissa × 2^exponent (mantissa 0 for zero).
struct Binary {
    bool negative = false;
    std::uint64_t mantissa = 0;
    int exponent = 0;
};

Binary split(double x) {
    Binary b;
    b.negative = std::signbit(x);
    int e = 0;
    const double frac = std::frexp(std::fabs(x), &e); // |x| = frac × 2^e, 0.5 <= frac < 1
    b.mantissa = static_cast<std::uint64_t>(std::ldexp(frac, 53)); // exact: 53 bits
    b.exponent = e - 53;
    while (b.mantissa != 0 && (b.mantissa & 1) == 0) {
        b.mantissa >>= 1;
        ++b.exponent;
    }
    return b;
}

} // namespace

QStringList BuildReport(const TEditorSettings& s) {
    QStringList lines;
    lines << QStringLiteral("Zuvex 910k Konfiguration") << QString() << QString();
    lines << ReportHeadingMark + QStringLiteral("Externanschluss");
    lines << Blank + (s.amtsholung ? QStringLiteral("Wählen Extern = Automatische Amtsholung")
                                   : QStringLiteral("Wählen Extern = Vorwahl der Kennziffer 0"));
    lines << Blank + QStringLiteral("Externanrufe heranholen = ") +
                 (s.heranholen ? QStringLiteral("ja") : QStringLiteral("nein"));
    lines << Blank + QStringLiteral("Anklopfschutz = ") +
                 (s.anklopfschutz ? QStringLiteral("ja") : QStringLiteral("nein"));
    lines << Blank + QStringLiteral("Wartemusik = ") +
                 (s.wartemusik ? QStringLiteral("ein") : QStringLiteral("aus"));
    lines << QString() << ReportHeadingMark + QStringLiteral("Berechtigungen");
    for (int p = 1; p <= 4; ++p)
        lines << permissionLine(p, s.ports[p - 1]);
    lines << QString() << ReportHeadingMark + QStringLiteral("Rufverteilung");
    for (int p = 1; p <= 4; ++p)
        lines << ringLine(p, s.ports[p - 1]);
    lines << QString();
    return lines;
}

long long TruncExactProduct(long long n, double a, double b) {
    if (!std::isfinite(a) || !std::isfinite(b))
        return 0;
    const Binary ba = split(a);
    const Binary bb = split(b);
    const bool negative = ((n < 0) != ba.negative) != bb.negative;
    const unsigned __int128 magnitude = n < 0 ? -static_cast<unsigned __int128>(n) : n;
    unsigned __int128 product = 0;
    if (__builtin_mul_overflow(magnitude, ba.mantissa, &product) ||
        __builtin_mul_overflow(product, bb.mantissa, &product)) {
        // Far beyond any page size; the 64-bit mantissa of long double is close enough.
        return static_cast<long long>(std::trunc(static_cast<long double>(n) * a * b));
    }
    const int exponent = ba.exponent + bb.exponent;
    const auto limit = static_cast<unsigned __int128>(INT64_MAX);
    if (exponent >= 0)
        product = exponent >= 64 || product > (limit >> exponent) ? limit : product << exponent;
    else
        product = exponent <= -128 ? 0 : product >> -exponent; // toward zero
    const long long result = static_cast<long long>(product > limit ? limit : product);
    return negative ? -result : result;
}

int ReportLineStep(int heightPixels) {
    return static_cast<int>(TruncExactProduct(heightPixels, 1.2));
}

int CentimetresToPixels(int dpi, double centimetres) {
    return static_cast<int>(TruncExactProduct(dpi, 0.39370078740157477, centimetres));
}

int FontHeightPixels(int points, int dpi) {
    const long long product = static_cast<long long>(points) * dpi;
    return static_cast<int>(product >= 0 ? (product + 36) / 72 : (product - 36) / 72);
}
