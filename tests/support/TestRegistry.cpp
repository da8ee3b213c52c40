#include "TestRegistry.h"

#include <QTest>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace TestRegistry {

static std::vector<Entry> &entries()
{
    static std::vector<Entry> list;
    return list;
}

void add(const Entry &entry) { entries().push_back(entry); }

int runAll(int argc, char **argv)
{
    // A first argument naming a class selects it and is hidden from Qt Test.
    std::vector<char *> args(argv, argv + argc);
    const auto named = [&](const Entry &e) { return argc > 1 && std::strcmp(e.name, argv[1]) == 0; };
    const bool only = std::any_of(entries().begin(), entries().end(), named);
    if (only)
        args.erase(args.begin() + 1);
    int failed = 0;
    for (const Entry &e : entries()) {
        if (only ? named(e) : !e.onlyWhenNamed) {
            std::unique_ptr<QObject> test(e.create());
            failed += QTest::qExec(test.get(), int(args.size()), args.data());
        }
    }
    return failed == 0 ? 0 : 1;
}

} // namespace TestRegistry
