// hgt2chgt's command line: arguments (input split at NUL bytes) ->
// parseHgt2ChgtOptions. Never a crash; a conversion only with a quantity of
// 1..5, 1..256 jobs and at least one file, each file one of the arguments;
// usage errors exit 2 with a message, help and version 0; and the options
// read back the same from a command line written out from them.

#include "ArgumentSplit.h"
#include "Hgt2ChgtOptions.h"

#include <cstddef>
#include <cstdint>

namespace {

bool sameOptions(const Hgt2ChgtOptions &a, const Hgt2ChgtOptions &b)
{
    return a.quantity == b.quantity && a.output == b.output && a.quiet == b.quiet
           && a.jobs == b.jobs && a.files == b.files;
}

bool sameParse(const Hgt2ChgtParse &a, const Hgt2ChgtParse &b)
{
    return a.action == b.action && a.text == b.text && a.exitCode == b.exitCode
           && sameOptions(a.options, b.options);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    const QStringList args = argumentsFrom("hgt2chgt", data, size);
    const Hgt2ChgtParse parse = parseHgt2ChgtOptions(args);
    if (!sameParse(parse, parseHgt2ChgtOptions(args)))
        __builtin_trap();

    using Action = Hgt2ChgtParse::Action;
    switch (parse.action) {
    case Action::UsageError:
        if (parse.exitCode != 2 || !parse.text.startsWith(QLatin1String("hgt2chgt: "))
            || !parse.text.endsWith(QLatin1Char('\n')))
            __builtin_trap();
        return 0;
    case Action::ShowHelp:
    case Action::ShowVersion:
        if (parse.exitCode != 0 || parse.text.isEmpty())
            __builtin_trap();
        return 0;
    case Action::Convert:
        break;
    }

    const Hgt2ChgtOptions &o = parse.options;
    if (parse.exitCode != 0 || !parse.text.isEmpty() || o.quantity < 1 || o.quantity > 5
        || o.jobs < 1 || o.jobs > 256 || o.files.isEmpty())
        __builtin_trap();
    const QStringList given = args.mid(1);
    for (const QString &file : o.files) {
        if (!given.contains(file))
            __builtin_trap();
    }
    if (o.quiet && !given.contains(QLatin1String("--quiet")))
        __builtin_trap();

    QStringList canonical{QStringLiteral("hgt2chgt"),
                          QStringLiteral("--quantity=") + QString::number(o.quantity),
                          QStringLiteral("--output=") + o.output,
                          QStringLiteral("--jobs=") + QString::number(o.jobs)};
    if (o.quiet)
        canonical << QStringLiteral("--quiet");
    canonical << QStringLiteral("--") << o.files;
    const Hgt2ChgtParse again = parseHgt2ChgtOptions(canonical);
    if (again.action != Action::Convert || !sameOptions(again.options, o))
        __builtin_trap();
    return 0;
}
