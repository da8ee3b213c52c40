// chgt2png's command line: arguments (input split at NUL bytes) ->
// parseChgt2PngOptions. Never a crash; a picture only with a size of
// 1..16384 each way, a window with west < east and south < north (a
// non-empty painter window) within 1000 degrees, an output and at least one
// file from the arguments; usage errors exit 2 with the usage line; and the
// options read back the same from a command line written out from them.

#include "ArgumentSplit.h"
#include "Chgt2PngOptions.h"
#include "ViewExtent.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

// By value: "-0" is written out as "0", the same edge.
bool sameExtent(const ViewExtent &a, const ViewExtent &b)
{
    return a.left == b.left && a.right == b.right && a.bottom == b.bottom && a.top == b.top;
}

bool sameOptions(const Chgt2PngOptions &a, const Chgt2PngOptions &b)
{
    return a.size == b.size && sameExtent(a.extent, b.extent) && a.showBorder == b.showBorder && a.showLegend == b.showLegend
           && a.output == b.output && a.files == b.files;
}

bool sameParse(const Chgt2PngParse &a, const Chgt2PngParse &b)
{
    return a.action == b.action && a.text == b.text && a.exitCode == b.exitCode
           && sameOptions(a.options, b.options);
}

bool withinWorld(float hundredths)
{
    return std::isfinite(hundredths) && std::abs(hundredths) <= 100000.0f;
}

QString degrees(float hundredths)
{
    return QString::number(double(hundredths) / 100.0, 'g', 17);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    const QStringList args = argumentsFrom("chgt2png", data, size);
    const Chgt2PngParse parse = parseChgt2PngOptions(args);
    if (!sameParse(parse, parseChgt2PngOptions(args)))
        __builtin_trap();

    using Action = Chgt2PngParse::Action;
    switch (parse.action) {
    case Action::UsageError:
        if (parse.exitCode != 2 || !parse.text.startsWith(QLatin1String("chgt2png: "))
            || !parse.text.endsWith(QLatin1String("\nusage: chgt2png [--size WxH] [--window "
                                                  "LEFT,RIGHT,BOTTOM,TOP] [--no-border] [--legend] "
                                                  "-o OUT.png|OUT.tif FILE.chgt...\n")))
            __builtin_trap();
        return 0;
    case Action::ShowHelp:
    case Action::ShowVersion:
        if (parse.exitCode != 0 || parse.text.isEmpty())
            __builtin_trap();
        return 0;
    case Action::Render:
        break;
    }

    const Chgt2PngOptions &o = parse.options;
    const ViewExtent &e = o.extent;
    const QRect window = ViewExtentMath::windowRect(e);
    if (parse.exitCode != 0 || !parse.text.isEmpty())
        __builtin_trap();
    if (o.size.width() < 1 || o.size.height() < 1 || o.size.width() > Chgt2PngOptions::MaxSide
        || o.size.height() > Chgt2PngOptions::MaxSide)
        __builtin_trap();
    if (!withinWorld(e.left) || !withinWorld(e.right) || !withinWorld(e.bottom) || !withinWorld(e.top)
        || !(e.left < e.right) || !(e.bottom < e.top) || window.width() <= 0 || window.height() >= 0)
        __builtin_trap();
    if (o.output.isEmpty() || o.files.isEmpty())
        __builtin_trap();
    const QStringList given = args.mid(1);
    for (const QString &file : o.files) {
        if (!given.contains(file))
            __builtin_trap();
    }
    if (!o.showBorder && !given.contains(QLatin1String("--no-border")))
        __builtin_trap();
    if (o.showLegend && !given.contains(QLatin1String("--legend")))
        __builtin_trap();

    QStringList canonical{
        QStringLiteral("chgt2png"),
        QStringLiteral("--size=%1x%2").arg(o.size.width()).arg(o.size.height()),
        QStringLiteral("--window=%1,%2,%3,%4")
            .arg(degrees(e.left), degrees(e.right), degrees(e.bottom), degrees(e.top)),
        QStringLiteral("--output=") + o.output};
    if (!o.showBorder)
        canonical << QStringLiteral("--no-border");
    if (o.showLegend)
        canonical << QStringLiteral("--legend");
    canonical << QStringLiteral("--") << o.files;
    const Chgt2PngParse again = parseChgt2PngOptions(canonical);
    if (again.action != Action::Render || !sameOptions(again.options, o))
        __builtin_trap();
    return 0;
}
